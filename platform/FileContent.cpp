#include "platform/FileContent.h"

#include "platform/FileNames.h"
#include "platform/FolderNameIndex.h"
#include "platform/Trash.h"

#include <QRandomGenerator>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <utility>

namespace platform {

namespace {

bool fail(QString* why, int error) {
    if (why) *why = fileErrorText(error);
    return false;
}

// A few tries are enough: a name of random letters is taken only by a leftover of ours.
constexpr int kTemporaryNameTries = 16;

}  // namespace

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;  // a write that takes nothing is a full disk to the caller
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

namespace {

enum class Landing { Replace, NoReplace };

// Writes `bytes` to a new file in the open folder `dir`, syncs it, and renames it to `name`.
bool writeThenRename(int dir, const QByteArray& name, const QByteArray& bytes, mode_t mode,
                     Landing landing, QString* why) {
    // Hidden and short, so that a file list never offers it and the name always fits.
    QByteArray temporary;
    int fd = -1;
    for (int n = 0; n < kTemporaryNameTries && fd < 0; ++n) {
        temporary =
            ".rombard-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".new";
        fd = ::openat(dir, temporary.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return fail(why, errno);
    // A replaced file keeps its permissions whatever the umask says; a new one is as the
    // umask makes it.
    bool ok = (landing == Landing::NoReplace || ::fchmod(fd, mode) == 0) && writeAll(fd, bytes) &&
              ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok) {
        const int renamed =
            landing == Landing::Replace
                ? ::renameat(dir, temporary.constData(), dir, name.constData())
                : ::renameat2(dir, temporary.constData(), dir, name.constData(), RENAME_NOREPLACE);
        if (renamed != 0) {
            ok = false;
            error = errno;
        }
    }
    if (!ok) {
        // Only the new file is ours to take away; the old one is untouched.
        ::unlinkat(dir, temporary.constData(), 0);
        return fail(why, error);
    }
    ::fsync(dir);
    return true;
}

// The folder of `path` and its last component, as bytes.
std::pair<QByteArray, QByteArray> split(const QString& path) {
    const QByteArray raw = encodeName(path);
    const qsizetype slash = raw.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArrayLiteral(".")
                              : slash == 0 ? QByteArrayLiteral("/")
                                           : raw.left(slash);
    return {folder, raw.mid(slash + 1)};
}

}  // namespace

bool replaceFileContent(const QString& path, const QByteArray& bytes, QString* why) {
    const auto [folder, name] = split(path);
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return fail(why, errno);
    struct stat st;
    bool ok = false;
    if (::fstatat(dir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        fail(why, errno);
    else if (!S_ISREG(st.st_mode) && why)
        *why = QStringLiteral("it is not a plain file");
    else if (S_ISREG(st.st_mode))
        ok = writeThenRename(dir, name, bytes, st.st_mode & 07777, Landing::Replace, why);
    ::close(dir);
    FolderNameIndex::shared().invalidate(decodeName(folder));
    return ok;
}

bool createFileWithContent(const QString& path, const QByteArray& bytes, QString* why) {
    const auto [folder, name] = split(path);
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return fail(why, errno);
    const bool ok = writeThenRename(dir, name, bytes, 0666, Landing::NoReplace, why);
    ::close(dir);
    FolderNameIndex::shared().invalidate(decodeName(folder));
    return ok;
}

}  // namespace platform
