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
// system's own trash for the others. False when none can take it; then nothing has
// changed, no trash folder is left behind, and `why` (when given) says why in words for
// the user.
bool moveToTrash(const QString& path, const TrashPlaces& places = TrashPlaces(),
                 QString* why = nullptr);

// A failed file system call's error number in words for the user, to follow a colon.
QString fileErrorText(int error);

}  // namespace platform
