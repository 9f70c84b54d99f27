#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace platform {

// For searches that ask many names of a few folders at once: the caller keeps the names
// and checks only the folder's stamp before trusting them again.

// The folder's modification time in nanoseconds since the epoch; nothing when the path
// is not a folder.
std::optional<qint64> folderStamp(const QString& folder);
// The current time on the same clock as folderStamp.
qint64 stampNow();
// Every entry's name (decoded losslessly, platform/FileNames.h); nothing when the
// folder cannot be read.
std::optional<QStringList> folderEntries(const QString& folder);

// What an entry is, as far as the folder's listing itself says (no look at the entry).
enum class EntryKind {
    File,     // a regular file
    Link,     // a symbolic link: what it points to takes a look (it may point nowhere)
    Unknown,  // the file system does not say: takes a look
    Other,    // a folder, FIFO, socket or device
};
struct FolderEntry {
    QString name;
    EntryKind kind = EntryKind::Unknown;
};
// Every entry with its kind; nothing when the folder cannot be read. `same`, when given, is
// handed each decoded name and gives back the one to keep: a name the caller already holds
// (from the folder's index) is then held once, not twice, for 100,000 games.
std::optional<std::vector<FolderEntry>> folderEntryKinds(
    const QString& folder, const std::function<QString(QString)>& same = {});

}  // namespace platform
