// F7 and F8, the file commands that touch every listed file, on a thread of their own (a
// CommandRun): the window stays usable however many files they read or rename. Their
// progress reaches the caption and the list's tip; F7's examined row is selected and its
// removed copies leave the list as they go. Escape stops either after the file operation
// under way, and closing the window stops it too.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/games/PlayHistory.h"
#include "launcher/games/Screenshots.h"
#include "launcher/ui/CommandRun.h"
#include "launcher/ui/FileCommands.h"
#include "platform/Dialogs.h"
#include "platform/FileOperations.h"

#include <QElapsedTimer>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {
// The file operations of a command's thread, telling its own picture search what moved or
// went to the trash: the search keeps its listings for the run instead of listing the
// folders after each change.
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
const QString kStops = QStringLiteral(" (Escape stops)");

QString ofText(int done, int total) {
    return QString::number(done) + QStringLiteral(" of ") + QString::number(total);
}

// Removed copies leave the list as they go, so a row of the search sits higher in the list
// by the number of removed rows above it. The user may re-sort or change folders
// meanwhile: the list is touched only where it still shows the expected name.
int listedRow(const FileListView& list, const CommandRun& run, int row) {
    const int above =
        int(std::lower_bound(run.gone.begin(), run.gone.end(), row) - run.gone.begin());
    const int live = row - above;
    if (withTrailingSeparator(list.path()) != run.folder || live >= list.listCount() ||
        list.list(live) != run.names.at(row))
        return -1;
    return live;
}
}  // namespace

FileCommands::FileCommands(Host host, QObject* parent) : QObject(parent), m_host(std::move(host)) {}

FileCommands::~FileCommands() {
    if (m_run) m_run->stopAndWait();
}

bool FileCommands::busy() const {
    return m_run != nullptr || m_oneFile.pending();
}

void FileCommands::setProgress(const QString& text) {
    if (text == m_progress) return;
    m_progress = text;
    emit progressChanged();
}

void FileCommands::refuseWhileBusy() {
    if (!busy()) return;
    // Delete, F2 and F9 cannot be stopped: their one file operation is under way.
    const QString refused = m_run ? QStringLiteral("Busy: wait, or press Escape to stop")
                                  : QStringLiteral("Busy: wait");
    if (!m_progress.endsWith(refused))
        setProgress(m_progress.section(QStringLiteral(" - "), 0, 0) + QStringLiteral(" - ") +
                    refused);
}

void FileCommands::stop() {
    if (!m_run || m_run->stop) return;
    m_run->stoppedByUser = true;
    m_run->stop = true;
    setProgress(QStringLiteral("Stopping after the file under way..."));
}

void FileCommands::stopAndWait() {
    if (!m_run) return;
    m_run->stop = true;
    // The caption comes back at once; the message follows the file operation under way.
    m_host.window->setWindowTitle(m_run->caption);
    if (m_run->strips)
        finishStripRun();
    else
        finishDuplicateRun();
}

