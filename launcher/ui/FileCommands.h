#pragma once

// The file list's file commands: Delete, F2 rename, F3 mask, F4 hide, F6 macro, F7
// duplicates, F8 strip text and F9 dump tags, with their questions and messages. The rules
// live in launcher/maintenance; this keeps the commands' own state (the last hide pattern
// and macro, the mask chosen with F3, the long command under way).
//
// F7 and F8 read or rename every listed file, which on a share is thousands of round trips:
// they run on a thread of their own, with their progress in the list's tip, while the
// window keeps moving and painting. One runs at a time; stop() ends it after the file
// operation under way, and what was done is said.
//
// Delete, F2, F9 and Ctrl+M touch one game, yet each look at the disk (is the entry still
// there, the set a disc game heads, the picture folders, the move, the playlist written) can
// wait for ever on a share that stopped answering: they ask on a thread of their own, before
// their question and after it, and the window stays usable meanwhile. That thread is never
// waited for.

#include "filelist/DiscSets.h"
#include "platform/LatestWork.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class FileListView;
class PlayHistory;
class QWidget;
class ScreenshotSearch;
enum class DuplicateMode;
struct GamePictures;
struct GameRename;
class CommandRun;

namespace platform {
class Dialogs;
class FileOperations;
class KeystrokeSender;
}  // namespace platform

// What a rename did: the name given, or why not.
struct RenameOutcome {
    std::optional<QString> given;
    QString why;        // said to the user when not empty
    bool gone = false;  // not renamed, and the game's entry is no longer there
};

class FileCommands : public QObject {
    Q_OBJECT
public:
    // What the commands reach in the window; every pointer outlives this object.
    struct Host {
        QWidget* window = nullptr;  // its caption says how far F7 and F8 are
        FileListView* list = nullptr;
        ScreenshotSearch* screenshots = nullptr;
        platform::Dialogs* dialogs = nullptr;
        platform::FileOperations* files = nullptr;  // also used on the commands' thread
        platform::KeystrokeSender* keystrokes = nullptr;
        PlayHistory* history = nullptr;  // may be null
        // The picture folders of the games of `folder`, in the preview's order.
        std::function<QStringList(const QString& folder)> pictureFolders;
        // Lists the folder again and selects `selectName` (letter case ignored) when it is
        // listed, else the same row number as before.
        std::function<void(const QString& selectName)> refresh;
        // The list's pattern changed (F3).
        std::function<void()> patternChanged;
    };
    FileCommands(Host host, QObject* parent);
    // Waits for the file operation under way of a long command; nothing is posted after.
    ~FileCommands() override;

    // Each returns false when the key ends without the closing step (a cancelled prompt).
    bool deleteSelected();
    bool renameSelected();
    bool askMask();
    // Clears `held` once the macro ran, so the closing step returns to the list.
    bool runMacro(Qt::KeyboardModifiers& held);
    bool hideByPattern();
    bool askRemoveDuplicates();
    bool askStripText();
    bool toggleDumpTag(int shiftState);
    // Ctrl+M: a playlist of the selected game's discs, for an emulator whose `mask` takes one.
    bool writePlaylist(const QString& mask);

    // Renames `oldName` in the listed folder to `wanted` with what belongs to it, on the
    // one-file commands' thread, if it is still there. `then` runs on the window's thread
    // with the folder, the name given (none: not renamed) and whether the file had gone.
    using Renamed =
        std::function<void(const QString& folder, const std::optional<QString>& given, bool gone)>;
    void renameListed(const QString& oldName, const QString& wanted, Renamed then);
    // Says so when the rename of `oldName` gave another name than `wanted` (it was taken);
    // `given` is empty when nothing was renamed.
    void tellNameGiven(const QString& oldName, const QString& wanted, const QString& given,
                       const QString& title);

    // The mask the list shows: F3's while it holds, else `systemMask`.
    QString listMask(const QString& systemMask) const;
    // Another system lists other files: a mask chosen for one does not carry over.
    void forgetChosenMask();

    // F7 or F8 is under way, or Delete, F2, F9 or Ctrl+M waits for its thread.
    bool busy() const;
    // Delete, F2, F9 or Ctrl+M waits for its thread.
    bool oneFilePending() const { return m_oneFile.pending(); }
    // F7 or F8 is under way: Escape stops it.
    bool stoppable() const { return m_run != nullptr; }
    bool macroRunning() const { return m_macroRunning; }
    // What the list's tip says of the command under way (or of one refused); empty once
    // none runs.
    QString progress() const { return m_progress; }
    // A second command while one runs is refused, not queued: the tip says so.
    void refuseWhileBusy();
    // Escape: the command under way ends after its file operation, then says what it did.
    void stop();
    // Closing: as stop(), but waits for that file operation, and no question follows.
    void stopAndWait();

signals:
    void progressChanged();

private:
    // Runs `work` on the one-file commands' thread, saying `doing` in the list's tip; the
    // call it returns runs on the window's thread. `work` must hold nothing of this object.
    void offThread(const QString& doing, std::function<std::function<void()>()> work);
    void refreshIfListed(const QString& folder, const QString& selectName);
    void askDelete(const QString& folder, const QString& name, bool present,
                   const std::optional<DiscSet>& set);
    void askRename(const QString& folder, const QString& name, bool present);
    // `checkFirst`: whether the entry is still there is asked on the thread too (F9 asks
    // no question first).
    void renameOffThread(const QString& folder, const QString& name, const QString& wanted,
                         const QString& title, bool checkFirst);
    // The rename on the one-file commands' thread, first asking whether `name` is still
    // there when `checkFirst`; its warning and the history's move are done before `then`.
    void renameOnThread(const QString& folder, const QString& name, const QString& wanted,
                        bool checkFirst,
                        std::function<void(bool present, const RenameOutcome&)> then);
    void finishRename(const QString& folder, const QString& name, const QString& wanted,
                      const QString& title, const RenameOutcome& out, bool sayGone);
    // Counts the copies first (DryRun): F7 asks with their number, then removes them.
    void removeDuplicates(DuplicateMode mode);
    void finishDuplicateRun();
    void askRemoveCountedDuplicates(int count, const QString& folder);
    void removeTextFromNames(const QString& text);
    void finishStripRun();
    void setProgress(const QString& text);
    GamePictures picturesOf(const QString& folder);
    QStringList listedNames() const;

    Host m_host;
    QString m_hidePattern = QStringLiteral("*[b?].*");
    QString m_keyMacro;
    bool m_macroRunning = false;
    QString m_chosenMask;         // set with F3 for this emulator; empty: the system's mask
    CommandRun* m_run = nullptr;  // a child of this while F7 or F8 runs
    QString m_progress;
    platform::LatestWork m_oneFile;
};
