#include "platform/Trash.h"

#include "platform/FileContent.h"
#include "platform/FileNames.h"

#include <QDateTime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

namespace {
constexpr int kMaxNameTries = 1000;
// One name on disk has at most 255 bytes, and the info file adds ".trashinfo" to the
// entry's name.
constexpr qsizetype kMaxEntry = 255 - 10;
constexpr qsizetype kInfoSuffix = 10;
// A shortened name keeps an extension up to this long, so its kind still shows.
constexpr qsizetype kMaxKeptExtension = 16;
// An info file is written before its entry moves in (it reserves the name), so a move cut
// short leaves one without its entry. Another program, or another of our threads, may be
// between the same two steps, or copying a large file in from another disk after writing
// its info, so only info files older than this count as left over.
constexpr time_t kLeftoverAgeSeconds = 10 * 60;
// Folders are held only as places to act in (no read permission needed); one inside a
// trash is opened as itself, never through a link.
constexpr int kPlaceFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
constexpr int kFolderFlags = kPlaceFlags | O_NOFOLLOW;

bool fail(QString* why, const QString& reason) {
    if (why) *why = reason;
    return false;
}

// A descriptor closed with its holder (errno kept, for the caller's message).
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    explicit operator bool() const { return m_fd >= 0; }

private:
    void reset() {
        if (m_fd < 0) return;
        const int saved = errno;
        ::close(m_fd);
        errno = saved;
        m_fd = -1;
    }
    int m_fd = -1;
};

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

// The folders one attempt made, each by the folder holding it, so that a failed attempt
// takes away exactly those again and leaves no trash folder where none was before.
class MadeFolders {
public:
    // The folder `name` in `parent`, made (0700) when missing; never through a link. Invalid
    // (errno set) when it cannot be had.
    Fd openOrMake(int parent, const QByteArray& name) {
        Fd fd(::openat(parent, name.constData(), kFolderFlags));
        if (fd || errno != ENOENT) return fd;
        if (::mkdirat(parent, name.constData(), 0700) != 0) return Fd();
        Fd holder(::fcntl(parent, F_DUPFD_CLOEXEC, 0));
        if (holder) m_made.push_back({std::move(holder), name});
        return Fd(::openat(parent, name.constData(), kFolderFlags));
    }
    // The folder at `path`, with the folders above it made when missing. The home trash
    // lies among the user's own folders, so a link the user made on the way is followed.
    Fd openOrMakePath(const QByteArray& path) {
        Fd fd(::open(path.constData(), kPlaceFlags));
        if (fd || errno != ENOENT || path == "/") return fd;
        const Fd parent = openOrMakePath(parentOf(path));
        if (!parent) return Fd();
        return openOrMake(parent.get(), path.mid(path.lastIndexOf('/') + 1));
    }
    void undo() {
        const int saved = errno;
        for (auto it = m_made.rbegin(); it != m_made.rend(); ++it)
            ::unlinkat(it->parent.get(), it->name.constData(), AT_REMOVEDIR);
        m_made.clear();
        errno = saved;
    }

private:
    struct Made {
        Fd parent;
        QByteArray name;
    };
    std::vector<Made> m_made;
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

// A folder only this user can enter and change: the only kind a trash on a shared disk
// may be, since whoever else could would read or take what lands in it.
bool isOwnPrivateFolder(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 07777) == 0700;
}

