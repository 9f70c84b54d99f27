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
void tellGone(platform::Dialogs& dialogs, const QString& name, const QString& title) {
    dialogs.messageBox(QLatin1Char('\'') + name + QStringLiteral("' is no longer in this folder."),
                       platform::MessageButtons::Ok, platform::MessageIcon::Warning, title);
}

// A game renamed with what belongs to it; a disc game whole, the references inside its set
// files too. Runs on the window's thread (identification's rename) and on the one-file
// commands' thread alike.
RenameOutcome renameGame(platform::FileOperations& files, const QString& folder,
                         const QString& oldName, const QString& newName,
                         const GamePictures& pictures) {
    RenameOutcome out;
    if (newName == oldName) return out;
    if (const auto set = discSetHeadedBy(folder, oldName))
        out.given = renameDiscSet(files, folder, *set, newName, pictures, &out.why);
    else
        out.given = renameGameFile(files, folder, oldName, newName, pictures);
    return out;
}
}  // namespace

void FileCommands::offThread(const QString& doing, std::function<std::function<void()>()> work) {
    if (m_macroRunning) {
        // A macro's keys arrive at once, each meant for what the key before it left (F9,
        // then Down from the renamed game): within a macro the command is done here.
        work()();
        return;
    }
    setProgress(doing);
    // A share that stopped answering may keep the work past the window's end: it touches
    // nothing of this object, which only the call it hands back uses, and that call runs
    // only while this object lives.
    m_oneFile.give(
        [this, work = std::move(work)](const std::function<bool()>&) -> std::function<void()> {
            std::function<void()> then = work();
            return [this, then = std::move(then)] {
                setProgress(QString());
                then();
            };
        });
}

void FileCommands::refreshIfListed(const QString& folder, const QString& selectName) {
    // The user may have moved to another folder while the command ran.
    if (withTrailingSeparator(m_host.list->path()) == folder) m_host.refresh(selectName);
}

bool FileCommands::deleteSelected() {
    if (m_host.list->listIndex() == -1) return true;
    const QString name = m_host.list->fileName();
    const QString folder = withTrailingSeparator(m_host.list->path());
    // Whether the entry is still there, and the set a disc game's row heads, are asked of
    // the disk before the question, which says how many files go.
    offThread(QStringLiteral("Looking at '") + name + QStringLiteral("'..."),
              [this, folder, name]() -> std::function<void()> {
                  const bool present = platform::hasEntry(folder + name);
                  std::optional<DiscSet> set;
                  if (present) set = discSetHeadedBy(folder, name);
                  return
                      [this, folder, name, present, set] { askDelete(folder, name, present, set); };
              });
    return true;
}

void FileCommands::askDelete(const QString& folder, const QString& name, bool present,
                             const std::optional<DiscSet>& set) {
    const QString title = QStringLiteral("Delete File");
    if (!present) {
        tellGone(*m_host.dialogs, name, title);
        refreshIfListed(folder, QString());
        return;
    }
    // A disc game goes whole: its row's file and every file of its set.
    const QString also =
        set ? QStringLiteral(" and the %1 files of its game").arg(set->members.size()) : QString();
    const platform::MessageAnswer answer = m_host.dialogs->messageBox(
        QStringLiteral("Move '") + name + QLatin1Char('\'') + also +
            QStringLiteral(" to the trash?\nFrom Path: ") + folder,
        platform::MessageButtons::OkCancel, platform::MessageIcon::Question, title);
    if (answer != platform::MessageAnswer::Ok) return;
    platform::FileOperations* files = m_host.files;
    offThread(QStringLiteral("Moving '") + name + QStringLiteral("' to the trash..."),
              [this, files, folder, name, set, title]() -> std::function<void()> {
                  platform::FileOperations& ops = *files;
                  QString why;
                  bool gone = false;
                  if (set) {
                      trashDiscSet(ops, folder, *set, &why);
                  } else {
                      const QString path = folder + name;
                      // Looked up first: the descriptor is known by its game, which is about to go.
                      const auto jad = jadTwinOf(ops, path);
                      bool removed = ops.remove(path);
                      gone = !removed && !platform::hasEntry(path);
                      if (removed && jad) removed = ops.remove(*jad);
                      // Any other failure is said with its reason: the file is still there.
                      if (!removed && !gone) {
                          why = ops.lastError();
                          if (why.isEmpty())
                              why = QStringLiteral("Could not move '") + name +
                                    QStringLiteral("' to the trash.");
                      }
                  }
                  return [this, folder, name, title, why, gone] {
                      if (gone)
                          tellGone(*m_host.dialogs, name, title);
                      else if (!why.isEmpty())
                          m_host.dialogs->messageBox(why, platform::MessageButtons::Ok,
                                                     platform::MessageIcon::Warning, title);
                      refreshIfListed(folder, QString());
                  };
              });
}

