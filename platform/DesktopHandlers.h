#pragma once

// Whether the desktop has a program for a file, as the freedesktop associations say:
// the defaults and added associations of every mimeapps.list, and the types the installed
// applications declare (each applications folder's mimeinfo.cache).

#include <QString>
#include <QStringList>

namespace platform {

struct AssociationFolders {
    QStringList config;    // $XDG_CONFIG_HOME first, then $XDG_CONFIG_DIRS
    QStringList data;      // $XDG_DATA_HOME first, then $XDG_DATA_DIRS
    QStringList desktops;  // $XDG_CURRENT_DESKTOP, lower case, for "<desktop>-mimeapps.list"
    static AssociationFolders current();
};

enum class HandlerAnswer {
    Some,
    None,
    Unknown,  // no applications folder has a mimeinfo.cache: nothing can be said
};

// The answer for files of the types `types` (a type, its aliases and the types it derives
// from: text/plain serves a C source when nothing serves that).
HandlerAnswer desktopHandlerFor(const QStringList& types, const AssociationFolders& where);

// The types a file is taken for by its name: the type, its aliases and its ancestors.
QStringList typesOfFileName(const QString& fileName);

}  // namespace platform
