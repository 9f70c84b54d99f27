// Removing duplicate files from the window. The search runs on a thread of its own, so the
// window stays usable however many files it reads; what the search has to show comes back
// to the window's thread as queued calls: progress in the caption, the examined row
// selected, removed copies leaving the list. Closing the window stops the search after the
// file operation under way.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/games/PlayHistory.h"
#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/DuplicateFinder.h"
#include "launcher/ui/MainWindow.h"
#include "platform/Dialogs.h"
#include "platform/FileOperations.h"
#include "platform/QueuedCalls.h"

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

// One search, from F7 to its message. A child of the window: a window destroyed while the
// search runs takes it along, and this waits for the thread first, so the thread never
// outlives what it posts to.
class DuplicateRun : public QObject {
public:
    DuplicateRun(QObject* window, DuplicateMode mode) : QObject(window), mode(mode) {}
    ~DuplicateRun() override { stopAndWait(); }

    // Waits only for the file operation under way: the search checks `stop` before each.
    void stopAndWait() {
        stop = true;
        if (worker.joinable()) worker.join();
    }
    // Calls `f` on the window's thread, unless this run is over by then.
    template <typename F>
    void post(F&& f) {
        calls.post(std::forward<F>(f));
    }

    const DuplicateMode mode;  // DryRun: the count F7 asks with; nothing leaves the list
    platform::QueuedCalls calls;
    std::atomic<bool> stop = false;
    std::thread worker;
    DuplicateSearchResult result;  // the worker's; read once it has been joined

    // The rest belongs to the window's thread.
    QString caption;  // the window's, given back at the end
    QString folder;   // ends in "/"
    QStringList names;
    std::vector<int> gone;  // rows of `names` removed from the list, in order

    // The newest row examined, and whether a call to select it is on its way: the search
    // examines rows faster than the window can show each one, so the window is sent at
    // most one at a time and selects whichever is newest by then.
    std::atomic<int> examined = -1;
    std::atomic<bool> selectPending = false;
};

namespace {
// The search's file operations, telling its picture search what went to the trash: the
// search keeps its listings for the run instead of listing the folder after each removal.
class TellingFiles final : public platform::FileOperations {
public:
    TellingFiles(platform::FileOperations& files, ScreenshotSearch& shots)
        : m_files(files), m_shots(shots) {}
    std::optional<QString> resolve(const QString& p) override { return m_files.resolve(p); }
    std::optional<qint64> fileSize(const QString& p) override { return m_files.fileSize(p); }
    std::optional<QDateTime> fileDate(const QString& p) override { return m_files.fileDate(p); }
    bool rename(const QString& from, const QString& to) override {
        if (!m_files.rename(from, to)) return false;
        m_shots.moved(from, to);
        return true;
    }
    bool remove(const QString& p) override {
        if (!m_files.remove(p)) return false;
        m_shots.removed(p);
        return true;
    }
    QString lastError() const override { return m_files.lastError(); }

private:
    platform::FileOperations& m_files;
    ScreenshotSearch& m_shots;
};

// A caption for every one of tens of thousands of files would cost more than the sizing.
constexpr qint64 kCaptionEveryMs = 30;

// Removed copies leave the list as they go, so a row of the search sits higher in the list
// by the number of removed rows above it. The user may re-sort or change folders
// meanwhile: the list is touched only where it still shows the expected name.
int listedRow(const FileListView& list, const DuplicateRun& run, int row) {
    const int above =
        int(std::lower_bound(run.gone.begin(), run.gone.end(), row) - run.gone.begin());
    const int live = row - above;
    if (withTrailingSeparator(list.path()) != run.folder || live >= list.listCount() ||
        list.list(live) != run.names.at(row))
        return -1;
    return live;
}
}  // namespace

