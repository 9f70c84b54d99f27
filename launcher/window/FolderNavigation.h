#pragma once

// The drive and folder lists' rules: which folders the folder list shows, and where the
// browsing layout puts the file list and the picture. The window only applies what these
// return.

#include "launcher/window/WindowLayout.h"

#include <QList>
#include <QString>
#include <QStringList>

// A folder path as the folder list keeps it: cleaned, no trailing "/" except on "/".
QString folderPathOf(const QString& path);

// Backspace's step up: the path cut after its last "/", which stays ("/games/roms" gives
// "/games/", "/games" gives "/"). A path ending in "/" is returned unchanged.
QString upOneLevel(const QString& path);

// "/games/roms" gives "/", "/games", "/games/roms".
QStringList ancestorsOf(const QString& folder);

// True when `path` names a folder one may enter now (a link to one counts), readable or
// not. Names go to the system as the bytes they came from, so folders whose names are not
// UTF-8 can be entered too.
bool canEnterFolder(const QString& path);
// ... and its entries can be read.
bool canListFolder(const QString& path);

// The folder's sub-folders, sorted by name without regard to letter case. Hidden ones
// (a leading "." or listed in the folder's ".hidden") are left out, and so are links that
// lead nowhere or round in a circle. A folder that cannot be read has none.
QStringList subFolderNames(const QString& folder);

// One row of the folder list: the folder's ancestors down to itself, then its sub-folders.
struct FolderRow {
    QString path;  // full path, in folderPathOf's form
    QString name;  // what the row shows
    int depth = 0;
    bool open = false;  // an ancestor or the folder itself
    bool operator==(const FolderRow&) const = default;
};
struct FolderRows {
    QList<FolderRow> rows;
    int current = -1;  // the row of the folder itself
};
FolderRows rowsOf(const QString& folder);
// The same rows without the sub-folders: what can be shown without asking the disk.
FolderRows ancestorRowsOf(const QString& folder);

// Where the file list, the picture and the title labels go when the folder lists are shown
// (browsing) and when they are hidden again. Rectangles in twips; the picture's and the
// labels' are inside the preview frame.
struct ListsLayout {
    TwipRect files;
    TwipRect imgShot;
    int titleTop = 0;
    int shadowTop = 0;
};
// The file list lies over the top of the preview frame, 0.3 of its height when the
// selected game has a picture to show below it, else 0.6.
ListsLayout layOutBrowsing(const TwipRect& frmShot, const TwipRect& imgShot, bool hasScreenshot);
// The file list takes the folder lists' column again; the picture the whole frame.
ListsLayout layOutListing(const TwipRect& frmShot, const TwipRect& imgShot, int dirListWidth);
