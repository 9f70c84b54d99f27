// Delete, rename, mask, hide, macro, strip text and dump tags: the window's side of the
// file commands. The rules live in FileRenaming and HiddenFiles.

#include "filelist/VirtualKeys.h"
#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/games/PlayHistory.h"
#include "launcher/maintenance/DuplicateFinder.h"
#include "launcher/maintenance/FileRenaming.h"
#include "launcher/maintenance/HiddenFiles.h"
#include "launcher/ui/MainWindow.h"
#include "platform/Dialogs.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/KeystrokeSender.h"

#include "launcher/games/Screenshots.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {
// The list is a picture of the folder taken earlier: the listed entry may have gone since,
// and another spelling of its name may have come. Then the user is told, and nothing else
// is touched.
bool goneFromFolder(platform::Dialogs& dialogs, const QString& folder, const QString& name,
                    const QString& title) {
    if (platform::hasEntry(folder + name)) return false;
    dialogs.messageBox(QLatin1Char('\'') + name + QStringLiteral("' is no longer in this folder."),
                       platform::MessageButtons::Ok, platform::MessageIcon::Warning, title);
    return true;
}
}  // namespace

bool MainWindow::deleteSelectedFile() {
    if (m_ui.fileList->listIndex() == -1) return true;
    const QString name = m_ui.fileList->fileName();
    const QString folder = withTrailingSeparator(m_ui.fileList->path());
    const QString title = QStringLiteral("Delete File");
    if (goneFromFolder(*m_services.dialogs, folder, name, title)) {
        refreshFileList(QString());
        return true;
    }
    const platform::MessageAnswer answer = m_services.dialogs->messageBox(
        QStringLiteral("Move '") + name + QStringLiteral("' to the trash?\nFrom Path: ") +
            m_ui.fileList->path(),
        platform::MessageButtons::OkCancel, platform::MessageIcon::Question, title);
    if (answer == platform::MessageAnswer::Ok) {
        const QString path = folder + name;
        platform::FileOperations& ops = *m_services.files;
        // Looked up first: the descriptor is known by its game, which is about to go.
        const auto jad = jadTwinOf(ops, path);
        bool removed = ops.remove(path);
        const bool gone = !removed && goneFromFolder(*m_services.dialogs, folder, name, title);
        if (removed && jad) removed = ops.remove(*jad);
        // Any other failure is said with its reason: the file is still there.
        if (!removed && !gone) {
            const QString why = ops.lastError();
            m_services.dialogs->messageBox(
                why.isEmpty()
                    ? QStringLiteral("Could not move '") + name + QStringLiteral("' to the trash.")
                    : why,
                platform::MessageButtons::Ok, platform::MessageIcon::Warning, title);
        }
        refreshFileList(QString());
    }
    return true;
}

bool MainWindow::renameSelectedFile() {
    if (m_ui.fileList->listIndex() < 0) return true;
    const QString name = m_ui.fileList->fileName();
    const QString folder = withTrailingSeparator(m_ui.fileList->path());
    const QString title = QStringLiteral("Rename");
    if (goneFromFolder(*m_services.dialogs, folder, name, title)) {
        refreshFileList(QString());
        return true;
    }
    const auto answer = m_services.dialogs->inputBox(
        QStringLiteral("Rename ") + name + QStringLiteral(" to:"), title, name);
    if (answer && !answer->isEmpty()) {
        QString newName = *answer, where = folder;
        bool ok = false;
        const QString wanted = newName;
        renameFile(name, newName, where, ok);
        // Gone while the question was open: said, and the list shows the folder as it is.
        if (!ok && goneFromFolder(*m_services.dialogs, folder, name, title)) newName.clear();
        refreshFileList(newName);
        tellNameGiven(name, wanted, ok ? newName : QString(), title);
    }
    return true;
}

bool MainWindow::askFileMask() {
    const auto answer =
        m_services.dialogs->inputBox(QStringLiteral("Enter file mask:"),
                                     QStringLiteral("Filter Files"), m_ui.fileList->pattern());
    // The mask chosen stays when a filter typed in the command line box is cleared.
    m_chosenMask = answer ? *answer : QString();
    m_ui.fileList->setPattern(listMask());
    showFileCount();
    return true;
}

