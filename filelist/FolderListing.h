#pragma once

// Which files of a folder a file list shows: wildcard masks matched without regard to
// letter case, and the hidden-file convention of the desktop's file managers.

#include <QString>
#include <QStringList>

#include <vector>

// One wildcard mask: "*" any run of characters, "?" any one character. "*.*" matches
// every name, a name without a dot included, as users type it to mean "all files".
class WildcardMask {
public:
    explicit WildcardMask(const QString& mask);
    // `foldedName` is the name passed through platform::foldName.
    bool matches(QStringView foldedName) const;

private:
    enum class Kind { Everything, Suffix, General };
    Kind m_kind = Kind::General;
    QString m_folded;  // the folded mask; for Suffix, the literal after the leading "*"
};

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

struct FolderListingOptions {
    bool hidden = false;  // list names beginning with "." and names in ".hidden" too
    // Read every file's length and date. Without it only entries whose type the folder does
    // not tell (links, some file systems) are looked at, to leave folders out: a list of
    // 30,000 games reads the lengths of the few rows it shows, not of all.
    bool details = true;
};

// Name order without regard to letter case, unit by unit through the upper case (so "_"
// and accented letters come after "Z"); names equal but for case by their exact units.
// Negative, zero or positive like QString::compare.
int CompareNamesIgnoringCase(QStringView a, QStringView b);

// The files (not folders) in `folder` matching `masks`: mask by mask in the given order
// and, within one mask, in name order (CompareNamesIgnoringCase). A name matching two masks
// comes twice. Names that are not valid UTF-8 come back escaped (platform::decodeName).
// A folder that cannot be read gives nothing.
std::vector<ListedFile> ListFolder(const QString& folder, const QStringList& masks,
                                   const FolderListingOptions& options = {});

// The names listed in the folder's ".hidden" file, one a line. Read only when it is a
// regular file (or a link to one), and only its first kHiddenListMaxBytes: the names past
// that count as not listed.
QStringList ReadHiddenList(const QString& folder);
inline constexpr qint64 kHiddenListMaxBytes = 4 * 1024 * 1024;