void FileCommands::removeDuplicates(DuplicateMode mode) {
    if (m_run) return;
    auto* run = new CommandRun(this);
    m_run = run;
    const bool removing = mode == DuplicateMode::Remove;
    run->mode = mode;
    run->caption = m_host.window->windowTitle();
    run->folder = withTrailingSeparator(m_host.list->path());
    run->names = listedNames();
    const QString doing = removing ? QStringLiteral("Removing duplicates... ")
                                   : QStringLiteral("Counting duplicates... ");
    setProgress(doing + ofText(0, int(run->names.size())) + kStops);

    // Called on the search's thread; each only posts to the window's.
    QWidget* window = m_host.window;
    DuplicateSearchHooks hooks;
    hooks.stop = &run->stop;
    hooks.sized = [window, run, shown = QElapsedTimer()](int done, int count) mutable {
        if (done == count || !shown.isValid() || shown.elapsed() >= kCaptionEveryMs) {
            shown.restart();
            run->post([window, done, count] {
                window->setWindowTitle(QStringLiteral("Calculating file size... ") +
                                       QString::number(done) + QLatin1Char('/') +
                                       QString::number(count));
            });
        }
        return true;
    };
    const QString comparing = removing ? QStringLiteral("Removing duplicate files... ")
                                       : QStringLiteral("Counting duplicate files... ");
    hooks.comparing = [window, run, comparing] {
        run->post([window, comparing] { window->setWindowTitle(comparing); });
    };
    hooks.examining = [this, run, doing](int row) {
        run->postProgress(row, [this, run, doing](int examined) {
            setProgress(doing + ofText(examined + 1, int(run->names.size())) + kStops);
            const int live = listedRow(*m_host.list, *run, examined);
            if (live >= 0) m_host.list->setListIndex(live);
        });
        return true;
    };
    hooks.found = [this, window, run, comparing, removing](int row, int, int found) {
        run->post([this, window, run, row, found, comparing, removing] {
            window->setWindowTitle(
                comparing + QString::number(found) +
                (found == 1 ? QStringLiteral(" file found") : QStringLiteral(" files found")));
            // Counted copies stay where they are.
            if (!removing) return;
            const int live = listedRow(*m_host.list, *run, row);
            if (live >= 0) m_host.list->removeItem(live);
            m_host.screenshots->removed(run->folder + run->names.at(row));
            run->gone.insert(std::lower_bound(run->gone.begin(), run->gone.end(), row), row);
        });
    };

    // A picture named after one copy only, in any of the picture folders (not one the
    // others merely show too, by the beginning of their names), decides which copy stays.
    // The folders are those of the searched folder, whatever the list shows by the time a
    // copy is weighed.
    const QStringList shotFolders = m_host.pictureFolders(run->folder);
    platform::FileOperations* files = m_host.files;
    // The preview follows the examined rows; its listings follow the removals (above)
    // rather than being taken again after each.
    m_host.screenshots->holdListings();
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

void FileCommands::finishDuplicateRun() {
    CommandRun* run = std::exchange(m_run, nullptr);
    if (!run) return;
    // Stopped before its end but not with Escape: the window is closing, and no question
    // or message about the count is wanted.
    const bool closing = run->stop && !run->stoppedByUser;
    run->stopAndWait();
    // What the search posted and the window has not shown yet is dropped: the list is
    // listed again below.
    run->calls.dropWaiting();
    const QString caption = run->caption;
    const QString folder = run->folder;
    const bool counted = run->mode == DuplicateMode::DryRun;
    const DuplicateSearchResult result = std::move(run->result);
    // A removed copy's plays and mark now belong to the copy kept; a counted one keeps them.
    if (m_host.history && !counted)
        for (const DuplicateSearchResult::Copy& copy : result.copies)
            m_host.history->renamed(copy.path, folder + run->names.at(copy.keptRow));
    const bool stoppedByUser = run->stoppedByUser;
    run->deleteLater();

    m_host.screenshots->releaseListings();
    m_host.window->setWindowTitle(caption);
    setProgress(QString());
    if (counted) {
        if (stoppedByUser)
            m_host.dialogs->messageBox(
                QStringLiteral("The search for duplicate files was stopped; nothing was removed."),
                platform::MessageButtons::Ok, platform::MessageIcon::Information, kAppName);
        else if (!closing)
            askRemoveCountedDuplicates(result.filesRemoved(), folder);
        return;
    }
    if (!result.copies.empty() && withTrailingSeparator(m_host.list->path()) == folder)
        m_host.refresh(QString());
    const QString stopped =
        stoppedByUser && result.stopped ? QStringLiteral("Stopped before the end.\n") : QString();
    m_host.dialogs->messageBox(stopped + result.message(), platform::MessageButtons::Ok,
                               platform::MessageIcon::Information, kAppName);
}

void FileCommands::askRemoveCountedDuplicates(int count, const QString& folder) {
    if (count == 0) {
        m_host.dialogs->messageBox(QStringLiteral("No duplicate files were found in this folder."),
                                   platform::MessageButtons::Ok, platform::MessageIcon::Information,
                                   kAppName);
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
    if (m_host.dialogs->messageBox(question, platform::MessageButtons::OkCancel,
                                   platform::MessageIcon::Question,
                                   kAppName) != platform::MessageAnswer::Ok)
        return;
    // The count was for that folder; another one listed meanwhile was not asked about.
    if (withTrailingSeparator(m_host.list->path()) == folder)
        removeDuplicates(DuplicateMode::Remove);
}

void FileCommands::removeTextFromNames(const QString& text) {
    if (m_run) return;
    auto* run = new CommandRun(this);
    m_run = run;
    run->strips = true;
    run->caption = m_host.window->windowTitle();
    run->folder = withTrailingSeparator(m_host.list->path());
    run->names = listedNames();
    // From the last row up, as the names are listed now.
    for (qsizetype i = run->names.size() - 1; i >= 0; --i) {
        const QString& name = run->names.at(i);
        if (nameHoldsText(name, text)) run->wanted.push_back({name, strippedName(name, text)});
    }
    const int total = int(run->wanted.size());
    setProgress(QStringLiteral("Renaming... ") + ofText(0, total) + kStops);

    // Called on the renaming thread; each only posts to the window's. The window's picture
    // search follows the moves, so that the preview finds each picture where it went.
    QWidget* window = m_host.window;
    RenameBatchHooks hooks;
    hooks.moved = [this, run](const QString& from, const QString& to) {
        run->post([this, from, to] { m_host.screenshots->moved(from, to); });
    };
    hooks.progress = [this, window, run, total, since = QElapsedTimer()](int done, int) mutable {
        run->processed = done;
        if (!since.isValid() || since.elapsed() >= kCaptionEveryMs || done == total) {
            since.restart();
            run->postProgress(done, [this, window, total](int shown) {
                window->setWindowTitle(QStringLiteral("Renaming files... ") +
                                       QString::number(shown) + QLatin1Char('/') +
                                       QString::number(total));
                setProgress(QStringLiteral("Renaming... ") + ofText(shown, total) + kStops);
            });
        }
        // Between two games: the rename under way has ended with everything it moved.
        return !run->stop;
    };
    const QStringList shotFolders = m_host.pictureFolders(run->folder);
    platform::FileOperations* files = m_host.files;
    m_host.screenshots->holdListings();
    run->worker = std::thread([this, run, hooks = std::move(hooks), files, shotFolders] {
        // Its own search of pictures, kept for the batch and following its moves, so that
        // each game's screenshot is found as the renames before it left it.
        ScreenshotSearch shots;
        shots.holdListings();
        TellingFiles telling(*files, shots);
        run->renamed = renameGameFiles(telling, run->folder, run->wanted,
                                       picturesIn(shots, shotFolders), hooks);
        run->post([this] { finishStripRun(); });
    });
}

void FileCommands::finishStripRun() {
    CommandRun* run = std::exchange(m_run, nullptr);
    if (!run) return;
    const bool stopped = run->stop;
    run->stopAndWait();
    // The moves it posted and the window has not followed yet: the listings are let go
    // below, and taken again when next asked.
    run->calls.dropWaiting();
    // Each game's play history and favourite mark follow it to its new name.
    if (m_host.history)
        for (const GameRename& r : run->renamed)
            m_host.history->renamed(run->folder + r.oldName, run->folder + r.newName);
    m_host.screenshots->releaseListings();
    m_host.window->setWindowTitle(run->caption);
    setProgress(QString());
    if (withTrailingSeparator(m_host.list->path()) == run->folder) m_host.refresh(QString());
    const int total = int(run->wanted.size());
    const QString stoppedText = stopped && run->processed < total
                                    ? QStringLiteral("Stopped after ") +
                                          ofText(run->processed, total) +
                                          QStringLiteral(" names.\n")
                                    : QString();
    m_host.dialogs->messageBox(stoppedText + renamedCountText(run->wanted, run->renamed),
                               platform::MessageButtons::Ok, platform::MessageIcon::Information,
                               kAppName);
    run->deleteLater();
}
