#include "platform/FileOperations.h"

#include "platform/FileContent.h"
#include "platform/FileNames.h"
#include "platform/FolderNameIndex.h"

#include <QThread>

#include <dirent.h>
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
bool lstatBytes(const QByteArray& path, struct stat* st) {
    return ::lstat(path.constData(), st) == 0;
}
QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}
QString nameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}
QByteArray folderBytes(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}
QByteArray nameBytes(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// Whether the listing of the folder of `path` holds its name byte for byte.
bool listedExactly(const QByteArray& path) {
    DIR* dir = ::opendir(folderBytes(path).constData());
    if (!dir) return false;
    const QByteArray name = nameBytes(path);
    bool found = false;
    while (const dirent* e = ::readdir(dir)) {
        if (name == e->d_name) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

QString swapCase(const QString& name) {
    QString out = name;
    for (QChar& c : out)
        c = c.isLower() ? c.toUpper() : c.isUpper() ? c.toLower() : c;
    return out;
}

bool sameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QString quoted(const QString& path) {
    return QLatin1Char('\'') + nameOf(path) + QLatin1Char('\'');
}

// Temporary names for a change of letter case, in the same folder so nothing moves far.
constexpr int kTemporaryTries = 100;

// Renames one entry to another spelling of its own name where the folder cannot tell the
// two apart: through a free temporary name, with no-replace at each step, so the entry is
// never lost and never lands on another one.
bool renameThroughTemporary(const QByteArray& from, const QByteArray& to) {
    const QByteArray folder = folderBytes(from) + '/';
    for (int n = 0; n < kTemporaryTries; ++n) {
        const QByteArray temporary = folder + ".rombard-rename-" + QByteArray::number(::getpid()) +
                                     '-' + QByteArray::number(n);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, temporary.constData(),
                        RENAME_NOREPLACE) != 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, to.constData(),
                        RENAME_NOREPLACE) == 0)
            return true;
        const int why = errno;
        ::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, from.constData(), RENAME_NOREPLACE);
        errno = why;
        return false;
    }
    errno = EEXIST;
    return false;
}
}  // namespace

bool hasEntry(const QString& path) {
    const QByteArray bytes = encodeName(path);
    struct stat st;
    if (bytes.isEmpty() || !lstatBytes(bytes, &st)) return false;
    const QString name = nameOf(path);
    const QString swapped = swapCase(name);
    if (swapped == name) return true;  // no other spelling to mistake it for
    // Where the folder tells the spellings apart (nearly always), the look-up itself was
    // exact. Where the other spelling reaches the same file, only the listing knows.
    struct stat other;
    const QByteArray otherBytes = encodeName(path.left(path.size() - name.size()) + swapped);
    if (!lstatBytes(otherBytes, &other) || !sameInode(st, other)) return true;
    return listedExactly(bytes);
}

bool sameEntry(const QString& a, const QString& b) {
    const QByteArray ab = encodeName(a), bb = encodeName(b);
    struct stat sa, sb;
    if (!lstatBytes(ab, &sa) || !lstatBytes(bb, &sb) || !sameInode(sa, sb)) return false;
    if (ab == bb) return true;
    // A file with one name has one entry, however the path spells it; folders have no
    // hard links.
    if (S_ISDIR(sa.st_mode) || sa.st_nlink == 1) return true;
    // Hard links: two spellings that are both listed are two entries.
    return !(listedExactly(ab) && listedExactly(bb));
}

std::optional<QString> realSpelling(const QString& path) {
    if (hasEntry(path)) return path;
    QString real = FolderNameIndex::shared().resolve(path);
    if (real.isEmpty()) return std::nullopt;
    return real;
}

std::optional<qint64> regularFileSize(const QString& path) {
    // The exact spelling is by far the common case: one look, no listing.
    struct stat st;
    if (!statPath(path, &st)) {
        const QString real = FolderNameIndex::shared().resolve(path);
        if (real.isEmpty() || !statPath(real, &st)) return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<qint64>(st.st_size);
}

std::optional<QDateTime> modificationTime(const QString& path) {
    struct stat st;
    if (!statPath(path, &st)) {
        const QString real = FolderNameIndex::shared().resolve(path);
        if (real.isEmpty() || !statPath(real, &st)) return std::nullopt;
    }
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 +
                                          st.st_mtim.tv_nsec / 1000000);
}