QString MainWindow::listMask() const {
    return m_chosenMask.isEmpty() ? m_emu.fileMask : m_chosenMask;
}

bool MainWindow::runKeyMacro(Qt::KeyboardModifiers& held) {
    // A macro that presses F6 would start itself again without end.
    if (m_macroRunning) return true;
    if (m_keyMacro.isEmpty() || shiftStateOf(held) != 0) {
        const auto answer =
            m_services.dialogs->inputBox(QStringLiteral("Enter Macro:"), kAppName, m_keyMacro);
        if (!answer || answer->isEmpty()) return false;
        m_keyMacro = *answer;
    }
    m_macroRunning = true;
    m_services.keystrokes->send(m_keyMacro);
    QCoreApplication::processEvents();
    m_macroRunning = false;
    // The macro's keys are over: the closing step takes the focus back to the list.
    held = Qt::NoModifier;
    return true;
}

bool MainWindow::hideFilesByPattern() {
    const QString folder = withTrailingSeparator(m_ui.fileList->path());
    const auto answer = m_services.dialogs->inputBox(
        QStringLiteral("Enter pattern to hide files:\nEnter blank pattern to remove all hidden "
                       "files."),
        QStringLiteral("Hide Files"), m_hidePattern);
    if (!answer) return false;
    bool changed = true;
    if (answer->trimmed().isEmpty()) {
        changed = clearHiddenFiles(folder);
    } else {
        m_hidePattern = answer->toLower();
        QStringList names;
        for (int i = 0; i < m_ui.fileList->listCount(); ++i)
            names.append(m_ui.fileList->list(i));
        changed =
            addToHiddenList(folder, namesMatchingHidePattern(names, hideMatchPattern(*answer)));
    }
    refreshFileList(QString());
    // A list that is a link, a FIFO or unwritable is left alone; the user must know why
    // nothing was hidden or shown again.
    if (!changed)
        m_services.dialogs->messageBox(
            QStringLiteral("The list of hidden files of this folder could not be changed: its "
                           "'.hidden' file is not a plain file or cannot be written."),
            platform::MessageButtons::Ok, platform::MessageIcon::Warning,
            QStringLiteral("Hide Files"));
    return true;
}

bool MainWindow::askRemoveDuplicates() {
    // The question says how many files would go: they are counted first, on the search's
    // thread, without removing any (askRemoveCountedDuplicates asks).
    if (!m_busy) removeDuplicates(DuplicateMode::DryRun);
    return true;
}

bool MainWindow::askStripText() {
    const auto answer = m_services.dialogs->inputBox(
        QStringLiteral("Enter text to remove in file names:"), kAppName, QString());
    if (answer && !answer->isEmpty()) removeTextFromNames(*answer);
    return true;
}

bool MainWindow::toggleDumpTag(int shiftState) {
    if (m_ui.fileList->listIndex() < 0) return true;
    const QString name = m_ui.fileList->fileName();
    if (goneFromFolder(*m_services.dialogs, withTrailingSeparator(m_ui.fileList->path()), name,
                       kAppName)) {
        refreshFileList(QString());
        return true;
    }
    QString newName = dumpTagName(name, shiftState), folder;
    const QString wanted = newName;
    bool ok = false;
    renameFile(name, newName, folder, ok);
    // The tag changes where the name sorts; the selection follows the file.
    refreshFileList(ok ? newName : QString());
    tellNameGiven(name, wanted, ok ? newName : QString(), kAppName);
    return true;
}

void MainWindow::renameFile(const QString& oldName, QString& newName, QString& folder, bool& ok) {
    ok = false;
    if (newName == oldName) return;
    if (folder.isEmpty()) folder = withTrailingSeparator(m_ui.fileList->path());
    const auto given =
        renameGameFile(*m_services.files, folder, oldName, newName, picturesOf(folder));
    if (!given) return;
    // The game's play history and favourite mark follow it to its new name.
    if (m_services.history) m_services.history->renamed(folder + oldName, folder + *given);
    newName = *given;
    ok = true;
}

