#pragma once

// Disc games come as sets of files: a .cue or .gdi naming its track files, an .m3u naming
// the discs (.cue or .chd) of a game of several. A set is one game: its top file (the .m3u,
// else the .cue or .gdi) is its row, and the files it names have none of their own, so a
// track .bin is never offered as a game of its own (nor, to an emulator that takes .bin
// files, as a cartridge). Files no set names still show as files.
//
// The grouping works on the names of a folder and the bytes of its few set files, so it is
// tested without a folder; discSetsIn reads them from one.

#include "filelist/FolderListing.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// The files a set file names, in its order, as written (a "\" taken for "/", a leading
// "./" dropped). A .cue: its FILE lines, the name quoted or not, before the file type.
// A .gdi: the file of each track line, the name quoted or not. An .m3u: one path per line,
// "#" lines are comments. Blank lines, CR-LF ends and a UTF-8 byte order mark are allowed;
// names that are not UTF-8 come back escaped as the listing escapes them.
QStringList cueFiles(QByteArrayView text);
QStringList gdiFiles(QByteArrayView text);
QStringList m3uFiles(QByteArrayView text);

// Whether the name is a set file's: a .cue, .gdi or .m3u.
bool isSetFileName(const QString& name);

// One file a set file names, and where the name is written in the set file's bytes, so
// that a rename can rewrite it and leave every other byte as it was.
struct SetFileReference {
    qsizetype at = 0;  // the name's first byte; a quote around it is not part of it
    qsizetype length = 0;
    bool quoted = false;
    QString path;  // as cueFiles, gdiFiles and m3uFiles give it
};
// What those give for the set file named `setFileName` (by its extension), with where.
std::vector<SetFileReference> setFileReferences(const QString& setFileName, QByteArrayView text);

struct DiscSet {
    QString top;          // the file that is the set's row, as the folder spells it
    QStringList members;  // every file of the set present in the folder, top excluded
    QStringList missing;  // named by the set but not found, as the set file writes them
};

struct DiscSets {
    std::vector<DiscSet> sets;
    // The folder's files that belong to a set and have no row; folded (platform::foldName).
    QSet<QString> members;
    // The set each top file heads, by its name as the folder spells it.
    QHash<QString, int> setOfTop;

    const DiscSet* setOf(const QString& top) const {
        const auto it = setOfTop.constFind(top);
        return it == setOfTop.constEnd() ? nullptr : &sets[size_t(*it)];
    }
    bool isMember(const QString& name) const;
};

// Set files are small: past this they are not read (and name nothing).
inline constexpr qint64 kSetFileMaxBytes = 256 * 1024;

// The sets of a folder whose files are `names` (every file, whatever the list shows).
// `read` gives a set file's bytes by its name (nothing when it cannot be read); `exists`
// answers for a path into a sub-folder, which `names` cannot.
DiscSets groupDiscSets(const QStringList& names,
                       const std::function<std::optional<QByteArray>(const QString&)>& read,
                       const std::function<bool(const QString&)>& exists);

// The same for a folder on disk ("/" at its end or not): its file names are read once, and
// only its .cue, .gdi and .m3u files (regular files, at most kSetFileMaxBytes) are opened.
DiscSets discSetsIn(const QString& folder);
// The same from the folder's entries already read (`everything`: prelist of all of them), so
// the folder is not read again; `everything` is left as it is.
DiscSets discSetsAmong(const QString& folder, const PrelistedFiles& everything);

// Leaves out of a listing the files that are members of a set.
void dropSetMembers(std::vector<ListedFile>& files, const DiscSets& sets);

// "Missing: a.bin, b.bin" for a set with missing members; empty otherwise.
QString missingMembersText(const DiscSet& set);
// That text for every set that has missing members, by its top file's name.
QHash<QString, QString> incompleteSetsOf(const DiscSets& sets);