LocalFileOperations::LocalFileOperations(TrashPlaces trash) : m_trash(std::move(trash)) {}

std::optional<QString> LocalFileOperations::resolve(const QString& path) {
    return realSpelling(path);
}

std::optional<qint64> LocalFileOperations::fileSize(const QString& path) {
    return regularFileSize(path);
}

std::optional<QDateTime> LocalFileOperations::fileDate(const QString& path) {
    return modificationTime(path);
}

QString LocalFileOperations::lastError() const {
    const QMutexLocker lock(&m_lock);
    return m_errors.value(QThread::currentThreadId());
}

void LocalFileOperations::setError(const QString& error) {
    const QMutexLocker lock(&m_lock);
    m_errors.insert(QThread::currentThreadId(), error);
}

bool LocalFileOperations::rename(const QString& from, const QString& to) {
    setError({});
    const QString failed = QStringLiteral("Could not rename ") + quoted(from) +
                           QStringLiteral(" to ") + quoted(to) + QStringLiteral(": ");
    if (!hasEntry(from)) {
        setError(failed + fileErrorText(ENOENT) + QLatin1Char('.'));
        return false;
    }
    const QByteArray src = encodeName(from), dst = encodeName(to);
    if (src == dst) return true;
    // Only one entry reached under both spellings (a folder that ignores letter case)
    // goes through a temporary name; everything else is a plain rename that refuses to
    // replace whatever is there, a link or a hard link of the same file included.
    const bool caseOnly = folderOf(from) == folderOf(to) &&
                          foldName(nameOf(from)) == foldName(nameOf(to)) && sameEntry(from, to);
    const bool ok = caseOnly ? renameThroughTemporary(src, dst)
                             : ::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(),
                                           RENAME_NOREPLACE) == 0;
    const int why = errno;
    FolderNameIndex::shared().invalidate(folderOf(from));
    FolderNameIndex::shared().invalidate(folderOf(to));
    if (!ok) setError(failed + fileErrorText(why) + QLatin1Char('.'));
    return ok;
}

bool LocalFileOperations::remove(const QString& path) {
    setError({});
    const QString failed =
        QStringLiteral("Could not move ") + quoted(path) + QStringLiteral(" to the trash: ");
    if (!hasEntry(path)) {
        setError(failed + fileErrorText(ENOENT) + QLatin1Char('.'));
        return false;
    }
    QString why;
    TrashedEntry where;
    const bool ok = moveToTrash(path, m_trash, &why, &where);
    FolderNameIndex::shared().invalidate(folderOf(path));
    if (!ok) {
        setError(failed + why + QLatin1Char('.'));
        return false;
    }
    const QMutexLocker lock(&m_lock);
    m_trashed.insert(path, where);
    return true;
}

bool FileOperations::restore(const QString&) {
    return false;
}

bool FileOperations::replaceContent(const QString& path, const QByteArray& bytes) {
    return replaceFileContent(path, bytes);
}

bool LocalFileOperations::restore(const QString& path) {
    setError({});
    std::optional<TrashedEntry> trashed;
    {
        const QMutexLocker lock(&m_lock);
        if (const auto it = m_trashed.constFind(path); it != m_trashed.constEnd()) trashed = *it;
    }
    QString why = fileErrorText(ENOENT);
    const bool ok = trashed && restoreFromTrash(*trashed, path, &why);
    FolderNameIndex::shared().invalidate(folderOf(path));
    if (!ok) {
        setError(QStringLiteral("Could not bring ") + quoted(path) +
                 QStringLiteral(" back from the trash: ") + why + QLatin1Char('.'));
        return false;
    }
    const QMutexLocker lock(&m_lock);
    m_trashed.remove(path);
    return true;
}

bool LocalFileOperations::replaceContent(const QString& path, const QByteArray& bytes) {
    setError({});
    QString why;
    if (replaceFileContent(path, bytes, &why)) return true;
    setError(QStringLiteral("Could not write ") + quoted(path) + QStringLiteral(": ") + why +
             QLatin1Char('.'));
    return false;
}

bool isRegularFile(const QString& path) {
    struct stat st;
    return statPath(path, &st) && S_ISREG(st.st_mode);
}

bool isExecutableFile(const QString& path) {
    return isRegularFile(path) && ::access(encodeName(path).constData(), X_OK) == 0;
}

}  // namespace platform
