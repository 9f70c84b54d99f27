// Delete, rename, mask, hide, macro and dump tags: one file or one answer each. The rules
// live in FileRenaming and HiddenFiles.

#include "launcher/ui/FileCommands.h"

#include "filelist/VirtualKeys.h"
#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/games/PlayHistory.h"
#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/DiscPlaylist.h"
#include "launcher/maintenance/DiscSetCommands.h"
#include "launcher/maintenance/DuplicateFinder.h"
#include "launcher/maintenance/FileRenaming.h"
#include "launcher/maintenance/HiddenFiles.h"
#include "platform/Dialogs.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/KeystrokeSender.h"

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

bool FileCommands::deleteSelected() {
    if (m_host.list->listIndex() == -1) return true;
    const QString name = m_host.list->fileName();
    const QString folder = withTrailingSeparator(m_host.list->path());
    const QString title = QStringLiteral("Delete File");
    if (goneFromFolder(*m_host.dialogs, folder, name, title)) {
        m_host.refresh(QString());
        return true;
    }
    // A disc game goes whole: its row's file and every file of its set.
    const auto set = discSetHeadedBy(folder, name);
    const QString also =
        set ? QStringLiteral(" and the %1 files of its game").arg(set->members.size()) : QString();
    const platform::MessageAnswer answer = m_host.dialogs->messageBox(
        QStringLiteral("Move '") + name + QLatin1Char('\'') + also +
            QStringLiteral(" to the trash?\nFrom Path: ") + m_host.list->path(),
        platform::MessageButtons::OkCancel, platform::MessageIcon::Question, title);
    if (answer == platform::MessageAnswer::Ok && set) {
        QString why;
        if (!trashDiscSet(*m_host.files, folder, *set, &why))
            m_host.dialogs->messageBox(why, platform::MessageButtons::Ok,
                                       platform::MessageIcon::Warning, title);
        m_host.refresh(QString());
    } else if (answer == platform::MessageAnswer::Ok) {
        const QString path = folder + name;
        platform::FileOperations& ops = *m_host.files;
        // Looked up first: the descriptor is known by its game, which is about to go.
        const auto jad = jadTwinOf(ops, path);
        bool removed = ops.remove(path);
        const bool gone = !removed && goneFromFolder(*m_host.dialogs, folder, name, title);
        if (removed && jad) removed = ops.remove(*jad);
        // Any other failure is said with its reason: the file is still there.
        if (!removed && !gone) {
            const QString why = ops.lastError();
            m_host.dialogs->messageBox(
                why.isEmpty()
                    ? QStringLiteral("Could not move '") + name + QStringLiteral("' to the trash.")
                    : why,
                platform::MessageButtons::Ok, platform::MessageIcon::Warning, title);
        }
        m_host.refresh(QString());
    }
    return true;
}

bool FileCommands::renameSelected() {
    if (m_host.list->listIndex() < 0) return true;
    const QString name = m_host.list->fileName();
    const QString folder = withTrailingSeparator(m_host.list->path());
    const QString title = QStringLiteral("Rename");
    if (goneFromFolder(*m_host.dialogs, folder, name, title)) {
        m_host.refresh(QString());
        return true;
    }
    const auto answer = m_host.dialogs->inputBox(
        QStringLiteral("Rename ") + name + QStringLiteral(" to:"), title, name);
    if (answer && !answer->isEmpty()) {
        QString newName = *answer, where = folder;
        bool ok = false;
        const QString wanted = newName;
        renameFile(name, newName, where, ok);
        // Gone while the question was open: said, and the list shows the folder as it is.
        if (!ok && goneFromFolder(*m_host.dialogs, folder, name, title)) newName.clear();
        m_host.refresh(newName);
        tellNameGiven(name, wanted, ok ? newName : QString(), title);
    }
    return true;
}

bool FileCommands::askMask() {
    const auto answer = m_host.dialogs->inputBox(
        QStringLiteral("Enter file mask:"), QStringLiteral("Filter Files"), m_host.list->pattern());
    // The mask chosen stays when a filter typed in the command line box is cleared.
    m_chosenMask = answer ? *answer : QString();
    m_host.patternChanged();
    return true;
}

QString FileCommands::listMask(const QString& systemMask) const {
    return m_chosenMask.isEmpty() ? systemMask : m_chosenMask;
}

void FileCommands::forgetChosenMask() {
    m_chosenMask.clear();
}

bool FileCommands::runMacro(Qt::KeyboardModifiers& held) {
    // A macro that presses F6 would start itself again without end.
    if (m_macroRunning) return true;
    if (m_keyMacro.isEmpty() || shiftStateOf(held) != 0) {
        const auto answer =
            m_host.dialogs->inputBox(QStringLiteral("Enter Macro:"), kAppName, m_keyMacro);
        if (!answer || answer->isEmpty()) return false;
        m_keyMacro = *answer;
    }
    // The keys are delivered as they are sent, so the guard holds for all of them.
    m_macroRunning = true;
    m_host.keystrokes->send(m_keyMacro);
    m_macroRunning = false;
    // The macro's keys are over: the closing step takes the focus back to the list.
    held = Qt::NoModifier;
    return true;
}