// The trash folder of a mounted file system, open: an administrator's shared
// $topdir/.Trash (a real, sticky folder, never a link) with a folder per user, else the
// user's own $topdir/.Trash-$uid. Each is checked as the very folder that was opened, and
// the move goes through that descriptor: the owner of .Trash can rename the folders in it
// at will, but cannot change what we hold. The system's root folder gets no new trash
// folder: a file there that no existing trash can take is not the launcher's to park
// somewhere unexpected. `where` gets the trash's path, for messages.
Fd mountTrashOf(const QByteArray& top, MadeFolders& made, QByteArray* where, QString* why) {
    const QByteArray base = top == "/" ? QByteArray() : top;
    const QByteArray uid = QByteArray::number(::getuid());
    const Fd topFd(::open(top.constData(), kPlaceFlags));
    if (!topFd) {
        fail(why, QStringLiteral("the disk's top folder %1 cannot be read (%2)")
                      .arg(decodeName(top), fileErrorText(errno)));
        return {};
    }
    struct stat st;
    const Fd shared(::openat(topFd.get(), ".Trash", kFolderFlags));
    if (shared && ::fstat(shared.get(), &st) == 0 && (st.st_mode & S_ISVTX)) {
        Fd mine = made.openOrMake(shared.get(), uid);
        if (mine && isOwnPrivateFolder(mine.get())) {
            *where = base + "/.Trash/" + uid;
            return mine;
        }
    }
    const QByteArray ownName = ".Trash-" + uid;
    const QByteArray own = base + '/' + ownName;
    Fd fd = top == "/" ? Fd(::openat(topFd.get(), ownName.constData(), kFolderFlags))
                       : made.openOrMake(topFd.get(), ownName);
    if (!fd && errno == ENOENT) {
        fail(why, QStringLiteral("there is no trash on the disk that holds it"));
        return {};
    }
    if (!fd && errno != ENOTDIR && errno != ELOOP) {
        fail(why, QStringLiteral("the trash folder %1 cannot be made (%2)")
                      .arg(decodeName(own), fileErrorText(errno)));
        return {};
    }
    if (!fd || !isOwnPrivateFolder(fd.get())) {
        fail(why, QStringLiteral("%1 is not a trash folder of yours").arg(decodeName(own)));
        return {};
    }
    *where = own;
    return fd;
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

// The time of the info folder when it was last seen holding no leftovers, by folder:
// until something else changes it, there is nothing to look for again.
struct ClearedInfoFolders {
    std::mutex lock;
    std::map<std::pair<dev_t, ino_t>, timespec> when;
};

ClearedInfoFolders& clearedInfoFolders() {
    // Never destroyed, as a command's thread held up by a share may reach it during exit.
    static auto* folders = new ClearedInfoFolders;
    return *folders;
}

void noteCleared(int info) {
    struct stat st;
    if (::fstat(info, &st) != 0) return;
    ClearedInfoFolders& cleared = clearedInfoFolders();
    const std::lock_guard guard(cleared.lock);
    cleared.when[{st.st_dev, st.st_ino}] = st.st_mtim;
}

// Removes the info files whose entry is not in files/ (what they describe is gone, so
// they only mislead a restore), once they are old enough to be left over. Only regular
// files in info/ named "*.trashinfo" are removed, by the descriptor of info/; nothing in
// files/ is ever touched. True when no leftover is left.
bool clearLeftoverInfo(int files, int info) {
    struct stat folder;
    if (::fstat(info, &folder) != 0) return false;
    {
        ClearedInfoFolders& cleared = clearedInfoFolders();
        const std::lock_guard guard(cleared.lock);
        const auto it = cleared.when.find({folder.st_dev, folder.st_ino});
        if (it != cleared.when.end() && it->second.tv_sec == folder.st_mtim.tv_sec &&
            it->second.tv_nsec == folder.st_mtim.tv_nsec)
            return true;
    }
    Fd listing(::openat(info, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* dir = listing ? ::fdopendir(listing.get()) : nullptr;
    if (!dir) return false;
    listing.release();
    const time_t now = ::time(nullptr);
    bool cleared = true;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name.size() <= kInfoSuffix || !name.endsWith(".trashinfo")) continue;
        struct stat st;
        if (::fstatat(info, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        const QByteArray entry = name.chopped(kInfoSuffix);
        struct stat there;
        if (::fstatat(files, entry.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 ||
            errno != ENOENT)
            continue;
        if (now - st.st_mtime < kLeftoverAgeSeconds) {
            cleared = false;
            continue;
        }
        ::unlinkat(info, e->d_name, 0);
    }
    ::closedir(dir);
    return cleared;
}

// Moves the entry `name` of the folder `from` into the open trash folder `trash` (on the
// same device; `trashPath` names it in messages). `storedPath` is what the info file
// records: absolute for the home trash, relative to the top folder for a mount's trash.
bool moveInto(int trash, const QByteArray& trashPath, int from, const QByteArray& name,
              const QByteArray& storedPath, MadeFolders& made, QString* why, TrashedEntry* where) {
    const Fd files = made.openOrMake(trash, "files");
    const Fd info = files ? made.openOrMake(trash, "info") : Fd();
    if (!files || !info) {
        const int error = errno;
        if (error == ENOSPC || error == EDQUOT) return fail(why, fileErrorText(error));
        return fail(why, QStringLiteral("the trash folder %1 cannot be used (%2)")
                             .arg(decodeName(trashPath), fileErrorText(error)));
    }
    const bool cleared = clearLeftoverInfo(files.get(), info.get());
    const QByteArray text = infoText(storedPath);
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QByteArray entry = entryName(name, n);
        // The info file is made first and exclusively: it reserves the name in the trash.
        const QByteArray infoName = entry + ".trashinfo";
        const int fd = ::openat(info.get(), infoName.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail(why, fileErrorText(errno));
        }
        const bool written = writeAll(fd, text);
        int error = errno;
        const bool closed = ::close(fd) == 0;
        if (written && !closed) error = errno;
        if (!written || !closed) {
            ::unlinkat(info.get(), infoName.constData(), 0);
            return fail(why, fileErrorText(error));
        }
        if (::renameat2(from, name.constData(), files.get(), entry.constData(), RENAME_NOREPLACE) ==
            0) {
            if (cleared) noteCleared(info.get());
            if (where)
                *where = {decodeName(trashPath + "/files/" + entry),
                          decodeName(trashPath + "/info/" + infoName)};
            return true;
        }
        error = errno;
        // The move did not happen: its info would describe nothing.
        ::unlinkat(info.get(), infoName.constData(), 0);
        // A leftover entry without its info: the next name.
        if (error != EEXIST) return fail(why, fileErrorText(error));
    }
    return fail(why, QStringLiteral("the trash holds too many files of that name"));
}

bool inside(const QByteArray& path, const QByteArray& folder) {
    return path == folder || path.startsWith(folder + '/');
}

// Moves the entry at `raw` (an absolute path whose folder is open as `from`) into the trash
// of the disk whose top folder is `top`.
bool moveIntoDiskTrash(const QByteArray& raw, int from, const QByteArray& top, QString* why,
                       TrashedEntry* trashed = nullptr) {
    const QByteArray base = top == "/" ? QByteArray() : top;
    if (inside(raw, base + "/.Trash") ||
        inside(raw, base + "/.Trash-" + QByteArray::number(::getuid())))
        return fail(why, QStringLiteral("it is in the trash already"));
    MadeFolders made;
    QByteArray where;
    const Fd trash = mountTrashOf(top, made, &where, why);
    const QByteArray name = raw.mid(raw.lastIndexOf('/') + 1);
    if (trash &&
        moveInto(trash.get(), where, from, name, raw.mid(base.size() + 1), made, why, trashed))
        return true;
    made.undo();
    return false;
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

bool moveToTrash(const QString& path, const TrashPlaces& places, QString* why,
                 TrashedEntry* where) {
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

    // The entry is moved by its folder's descriptor, like everything else here.
    const Fd from(::open(parentOf(raw).constData(), kPlaceFlags));
    if (!from) return fail(why, fileErrorText(errno));
    const QByteArray name = raw.mid(raw.lastIndexOf('/') + 1);

    MadeFolders made;
    const QByteArray home = encodeName(places.home);
    if (home.startsWith('/') && deviceOf(home) == st.st_dev) {
        // The home trash serves its whole file system; no other trash is made there.
        if (inside(raw, home)) return fail(why, QStringLiteral("it is in the trash already"));
        const Fd trash = made.openOrMakePath(home);
        if (!trash) {
            const int error = errno;
            made.undo();
            if (error == ENOSPC || error == EDQUOT) return fail(why, fileErrorText(error));
            return fail(why, QStringLiteral("the trash folder %1 cannot be used (%2)")
                                 .arg(decodeName(home), fileErrorText(error)));
        }
        if (moveInto(trash.get(), home, from.get(), name, raw, made, why, where)) return true;
        made.undo();
        return false;
    }
    if (!places.mountTrash)
        return fail(why, QStringLiteral("there is no trash on the disk that holds it"));
    return moveIntoDiskTrash(raw, from.get(), mountTopOf(raw, st.st_dev), why, where);
}

bool moveToDiskTrash(const QString& path, const QString& top, QString* why) {
    const QByteArray raw = encodeName(path);
    const Fd from(::open(parentOf(raw).constData(), kPlaceFlags));
    if (!from) return fail(why, fileErrorText(errno));
    return moveIntoDiskTrash(raw, from.get(), encodeName(top), why);
}

bool restoreFromTrash(const TrashedEntry& trashed, const QString& path, QString* why) {
    if (::renameat2(AT_FDCWD, encodeName(trashed.entry).constData(), AT_FDCWD,
                    encodeName(path).constData(), RENAME_NOREPLACE) != 0)
        return fail(why, fileErrorText(errno));
    ::unlink(encodeName(trashed.info).constData());
    return true;
}

}  // namespace platform
