#pragma once

// The moves of one game and what goes with it (screenshots, a ".jar"/".jad" twin), written
// down before the first of them, so that a run killed between two of them is put right at
// the next start of the window or of romcheck: the moves are completed, or undone, and a
// game is never left apart from its picture.

#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace platform {
class DurableNote;
class FileOperations;
}  // namespace platform

// Full paths, from and to, in the order the moves are made: the game first.
using PlannedMoves = std::vector<std::pair<QString, QString>>;

class RenameJournal {
public:
    // $XDG_STATE_HOME/Rombard/renames (~/.local/state by default): beside no games folder,
    // so a read-only or removed one does not matter.
    static QString defaultFolder();

    explicit RenameJournal(QString folder = defaultFolder());
    ~RenameJournal();

    // Before the first move; on disk when it returns true. False when it could not be
    // written: the moves are then made unrecorded, as a rename always was.
    bool begin(const PlannedMoves& moves);
    // All moves made, or all undone.
    void end();

private:
    std::unique_ptr<platform::DurableNote> m_note;
};

struct RecoveredRenames {
    PlannedMoves completed;  // moves made now to finish a game's rename
    PlannedMoves undone;     // moves taken back (from the `to` name to the `from` name)
    int leftApart = 0;       // games neither finished nor undone: a name was taken
};

// Finishes or undoes what the runs that are gone left half done, for each game: the moves
// still to make are made when their `from` is there and their `to` is free; when one
// cannot be, the moves made are taken back, newest first, each only to a free name.
// Nothing is ever overwritten.
RecoveredRenames recoverInterruptedRenames(platform::FileOperations& files,
                                           const QString& folder = RenameJournal::defaultFolder());