bool FileCommands::hideByPattern() {
    const QString folder = withTrailingSeparator(m_host.list->path());
    const auto answer = m_host.dialogs->inputBox(
        QStringLiteral("Enter pattern to hide files:\nEnter blank pattern to remove all hidden "
                       "files."),
        QStringLiteral("Hide Files"), m_hidePattern);
    if (!answer) return false;
    bool changed = true;
    if (answer->trimmed().isEmpty()) {
        changed = clearHiddenFiles(folder);
    } else {
        m_hidePattern = answer->toLower();
        changed = addToHiddenList(
            folder, namesMatchingHidePattern(listedNames(), hideMatchPattern(*answer)));
    }
    m_host.refresh(QString());
    // A list that is a link, a FIFO or unwritable is left alone; the user must know why
    // nothing was hidden or shown again.
    if (!changed)
        m_host.dialogs->messageBox(
            QStringLiteral("The list of hidden files of this folder could not be changed: its "
                           "'.hidden' file is not a plain file or cannot be written."),
            platform::MessageButtons::Ok, platform::MessageIcon::Warning,
            QStringLiteral("Hide Files"));
    return true;
}

bool FileCommands::askRemoveDuplicates() {
    // The question says how many files would go: they are counted first, on the search's
    // thread, without removing any (askRemoveCountedDuplicates asks).
    if (!busy()) removeDuplicates(DuplicateMode::DryRun);
    return true;
}

bool FileCommands::askStripText() {
    const auto answer = m_host.dialogs->inputBox(
        QStringLiteral("Enter text to remove in file names:"), kAppName, QString());
    if (answer && !answer->isEmpty()) removeTextFromNames(*answer);
    return true;
}

bool FileCommands::toggleDumpTag(int shiftState) {
    if (m_host.list->listIndex() < 0) return true;
    const QString name = m_host.list->fileName();
    if (goneFromFolder(*m_host.dialogs, withTrailingSeparator(m_host.list->path()), name,
                       kAppName)) {
        m_host.refresh(QString());
        return true;
    }
    QString newName = dumpTagName(name, shiftState), folder;
    const QString wanted = newName;
    bool ok = false;
    renameFile(name, newName, folder, ok);
    // The tag changes where the name sorts; the selection follows the file.
    m_host.refresh(ok ? newName : QString());
    tellNameGiven(name, wanted, ok ? newName : QString(), kAppName);
    return true;
}

bool FileCommands::writePlaylist(const QString& mask) {
    if (m_host.list->listIndex() < 0) return true;
    const QString name = m_host.list->fileName();
    const QString title = QStringLiteral("Playlist");
    const auto tell = [&](const QString& text) {
        m_host.dialogs->messageBox(text, platform::MessageButtons::Ok,
                                   platform::MessageIcon::Warning, title);
    };
    if (!readsPlaylists(mask)) {
        tell(QStringLiteral("This emulator does not read playlists (.m3u)."));
        return true;
    }
    const auto playlist = playlistFor(name, listedNames());
    if (!playlist) {
        tell(QLatin1Char('\'') + name +
             QStringLiteral("' is not one of the discs of a game listed here (named \"(Disc 1)\", "
                            "\"(Disc 2)\"...)."));
        return true;
    }
    QString why;
    if (!writePlaylistFile(withTrailingSeparator(m_host.list->path()), *playlist, &why)) {
        tell(QStringLiteral("Could not write '") + playlist->name + QStringLiteral("': ") + why +
             QLatin1Char('.'));
        return true;
    }
    m_host.refresh(playlist->name);
    return true;
}

void FileCommands::renameFile(const QString& oldName, QString& newName, QString& folder, bool& ok) {
    ok = false;
    if (newName == oldName) return;
    if (folder.isEmpty()) folder = withTrailingSeparator(m_host.list->path());
    std::optional<QString> given;
    // A disc game is renamed whole, the references inside its set files too.
    if (const auto set = discSetHeadedBy(folder, oldName)) {
        QString why;
        given = renameDiscSet(*m_host.files, folder, *set, newName, picturesOf(folder), &why);
        if (!why.isEmpty())
            m_host.dialogs->messageBox(why, platform::MessageButtons::Ok,
                                       platform::MessageIcon::Warning, kAppName);
    } else {
        given = renameGameFile(*m_host.files, folder, oldName, newName, picturesOf(folder));
    }
    if (!given) return;
    // The game's play history and favourite mark follow it to its new name.
    if (m_host.history) m_host.history->renamed(folder + oldName, folder + *given);
    newName = *given;
    ok = true;
}

void FileCommands::tellNameGiven(const QString& oldName, const QString& wanted,
                                 const QString& given, const QString& title) {
    // A numbered name is never given silently: the user looks for the game under the name
    // typed.
    if (given.isEmpty() || given == wanted) return;
    m_host.dialogs->messageBox(nameGivenText(oldName, wanted, given), platform::MessageButtons::Ok,
                               platform::MessageIcon::Information, title);
}

GamePictures FileCommands::picturesOf(const QString& folder) {
    return picturesIn(*m_host.screenshots, m_host.pictureFolders(folder));
}

QStringList FileCommands::listedNames() const {
    QStringList names;
    names.reserve(m_host.list->listCount());
    for (int i = 0; i < m_host.list->listCount(); ++i)
        names.append(m_host.list->list(i));
    return names;
}
