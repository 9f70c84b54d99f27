#pragma once

// Which files of a folder a file list shows: wildcard masks matched without regard to
// letter case, and the hidden-file convention of the desktop's file managers.

#include "platform/FolderSnapshot.h"
#include "platform/Wildcard.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// A file as the listing found it. `readable` is false when its length and date could not
// be read (it vanished meanwhile, or a link points nowhere); `looked` is false when they
// were not asked for (FolderListingOptions::details) and are still to be read.
struct ListedFile {
    QString name;
    qint64 size = 0;
    qint64 modified = 0;  // seconds since the epoch
    bool readable = false;
    bool looked = true;
};

// The end of a name as masks like "*.zip" look at it, kept beside a folder read ahead so
// that matching does not go back to every name.
struct NameTail {
    static constexpr int kUnits = 8;
    char16_t units[kUnits] = {};  // the name's last `count` units lowered, at the end
    quint8 count = 0;
    bool plain = false;  // ASCII only: folding is lowering, so the tail is the folded name's
    bool dot = false;    // the name begins with "."
};
NameTail tailOf(QStringView name);
// Whether a file mask takes the name from its tail alone; nothing when the tail cannot tell.
std::optional<bool> matchesByTail(const platform::Wildcard& mask, const NameTail& tail);

// A folder's files read ahead (FolderPrefetch): every entry but folders, in name order,
// looked at as a listing without details looks (links and untyped entries only).
struct PrelistedFiles {
    std::vector<ListedFile> files;
    std::vector<NameTail> tails;  // one per file
};
// From the folder's entries, taken in `order`.
PrelistedFiles prelist(const QString& folder, const std::vector<platform::FolderEntry>& entries,
                       const std::vector<uint32_t>& order);

struct FolderListingOptions {
    bool hidden = false;  // list names beginning with "." and names in ".hidden" too
    // Read every file's length and date. Without it only entries whose type the folder does
    // not tell (links, some file systems) are looked at, to leave folders out: a list of
    // 30,000 games reads the lengths of the few rows it shows, not of all.
    bool details = true;
    // Without details: the folder's files read ahead, taken (their names moved out) instead
    // of reading the folder.
    PrelistedFiles* prelisted = nullptr;
    // When given: set to the number of files the masks take that ".hidden" leaves out, so
    // the user can be told that the list is not the whole folder.
    int* hiddenByList = nullptr;
};

// Name order without regard to letter case, unit by unit through the upper case (so "_"
// and accented letters come after "Z"); names equal but for case by their exact units.
// Negative, zero or positive like QString::compare.
int compareNamesIgnoringCase(QStringView a, QStringView b);

// The indexes of `entries` in compareNamesIgnoringCase's order of their names.
std::vector<uint32_t> nameOrderOf(const std::vector<platform::FolderEntry>& entries);

// The files (not folders) in `folder` matching `masks`: mask by mask in the given order
// and, within one mask, in name order (compareNamesIgnoringCase). A name matching two masks
// comes twice. Names that are not valid UTF-8 come back escaped (platform::decodeName).
// A folder that cannot be read gives nothing.
std::vector<ListedFile> listFolder(const QString& folder, const QStringList& masks,
                                   const FolderListingOptions& options = {});

// The names listed in the folder's ".hidden" file, one a line. Read only when it is a
// regular file (or a link to one), and only its first kHiddenListMaxBytes: the names past
// that count as not listed.
QStringList readHiddenList(const QString& folder);
inline constexpr qint64 kHiddenListMaxBytes = 4 * 1024 * 1024;
