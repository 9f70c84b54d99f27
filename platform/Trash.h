#pragma once

#include <QString>

namespace platform {

// Where the desktop trash is looked for. Tests point `home` at a temporary folder and
// leave the mounted file systems' own trash folders alone.
struct TrashPlaces {
    QString home = homeTrashFolder();  // $XDG_DATA_HOME/Trash, else ~/.local/share/Trash
    bool mountTrash = true;            // $topdir/.Trash/$uid or $topdir/.Trash-$uid
    static QString homeTrashFolder();
};

// Moves a file (or folder) into the desktop trash the way file managers expect it: the
// entry under files/, and under info/ a .trashinfo file with its percent-encoded original
// path and the deletion time, so it can be restored. Works on the name's own bytes, so a
// name that is not valid UTF-8 is trashed like any other. Only a trash on the same file
// system is used (nothing is copied); false when none can take it, and then nothing has
// changed.
bool moveToTrash(const QString& path, const TrashPlaces& places = TrashPlaces());

}  // namespace platform
