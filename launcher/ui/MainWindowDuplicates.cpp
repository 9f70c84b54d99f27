// Removing duplicate files from the window: progress in the caption, the examined row
// selected, the window usable throughout, and closing it stops the run.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/DuplicateFinder.h"
#include "launcher/ui/MainWindow.h"
#include "platform/Dialogs.h"
#include "platform/FileOperations.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>

namespace {
// Letting events run for every one of tens of thousands of files would cost more than
// the search; the window answers within this many milliseconds either way.
constexpr qint64 kEventsEveryMs = 30;
}  // namespace

void MainWindow::removeDuplicates() {
    if (m_busy) return;
    m_busy = true;
    const QString caption = windowTitle();
    const QString folder = withTrailingSeparator(m_fileList->path());
    QStringList names;
    names.reserve(m_fileList->ListCount());
    for (int i = 0; i < m_fileList->ListCount(); ++i)
        names.append(m_fileList->List(i));

    QElapsedTimer sinceEvents;
    auto letEventsRun = [&](bool now) {
        if (now || !sinceEvents.isValid() || sinceEvents.elapsed() >= kEventsEveryMs) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        return m_busy;
    };
    // Removed copies leave the list as they go, so a row of the search sits higher in the
    // list by the number of removed rows above it. The user may re-sort or change folders
    // meanwhile: the list is touched only where it still shows the expected name.
    std::vector<int> gone;
    auto listRow = [&](int row) {
        const int above = int(std::lower_bound(gone.begin(), gone.end(), row) - gone.begin());
        const int live = row - above;
        if (withTrailingSeparator(m_fileList->path()) != folder ||
            live >= m_fileList->ListCount() || m_fileList->List(live) != names.at(row))
            return -1;
        return live;
    };

    DuplicateSearchHooks hooks;
    hooks.sized = [&](int done, int count) {
        if (!m_busy) return false;
        if (done == count || !sinceEvents.isValid() || sinceEvents.elapsed() >= kEventsEveryMs)
            setWindowTitle(QStringLiteral("Calculating file size... ") + QString::number(done) +
                           QLatin1Char('/') + QString::number(count));
        return letEventsRun(false);
    };
    hooks.comparing = [&] { setWindowTitle(QStringLiteral("Removing duplicate files... ")); };
    hooks.examining = [&](int row) {
        const int live = listRow(row);
        if (live >= 0) m_fileList->setListIndex(live);
        return letEventsRun(false);
    };
    hooks.keepGoing = [&] { return letEventsRun(false); };
    hooks.found = [&](int row, int, int found) {
        setWindowTitle(QStringLiteral("Removing duplicate files... ") + QString::number(found) +
                       QStringLiteral(" files found"));
        const int live = listRow(row);
        if (live >= 0) m_fileList->RemoveItem(live);
        gone.insert(std::lower_bound(gone.begin(), gone.end(), row), row);
        letEventsRun(true);
    };

    // A picture named after one copy only (not one the others merely show too, by the
    // beginning of their names) decides which copy stays. The folders are those of the
    // searched folder, whatever the list shows by the time a copy is weighed.
    const QStringList shotFolders = ScreenshotFolders(
        setting(QStringLiteral("screenshots"), QString()), m_emulatorFolder, folder);
    const HasScreenshot hasScreenshot = [&](const QString& name) {
        return IsOwnScreenshot(m_screenshots->FindScreenshot(shotFolders, name), name);
    };
    platform::LocalFileOperations files;
    const DuplicateSearchResult result =
        FindDuplicates(folder, names, &files, hooks, hasScreenshot);

    m_busy = false;
    setWindowTitle(caption);
    if (!result.copies.empty() && withTrailingSeparator(m_fileList->path()) == folder)
        refreshFileList(QString());
    m_services.dialogs->messageBox(result.message(), platform::MessageButtons::Ok,
                                   platform::MessageIcon::Information, kAppName);
}