bool FileCommands::renameSelected() {
    if (m_host.list->listIndex() < 0) return true;
    const QString name = m_host.list->fileName();
    const QString folder = withTrailingSeparator(m_host.list->path());
    offThread(QStringLiteral("Looking at '") + name + QStringLiteral("'..."),
              [this, folder, name]() -> std::function<void()> {
                  const bool present = platform::hasEntry(folder + name);
                  return [this, folder, name, present] { askRename(folder, name, present); };
              });
    return true;
}

void FileCommands::askRename(const QString& folder, const QString& name, bool present) {
    const QString title = QStringLiteral("Rename");
    if (!present) {
        tellGone(*m_host.dialogs, name, title);
        refreshIfListed(folder, QString());
        return;
    }
    const auto answer = m_host.dialogs->inputBox(
        QStringLiteral("Rename ") + name + QStringLiteral(" to:"), title, name);
    if (answer && !answer->isEmpty()) renameOffThread(folder, name, *answer, title, false);
}

void FileCommands::renameOffThread(const QString& folder, const QString& name,
                                   const QString& wanted, const QString& title, bool checkFirst) {
    renameOnThread(
        folder, name, wanted, checkFirst,
        [this, folder, name, wanted, title, checkFirst](bool present, const RenameOutcome& out) {
            if (!present) {
                tellGone(*m_host.dialogs, name, title);
                refreshIfListed(folder, QString());
                return;
            }
            finishRename(folder, name, wanted, title, out, !checkFirst);
        });
}

void FileCommands::renameOnThread(const QString& folder, const QString& name, const QString& wanted,
                                  bool checkFirst,
                                  std::function<void(bool present, const RenameOutcome&)> then) {
    platform::FileOperations* files = m_host.files;
    const QStringList pictureFolders = m_host.pictureFolders(folder);
    offThread(QStringLiteral("Renaming '") + name + QStringLiteral("'..."),
              [this, files, pictureFolders, folder, name, wanted, checkFirst,
               then = std::move(then)]() -> std::function<void()> {
                  RenameOutcome out;
                  // The pictures that go with the game are found here too: the search lists
                  // every picture folder, any of which may be on the share.
                  const bool present = !checkFirst || platform::hasEntry(folder + name);
                  if (present) {
                      ScreenshotSearch shots;
                      out = renameGame(*files, folder, name, wanted,
                                       picturesIn(shots, pictureFolders));
                      out.gone = !out.given && !platform::hasEntry(folder + name);
                  }
                  return [this, folder, name, present, out, then] {
                      if (!out.why.isEmpty())
                          m_host.dialogs->messageBox(out.why, platform::MessageButtons::Ok,
                                                     platform::MessageIcon::Warning, kAppName);
                      // The game's play history and favourite mark follow it to its new name.
                      if (out.given && m_host.history)
                          m_host.history->renamed(folder + name, folder + *out.given);
                      then(present, out);
                  };
              });
}

void FileCommands::finishRename(const QString& folder, const QString& name, const QString& wanted,
                                const QString& title, const RenameOutcome& out, bool sayGone) {
    // Gone while the question was open: said, and the list shows the folder as it is.
    QString select = out.given ? *out.given : sayGone && !out.gone ? wanted : QString();
    if (!out.given && sayGone && out.gone) tellGone(*m_host.dialogs, name, title);
    refreshIfListed(folder, select);
    tellNameGiven(name, wanted, out.given ? *out.given : QString(), title);
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
    // The tag changes where the name sorts; the selection follows the file.
    renameOffThread(withTrailingSeparator(m_host.list->path()), name, dumpTagName(name, shiftState),
                    kAppName, true);
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
    // A small file, but written on a share that may not answer: on the commands' thread.
    const QString folder = withTrailingSeparator(m_host.list->path());
    offThread(QStringLiteral("Writing '") + playlist->name + QStringLiteral("'..."),
              [this, folder, playlist = *playlist]() -> std::function<void()> {
                  QString why;
                  const bool written = writePlaylistFile(folder, playlist, &why);
                  return [this, folder, name = playlist.name, written, why] {
                      if (written) {
                          refreshIfListed(folder, name);
                          return;
                      }
                      m_host.dialogs->messageBox(QStringLiteral("Could not write '") + name +
                                                     QStringLiteral("': ") + why + QLatin1Char('.'),
                                                 platform::MessageButtons::Ok,
                                                 platform::MessageIcon::Warning,
                                                 QStringLiteral("Playlist"));
                  };
              });
    return true;
}

void FileCommands::renameListed(const QString& oldName, const QString& wanted, Renamed then) {
    const QString folder = withTrailingSeparator(m_host.list->path());
    // Gone or replaced while a question was open: nothing is renamed.
    renameOnThread(folder, oldName, wanted, true,
                   [folder, then = std::move(then)](bool present, const RenameOutcome& out) {
                       then(folder, out.given, !present);
                   });
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
