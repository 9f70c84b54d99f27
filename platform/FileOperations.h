#pragma once

#include "platform/Trash.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QString>

#include <optional>

namespace platform {

// What the launcher asks of the file system beyond listing: facts about one file and the
// two changes it makes (rename, delete). Lookups match names without regard to letter
// case; the changes act only on the entry spelled exactly as given.
class FileOperations {
public:
    virtual ~FileOperations() = default;
    // The path as it is really spelled on disk, or nothing when there is no such entry.
    virtual std::optional<QString> resolve(const QString& path) = 0;
    // Size in bytes of a regular file (64-bit), or nothing.
    virtual std::optional<qint64> fileSize(const QString& path) = 0;
    virtual std::optional<QDateTime> fileDate(const QString& path) = 0;
    // Renames the entry `from` (a link as the link) within or across folders; never
    // replaces an existing entry. A change of letter case only renames in place.
    virtual bool rename(const QString& from, const QString& to) = 0;
    // Moves the entry `path` to the desktop trash. Never deletes: when no trash can take
    // it, nothing changes and the call fails.
    virtual bool remove(const QString& path) = 0;
    // Brings the entry that the last remove(path) sent to the trash back to `path`, never
    // over an entry that has taken the name since. False when there is none to bring back.
    virtual bool restore(const QString& path);
    // Gives the regular file `path` the content `bytes` in one step (replaceFileContent):
    // it has either its old content or the new one, whatever happens.
    virtual bool replaceContent(const QString& path, const QByteArray& bytes);
    // Why the last rename or remove that failed did so, as a sentence for the user;
    // empty when the reason is not known.
    virtual QString lastError() const { return {}; }
};

// Works on raw byte names (platform/FileNames.h), so names that are not valid UTF-8 are
// handled like any other.
class LocalFileOperations final : public FileOperations {
public:
    explicit LocalFileOperations(TrashPlaces trash = TrashPlaces());
    std::optional<QString> resolve(const QString& path) override;
    std::optional<qint64> fileSize(const QString& path) override;
    std::optional<QDateTime> fileDate(const QString& path) override;
    bool rename(const QString& from, const QString& to) override;
    bool remove(const QString& path) override;
    bool restore(const QString& path) override;
    bool replaceContent(const QString& path, const QByteArray& bytes) override;
    QString lastError() const override;

private:
    void setError(const QString& error);

    TrashPlaces m_trash;
    // One per thread, so a search on a thread of its own and the window can share the
    // object and each still learns why its own change failed.
    mutable QMutex m_lock;
    QHash<Qt::HANDLE, QString> m_errors;
    QHash<QString, TrashedEntry> m_trashed;  // by the path each came from
};

// The look-ups of LocalFileOperations, for code that needs a fact about one file and
// changes nothing: the real spelling of a path's last component (letter case ignored),
// the size of a regular file, a file's modification time.
std::optional<QString> realSpelling(const QString& path);
std::optional<qint64> regularFileSize(const QString& path);
std::optional<QDateTime> modificationTime(const QString& path);

// What a path names, asked of the system with the path's own bytes; links are followed.
bool isRegularFile(const QString& path);
bool isExecutableFile(const QString& path);

// Whether the folder holds an entry spelled exactly as the last component of `path` (byte
// for byte, also where the file system matches names without regard to case). A link
// counts as itself, even when its target is gone.
bool hasEntry(const QString& path);
// Whether `a` and `b` name one directory entry. Links are not followed (a link and its
// target are two entries), and two hard links of one file are two entries.
bool sameEntry(const QString& a, const QString& b);

}  // namespace platform
