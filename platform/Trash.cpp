#include "platform/Trash.h"

#include "platform/FileNames.h"

#include <QDateTime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace platform {

namespace {
constexpr int kMaxNameTries = 1000;
// One name on disk has at most 255 bytes, and the info file adds ".trashinfo" to the
// entry's name.
constexpr qsizetype kMaxEntry = 255 - 10;
// A shortened name keeps an extension up to this long, so its kind still shows.
constexpr qsizetype kMaxKeptExtension = 16;

bool fail(QString* why, const QString& reason) {
    if (why) *why = reason;
    return false;
}

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

// The folders one attempt made, so that a failed attempt can take them away again and
// leave no trash folder where none was before.
class MadeFolders {
public:
    // Makes `path` and the folders above it that are missing; false (with errno set)
    // when something that is not a folder is in the way or a folder cannot be made.
    bool make(const QByteArray& path) {
        struct stat st;
        if (::lstat(path.constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) return true;
            errno = ENOTDIR;
            return false;
        }
        if (path != "/" && !make(parentOf(path))) return false;
        if (::mkdir(path.constData(), 0700) == 0) {
            m_made.append(path);
            return true;
        }
        return false;
    }
    bool makeOne(const QByteArray& path) {
        if (::mkdir(path.constData(), 0700) != 0) return false;
        m_made.append(path);
        return true;
    }
    void undo() {
        const int saved = errno;
        for (auto it = m_made.crbegin(); it != m_made.crend(); ++it)
            ::rmdir(it->constData());
        m_made.clear();
        errno = saved;
    }

private:
    QList<QByteArray> m_made;
};

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

bool isOwnFolder(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// The trash folder of a mounted file system: an administrator's shared $topdir/.Trash
// (a real, sticky folder, never a link) with a folder per user, else the user's own
// $topdir/.Trash-$uid. The system's root folder gets no new trash folder: a file there
// that no existing trash can take is not the launcher's to park somewhere unexpected.
QByteArray mountTrashOf(const QByteArray& top, MadeFolders& made, QString* why) {
    const QByteArray base = top == "/" ? QByteArray() : top;
    const QByteArray uid = QByteArray::number(::getuid());
    struct stat st;
    const QByteArray shared = base + "/.Trash";
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const QByteArray mine = shared + '/' + uid;
        if (isOwnFolder(mine) || made.makeOne(mine)) return mine;
    }
    const QByteArray own = base + "/.Trash-" + uid;
    if (::lstat(own.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode) && st.st_uid == ::getuid()) return own;
        fail(why, QStringLiteral("%1 is not a trash folder of yours").arg(decodeName(own)));
        return {};
    }
    if (top == "/") {
        fail(why, QStringLiteral("there is no trash on the disk that holds it"));
        return {};
    }
    if (made.makeOne(own)) return own;
    fail(why, QStringLiteral("the trash folder %1 cannot be made (%2)")
                  .arg(decodeName(own), fileErrorText(errno)));
    return {};
}

