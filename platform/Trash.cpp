#include "platform/Trash.h"

#include "platform/FileNames.h"

#include <QDateTime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <optional>

namespace platform {

namespace {
constexpr int kMaxNameTries = 1000;

QByteArray parentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// The device of the nearest folder of `path` that exists.
std::optional<dev_t> deviceOf(QByteArray path) {
    struct stat st;
    while (!path.isEmpty()) {
        if (::stat(path.constData(), &st) == 0) return st.st_dev;
        if (path == "/") break;
        path = parentOf(path);
    }
    return std::nullopt;
}

bool makeFolders(const QByteArray& path) {
    struct stat st;
    if (::lstat(path.constData(), &st) == 0) return S_ISDIR(st.st_mode);
    if (path != "/" && !makeFolders(parentOf(path))) return false;
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

// The top folder of the mounted file system holding `path` (whose device is `dev`).
QByteArray mountTopOf(QByteArray path, dev_t dev) {
    struct stat st;
    while (path != "/") {
        const QByteArray up = parentOf(path);
        if (::stat(up.constData(), &st) != 0 || st.st_dev != dev) break;
        path = up;
    }
    return path;
}

// The trash folder of a mounted file system: an administrator's shared $topdir/.Trash
// (a real, sticky folder) with a folder per user, else the user's own $topdir/.Trash-$uid.
QByteArray mountTrashOf(const QByteArray& top) {
    const QByteArray base = top == "/" ? QByteArray() : top;
    const QByteArray uid = QByteArray::number(::getuid());
    struct stat st;
    const QByteArray shared = base + "/.Trash";
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const QByteArray mine = shared + '/' + uid;
        if (makeFolders(mine)) return mine;
    }
    const QByteArray own = base + "/.Trash-" + uid;
    if (::lstat(own.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode) && st.st_uid == ::getuid()) return own;
        return {};
    }
    return ::mkdir(own.constData(), 0700) == 0 ? own : QByteArray();
}

QByteArray infoText(const QByteArray& storedPath) {
    // Percent-encoded as a URL path; the file's own bytes, whatever they are.
    return "[Trash Info]\nPath=" + storedPath.toPercentEncoding("/") + "\nDeletionDate=" +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toUtf8() +
           '\n';
}

bool writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// Moves `path` into `trash` (on the same device). `storedPath` is what the info file
// records: absolute for the home trash, relative to the top folder for a mount's trash.
bool moveInto(const QByteArray& trash, const QByteArray& path, const QByteArray& storedPath) {
    const QByteArray files = trash + "/files", info = trash + "/info";
    if (!makeFolders(files) || !makeFolders(info)) return false;
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const QByteArray text = infoText(storedPath);
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QByteArray entry = n == 1 ? name : name + '.' + QByteArray::number(n);
        // The info file is made first and exclusively: it reserves the name in the trash.
        const QByteArray infoFile = info + '/' + entry + ".trashinfo";
        const int fd = ::open(infoFile.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        const bool written = writeAll(fd, text);
        const bool closed = ::close(fd) == 0;
        if (!written || !closed) {
            ::unlink(infoFile.constData());
            return false;
        }
        const QByteArray target = files + '/' + entry;
        if (::renameat2(AT_FDCWD, path.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return true;
        const int why = errno;
        ::unlink(infoFile.constData());
        if (why != EEXIST) return false;  // a leftover entry without its info: next name
    }
    return false;
}
}  // namespace

QString TrashPlaces::homeTrashFolder() {
    QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.isEmpty() || !data.startsWith('/')) {
        const QByteArray home = qgetenv("HOME");
        if (home.isEmpty()) return {};
        data = home + "/.local/share";
    }
    return decodeName(data + "/Trash");
}

bool moveToTrash(const QString& path, const TrashPlaces& places) {
    QByteArray raw = encodeName(path);
    if (raw.isEmpty()) return false;
    if (!raw.startsWith('/')) {
        char cwd[4096];
        if (!::getcwd(cwd, sizeof cwd)) return false;
        raw = QByteArray(cwd) + '/' + raw;
    }
    while (raw.size() > 1 && raw.endsWith('/'))
        raw.chop(1);
    struct stat st;
    if (raw == "/" || ::lstat(raw.constData(), &st) != 0) return false;

    const QByteArray home = encodeName(places.home);
    if (!home.isEmpty() && home.startsWith('/') && deviceOf(home) == st.st_dev &&
        !raw.startsWith(home + '/') && moveInto(home, raw, raw))
        return true;
    if (!places.mountTrash) return false;
    const QByteArray top = mountTopOf(raw, st.st_dev);
    const QByteArray trash = mountTrashOf(top);
    if (trash.isEmpty() || raw.startsWith(trash + '/')) return false;
    const QByteArray relative = top == "/" ? raw.mid(1) : raw.mid(top.size() + 1);
    return moveInto(trash, raw, relative);
}

}  // namespace platform