void MainWindow::tellNameGiven(const QString& oldName, const QString& wanted, const QString& given,
                               const QString& title) {
    // A numbered name is never given silently: the user looks for the game under the name
    // typed.
    if (given.isEmpty() || given == wanted) return;
    m_services.dialogs->messageBox(nameGivenText(oldName, wanted, given),
                                   platform::MessageButtons::Ok, platform::MessageIcon::Information,
                                   title);
}

GamePictures MainWindow::picturesOf(const QString& folder) {
    return picturesIn(*m_preview.screenshots,
                      screenshotFoldersOf(setting(QStringLiteral("screenshots"), QString()),
                                          m_emu.folder, folder));
}

void MainWindow::refreshFileList(const QString& selectName) {
    int index = m_ui.fileList->listIndex();
    const QString selected = index >= 0 ? m_ui.fileList->fileName() : QString();
    m_ui.fileList->refresh();
    // Read in the background: the list shows the folder's last reading until the names
    // come, and the game is chosen again then.
    if (m_ui.fileList->folderList().reading() && !m_ui.fileList->folderList().namesKnown())
        m_folders.selectWhenListed = selectName.isEmpty() ? selected : selectName;
    showFileCount();
    QCoreApplication::processEvents();
    const int count = m_ui.fileList->listCount();
    if (!m_macroRunning && !selectName.isEmpty()) {
        const QString wanted = platform::foldName(selectName);
        for (int i = 0; i < count; ++i) {
            if (platform::foldName(m_ui.fileList->list(i)) == wanted) {
                index = i;
                break;
            }
        }
    }
    // After the last row was deleted the row before it takes its place.
    if (index >= count) index = count - 1;
    m_ui.fileList->setListIndex(index);
}

namespace {
// A batch that runs longer than this says how far it is in the caption, and the window
// paints again, as often.
constexpr qint64 kBatchProgressEveryMs = 100;
}  // namespace

std::vector<GameRename> MainWindow::removeTextFromNames(const QString& text) {
    const QString folder = withTrailingSeparator(m_ui.fileList->path());
    QStringList listed;
    listed.reserve(m_ui.fileList->listCount());
    for (int i = 0; i < m_ui.fileList->listCount(); ++i)
        listed.append(m_ui.fileList->list(i));
    // From the last row up, as the names are listed now.
    std::vector<GameRename> wanted;
    for (qsizetype i = listed.size() - 1; i >= 0; --i) {
        const QString& name = listed.at(i);
        if (nameHoldsText(name, text)) wanted.push_back({name, strippedName(name, text)});
    }

    // The pictures' listings are kept for the batch and follow its moves, so that each
    // game's screenshot is found as the renames before it left it.
    const QString caption = windowTitle();
    QElapsedTimer since;
    since.start();
    RenameBatchHooks hooks;
    hooks.moved = [this](const QString& from, const QString& to) {
        m_preview.screenshots->moved(from, to);
    };
    hooks.progress = [&](int done, int total) {
        if (since.elapsed() < kBatchProgressEveryMs) return true;
        since.restart();
        setWindowTitle(QStringLiteral("Renaming files... ") + QString::number(done) +
                       QLatin1Char('/') + QString::number(total));
        // Painted, but no key or click starts another command on a half-renamed list.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    };
    m_preview.screenshots->holdListings();
    const std::vector<GameRename> renamed =
        renameGameFiles(*m_services.files, folder, wanted, picturesOf(folder), hooks);
    m_preview.screenshots->releaseListings();
    setWindowTitle(caption);
    // Each game's play history and favourite mark follow it to its new name.
    if (m_services.history)
        for (const GameRename& r : renamed)
            m_services.history->renamed(folder + r.oldName, folder + r.newName);

    refreshFileList(QString());
    m_services.dialogs->messageBox(renamedCountText(wanted, renamed), platform::MessageButtons::Ok,
                                   platform::MessageIcon::Information, kAppName);
    return renamed;
}
