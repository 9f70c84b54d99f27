#include "platform/FileOperations.h"

#include "platform/FileNames.h"
#include "platform/FolderNameIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace platform {

namespace {
bool statPath(const QString& path, struct stat* st) {
    return ::stat(encodeName(path).constData(), st) == 0;
}
QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}
}  // namespace

LocalFileOperations::LocalFileOperations(TrashPlaces trash) : m_trash(std::move(trash)) {}

std::optional<QString> LocalFileOperations::resolve(const QString& path) {
    // The exact spelling is by far the common case: one stat, no listing.
    struct stat st;
    if (statPath(path, &st)) return path;
    QString real = FolderNameIndex::shared().resolve(path);
    if (real.isEmpty()) return std::nullopt;
    return real;
}

std::optional<qint64> LocalFileOperations::fileSize(const QString& path) {
    const auto real = resolve(path);
    if (!real) return std::nullopt;
    struct stat st;
    if (!statPath(*real, &st) || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<qint64>(st.st_size);
}

std::optional<QDateTime> LocalFileOperations::fileDate(const QString& path) {
    const auto real = resolve(path);
    if (!real) return std::nullopt;
    struct stat st;
    if (!statPath(*real, &st)) return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 +
                                          st.st_mtim.tv_nsec / 1000000);
}

bool LocalFileOperations::rename(const QString& from, const QString& to) {
    const auto real = resolve(from);
    if (!real) return false;
    // A rename that only changes letter case targets the file itself; anything else
    // must not overwrite a file that is already there.
    const auto target = resolve(to);
    struct stat a, b;
    const bool sameFile = target && statPath(*real, &a) && statPath(*target, &b) &&
                          a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    if (target && !sameFile) return false;
    const QByteArray src = encodeName(*real), dst = encodeName(to);
    // RENAME_NOREPLACE closes the gap between the check above and the rename.
    const int rc = sameFile ? ::rename(src.constData(), dst.constData())
                            : ::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(),
                                          RENAME_NOREPLACE);
    FolderNameIndex::shared().invalidate(folderOf(*real));
    FolderNameIndex::shared().invalidate(folderOf(to));
    return rc == 0;
}

bool LocalFileOperations::remove(const QString& path) {
    const auto real = resolve(path);
    if (!real) return false;
    // Where no trash on the file's own file system can take it, it is deleted.
    bool ok = moveToTrash(*real, m_trash);
    if (!ok) ok = ::unlink(encodeName(*real).constData()) == 0;
    FolderNameIndex::shared().invalidate(folderOf(*real));
    return ok;
}

bool isRegularFile(const QString& path) {
    struct stat st;
    return statPath(path, &st) && S_ISREG(st.st_mode);
}

bool isExecutableFile(const QString& path) {
    return isRegularFile(path) && ::access(encodeName(path).constData(), X_OK) == 0;
}

}  // namespace platform