void MainWindow::removeDuplicates(DuplicateMode mode) {
    if (m_busy) return;
    m_busy = true;
    auto* run = new DuplicateRun(this, mode);
    const bool removing = mode == DuplicateMode::Remove;
    m_duplicateRun = run;
    run->caption = windowTitle();
    run->folder = withTrailingSeparator(m_ui.fileList->path());
    run->names.reserve(m_ui.fileList->listCount());
    for (int i = 0; i < m_ui.fileList->listCount(); ++i)
        run->names.append(m_ui.fileList->list(i));

    // Called on the search's thread; each only posts to the window's.
    DuplicateSearchHooks hooks;
    hooks.stop = &run->stop;
    hooks.sized = [this, run, shown = QElapsedTimer()](int done, int count) mutable {
        if (done == count || !shown.isValid() || shown.elapsed() >= kCaptionEveryMs) {
            shown.restart();
            run->post([this, done, count] {
                setWindowTitle(QStringLiteral("Calculating file size... ") + QString::number(done) +
                               QLatin1Char('/') + QString::number(count));
            });
        }
        return true;
    };
    const QString comparing = removing ? QStringLiteral("Removing duplicate files... ")
                                       : QStringLiteral("Counting duplicate files... ");
    hooks.comparing = [this, run, comparing] {
        run->post([this, comparing] { setWindowTitle(comparing); });
    };
    hooks.examining = [this, run](int row) {
        run->examined = row;
        if (!run->selectPending.exchange(true)) {
            run->post([this, run] {
                run->selectPending = false;
                const int live = listedRow(*m_ui.fileList, *run, run->examined);
                if (live >= 0) m_ui.fileList->setListIndex(live);
            });
        }
        return true;
    };
    hooks.found = [this, run, comparing, removing](int row, int, int found) {
        run->post([this, run, row, found, comparing, removing] {
            setWindowTitle(
                comparing + QString::number(found) +
                (found == 1 ? QStringLiteral(" file found") : QStringLiteral(" files found")));
            // Counted copies stay where they are.
            if (!removing) return;
            const int live = listedRow(*m_ui.fileList, *run, row);
            if (live >= 0) m_ui.fileList->removeItem(live);
            m_preview.screenshots->removed(run->folder + run->names.at(row));
            run->gone.insert(std::lower_bound(run->gone.begin(), run->gone.end(), row), row);
        });
    };

    // A picture named after one copy only, in any of the picture folders (not one the
    // others merely show too, by the beginning of their names), decides which copy stays.
    // The folders are those of the searched folder, whatever the list shows by the time a
    // copy is weighed.
    const QStringList shotFolders = screenshotFoldersOf(
        setting(QStringLiteral("screenshots"), QString()), m_emu.folder, run->folder);
    platform::FileOperations* files = m_services.files;
    // The preview follows the examined rows; its listings follow the removals (below)
    // rather than being taken again after each.
    m_preview.screenshots->holdListings();
    run->worker = std::thread([this, run, hooks = std::move(hooks), files, shotFolders, mode,
                               folder = run->folder, names = run->names] {
        // Its own search of pictures: the window's serves the preview meanwhile.
        ScreenshotSearch shots;
        shots.holdListings();
        TellingFiles telling(*files, shots);
        const HasScreenshot hasScreenshot = [&](const QString& name) {
            return shots.hasOwnScreenshot(shotFolders, name);
        };
        run->result = findDuplicates(folder, names, telling, mode, hooks, hasScreenshot);
        run->post([this] { finishDuplicateRun(); });
    });
}

void MainWindow::stopDuplicateRun() {
    if (!m_duplicateRun) return;
    m_duplicateRun->stop = true;
    // The caption comes back at once; the message follows the file operation under way.
    setWindowTitle(m_duplicateRun->caption);
    finishDuplicateRun();
}

void MainWindow::finishDuplicateRun() {
    DuplicateRun* run = std::exchange(m_duplicateRun, nullptr);
    if (!run) return;
    // Stopped before its end: the window is closing, and no question or message is wanted.
    const bool stopped = run->stop;
    run->stopAndWait();
    // What the search posted and the window has not shown yet is dropped: the list is
    // listed again below.
    run->calls.dropWaiting();
    const QString caption = run->caption;
    const QString folder = run->folder;
    const bool counted = run->mode == DuplicateMode::DryRun;
    const DuplicateSearchResult result = std::move(run->result);
    // A removed copy's plays and mark now belong to the copy kept; a counted one keeps them.
    if (m_services.history && !counted)
        for (const DuplicateSearchResult::Copy& copy : result.copies)
            m_services.history->renamed(copy.path, folder + run->names.at(copy.keptRow));
    run->deleteLater();

    m_busy = false;
    m_preview.screenshots->releaseListings();
    setWindowTitle(caption);
    if (counted) {
        if (!stopped) askRemoveCountedDuplicates(result.filesRemoved(), folder);
        return;
    }
    if (!result.copies.empty() && withTrailingSeparator(m_ui.fileList->path()) == folder)
        refreshFileList(QString());
    m_services.dialogs->messageBox(result.message(), platform::MessageButtons::Ok,
                                   platform::MessageIcon::Information, kAppName);
}

void MainWindow::askRemoveCountedDuplicates(int count, const QString& folder) {
    if (count == 0) {
        m_services.dialogs->messageBox(
            QStringLiteral("No duplicate files were found in this folder."),
            platform::MessageButtons::Ok, platform::MessageIcon::Information, kAppName);
        return;
    }
    const QString question =
        count == 1
            ? QStringLiteral(
                  "1 duplicate file in this folder would go to the trash. "
                  "Remove it?")
            : QString::number(count) + QStringLiteral(
                                           " duplicate files in this folder would go to the trash. "
                                           "Remove them?");
    if (m_services.dialogs->messageBox(question, platform::MessageButtons::OkCancel,
                                       platform::MessageIcon::Question,
                                       kAppName) != platform::MessageAnswer::Ok)
        return;
    // The count was for that folder; another one listed meanwhile was not asked about.
    if (withTrailingSeparator(m_ui.fileList->path()) == folder)
        removeDuplicates(DuplicateMode::Remove);
}