// The name under files/ (and, with ".trashinfo", under info/) for the n-th try: the
// file's own name, then "name.2" and so on. A name too long for its info file keeps its
// beginning and extension with "~n" between them; the full name is in the info file.
QByteArray entryName(const QByteArray& name, int n) {
    const QByteArray number = n == 1 ? QByteArray() : '.' + QByteArray::number(n);
    if (name.size() + number.size() <= kMaxEntry) return name + number;
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray extension =
        dot > 0 && name.size() - dot <= kMaxKeptExtension ? name.mid(dot) : QByteArray();
    const QByteArray mark = '~' + QByteArray::number(n);
    qsizetype keep = kMaxEntry - extension.size() - mark.size();
    // Not in the middle of a UTF-8 sequence, so the shortened name still reads.
    while (keep > 0 && (uchar(name.at(keep)) & 0xC0) == 0x80)
        --keep;
    return name.left(keep) + mark + extension;
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
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// Moves `path` into `trash` (on the same device). `storedPath` is what the info file
// records: absolute for the home trash, relative to the top folder for a mount's trash.
bool moveInto(const QByteArray& trash, const QByteArray& path, const QByteArray& storedPath,
              MadeFolders& made, QString* why) {
    const QByteArray files = trash + "/files", info = trash + "/info";
    if (!made.make(files) || !made.make(info)) {
        const int error = errno;
        if (error == ENOSPC || error == EDQUOT) return fail(why, fileErrorText(error));
        return fail(why, QStringLiteral("the trash folder %1 cannot be used (%2)")
                             .arg(decodeName(trash), fileErrorText(error)));
    }
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const QByteArray text = infoText(storedPath);
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QByteArray entry = entryName(name, n);
        // The info file is made first and exclusively: it reserves the name in the trash.
        const QByteArray infoFile = info + '/' + entry + ".trashinfo";
        const int fd = ::open(infoFile.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail(why, fileErrorText(errno));
        }
        const bool written = writeAll(fd, text);
        int error = errno;
        const bool closed = ::close(fd) == 0;
        if (written && !closed) error = errno;
        if (!written || !closed) {
            ::unlink(infoFile.constData());
            return fail(why, fileErrorText(error));
        }
        const QByteArray target = files + '/' + entry;
        if (::renameat2(AT_FDCWD, path.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return true;
        error = errno;
        ::unlink(infoFile.constData());
        // A leftover entry without its info: the next name.
        if (error != EEXIST) return fail(why, fileErrorText(error));
    }
    return fail(why, QStringLiteral("the trash holds too many files of that name"));
}

bool inside(const QByteArray& path, const QByteArray& folder) {
    return path == folder || path.startsWith(folder + '/');
}
}  // namespace

QString fileErrorText(int error) {
    switch (error) {
        case ENOENT:
            return QStringLiteral("it is no longer there");
        case EEXIST:
        case ENOTEMPTY:
            return QStringLiteral("that name is already taken");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("the disk is full");
        case EACCES:
        case EPERM:
            return QStringLiteral("permission denied");
        case EROFS:
            return QStringLiteral("the disk is read-only");
        case EXDEV:
            return QStringLiteral("it is on another disk");
        case ENAMETOOLONG:
            return QStringLiteral("the name is too long");
        default: {
            QString text = QString::fromLocal8Bit(std::strerror(error));
            if (!text.isEmpty()) text[0] = text[0].toLower();
            return text;
        }
    }
}

QString TrashPlaces::homeTrashFolder() {
    QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.isEmpty() || !data.startsWith('/')) {
        const QByteArray home = qgetenv("HOME");
        if (home.isEmpty()) return {};
        data = home + "/.local/share";
    }
    return decodeName(data + "/Trash");
}

bool moveToTrash(const QString& path, const TrashPlaces& places, QString* why) {
    QByteArray raw = encodeName(path);
    if (raw.isEmpty()) return fail(why, fileErrorText(ENOENT));
    if (!raw.startsWith('/')) {
        char cwd[4096];
        if (!::getcwd(cwd, sizeof cwd)) return fail(why, fileErrorText(errno));
        raw = QByteArray(cwd) + '/' + raw;
    }
    while (raw.size() > 1 && raw.endsWith('/'))
        raw.chop(1);
    if (raw == "/") return fail(why, QStringLiteral("the root folder cannot be trashed"));
    struct stat st;
    if (::lstat(raw.constData(), &st) != 0) return fail(why, fileErrorText(errno));
    // The folder's own links resolved (the entry's never): the trash is chosen by where the
    // entry really lives, and that is where a restore puts it back.
    if (char* real = ::realpath(parentOf(raw).constData(), nullptr)) {
        const QByteArray folder(real);
        std::free(real);
        raw = (folder == "/" ? QByteArray() : folder) + raw.mid(raw.lastIndexOf('/'));
    }

    MadeFolders made;
    const QByteArray home = encodeName(places.home);
    if (home.startsWith('/') && deviceOf(home) == st.st_dev) {
        // The home trash serves its whole file system; no other trash is made there.
        if (inside(raw, home)) return fail(why, QStringLiteral("it is in the trash already"));
        if (moveInto(home, raw, raw, made, why)) return true;
        made.undo();
        return false;
    }
    if (!places.mountTrash)
        return fail(why, QStringLiteral("there is no trash on the disk that holds it"));
    const QByteArray top = mountTopOf(raw, st.st_dev);
    const QByteArray base = top == "/" ? QByteArray() : top;
    if (inside(raw, base + "/.Trash") ||
        inside(raw, base + "/.Trash-" + QByteArray::number(::getuid())))
        return fail(why, QStringLiteral("it is in the trash already"));
    const QByteArray trash = mountTrashOf(top, made, why);
    if (!trash.isEmpty()) {
        const QByteArray relative = raw.mid(base.size() + 1);
        if (moveInto(trash, raw, relative, made, why)) return true;
    }
    made.undo();
    return false;
}

}  // namespace platform
