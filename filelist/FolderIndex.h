#pragma once

// What a folder's listing found last time, kept on the local disk so that the next start
// shows a games folder on a slow share at once, then reads the folder again behind it.
// It is a cache: it can always be rebuilt, so a damaged or foreign file is ignored.

#include "filelist/FolderListing.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

// One listing as stored: the folder, the masks and the hidden switch it was made with,
// and the files in the listing's order.
struct FolderIndex {
    QString folder;
    QString pattern;
    bool hidden = false;
    int hiddenByList = 0;
    std::vector<ListedFile> files;
};

// Where the listing of `folder` with `pattern` and `hidden` is kept: one file a listing in
// $XDG_CACHE_HOME/Rombard/folders/, named after a hash of the three.
QString folderIndexFile(const QString& folder, const QString& pattern, bool hidden);

// Writes the index whole or not at all (a new file renamed over the old one).
bool saveFolderIndex(const QString& file, const FolderIndex& index);
// The index stored in `file` when it is whole and made for that folder, pattern and hidden
// switch; nothing otherwise.
std::optional<FolderIndex> loadFolderIndex(const QString& file, const QString& folder,
                                           const QString& pattern, bool hidden);

// How a list shown from an index becomes the list read from the folder, without moving the
// rows that stay: the rows to remove (from the last up, so each index holds when it is
// taken), then the entries of the new list to insert, at their own index, in rising order,
// then the rows (by their index in the new list) whose length or date changed. Both lists
// are in the listing's order; a name may come more than once (several masks).
struct ReconcilePlan {
    std::vector<int> removeRows;
    std::vector<int> insertRows;
    std::vector<int> changedRows;
    bool empty() const { return removeRows.empty() && insertRows.empty() && changedRows.empty(); }
};
// The shown list is given by its length and its entries one by one (the list's own rows), so
// it needs no copy beside them.
ReconcilePlan planReconcile(int shownCount, const std::function<ListedFile(int)>& shownAt,
                            const std::vector<ListedFile>& read);
