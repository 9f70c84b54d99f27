#pragma once

#include "platform/Trash.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace platform {

// What the launcher asks of the file system beyond listing: facts about one file and the
// two changes it makes (rename, delete). Names match without regard to letter case.
class FileOperations {
public:
    virtual ~FileOperations() = default;
    // The path as it is really spelled on disk, or nothing when there is no such entry.
    virtual std::optional<QString> resolve(const QString& path) = 0;
    // Size in bytes of a regular file (64-bit), or nothing.
    virtual std::optional<qint64> fileSize(const QString& path) = 0;
    virtual std::optional<QDateTime> fileDate(const QString& path) = 0;
    // Renames within or across folders; never replaces an existing file.
    virtual bool rename(const QString& from, const QString& to) = 0;
    // Moves to the desktop trash where there is one, else deletes.
    virtual bool remove(const QString& path) = 0;
    // Why the last rename or remove that failed did so, in words for the user; empty
    // when the reason is not known.
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

private:
    TrashPlaces m_trash;
};

// What a path names, asked of the system with the path's own bytes; links are followed.
bool isRegularFile(const QString& path);
bool isExecutableFile(const QString& path);

}  // namespace platform
