#pragma once

#include <QString>

namespace platform {

// Where the desktop trash is looked for. Tests point `home` at a temporary folder and
// leave the mounted file systems' own trash folders alone.
struct TrashPlaces {
    QString home = homeTrashFolder();  // $XDG_DATA_HOME/Trash, else ~/.local/share/Trash
    // $topdir/.Trash/$uid or $topdir/.Trash-$uid, for files on other file systems.
    bool mountTrash = true;
    static QString homeTrashFolder();
};

// Moves a file (or folder, or link as the link) into the desktop trash the way file
// managers expect it: the entry under files/, and under info/ a .trashinfo file with its
// percent-encoded original path and the deletion time, so it can be restored. Works on the
// name's own bytes, so a name that is not valid UTF-8 is trashed like any other; a name
// too long for its .trashinfo is stored shortened. Only a trash on the same file system
// is used (nothing is copied): the home trash for files on its file system, the file
// system's own trash for the others. A file system's trash folders are used only when they
// are the user's own (owner, mode 0700, not a link), and are held open from the check to
// the move, so that whoever owns a shared $topdir/.Trash cannot swap another folder in
// between. Nothing in the trash is ever replaced; info files whose entry never arrived (a
// move cut short) are cleared away. False when none can take it; then nothing has
// changed, no trash folder is left behind, and `why` (when given) says why in words for
// the user.
// `where`, when given, learns where the entry went, for restoreFromTrash.
struct TrashedEntry {
    QString entry;  // under the trash's files/
    QString info;   // its .trashinfo under info/
};
bool moveToTrash(const QString& path, const TrashPlaces& places = TrashPlaces(),
                 QString* why = nullptr, TrashedEntry* where = nullptr);

// Moves an entry that moveToTrash put in the trash back to `path`, never over an entry that
// has taken that name since, then takes away its info file (which would describe nothing).
bool restoreFromTrash(const TrashedEntry& trashed, const QString& path, QString* why = nullptr);

// moveToTrash's part for a file on a disk other than the home trash's: into the trash of
// the disk whose top folder is `top` (a folder above `path`, without a trailing slash).
bool moveToDiskTrash(const QString& path, const QString& top, QString* why = nullptr);

// A failed file system call's error number in words for the user, to follow a colon.
QString fileErrorText(int error);

}  // namespace platform
