#include "platform/DurableNote.h"

#include "platform/FileNames.h"
#include "platform/FolderSnapshot.h"

#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

const QLatin1String kNoteEnd(".note");
constexpr qint64 kMaxNote = 1 << 20;  // a note holds a handful of paths
// A note is its content's length (8 bytes, least significant first), the content, and
// zeros up to a whole number of blocks. Written again in place at the same size, it asks
// the disk for the blocks alone, not for the file system's journal as a change of size
// does: a batch writes one note per game.
constexpr qsizetype kBlock = 4096;
constexpr qsizetype kLengthBytes = 8;

QByteArray framed(const QByteArray& content) {
    QByteArray out(kLengthBytes, '\0');
    quint64 length = quint64(content.size());
    for (qsizetype i = 0; i < kLengthBytes; ++i, length >>= 8)
        out[i] = char(length & 0xFF);
    out += content;
    out.append((kBlock - out.size() % kBlock) % kBlock, '\0');
    return out;
}

QByteArray unframed(const QByteArray& note) {
    if (note.size() < kLengthBytes) return {};
    quint64 length = 0;
    for (qsizetype i = kLengthBytes - 1; i >= 0; --i)
        length = (length << 8) | quint8(note.at(i));
    if (length > quint64(note.size() - kLengthBytes)) return {};
    return note.mid(kLengthBytes, qsizetype(length));
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

bool syncFolder(const QString& folder) {
    const int fd = ::open(encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

QByteArray readAll(int fd) {
    QByteArray out;
    char block[4096];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(block, n);
        if (out.size() > kMaxNote) return {};
    }
    return out;
}

}  // namespace

DurableNote::DurableNote(QString folder) : m_folder(std::move(folder)) {}

DurableNote::~DurableNote() {
    if (m_fd < 0) return;
    // Removed while still locked: no other run can take it for an abandoned one.
    ::unlink(encodeName(m_path).constData());
    ::close(m_fd);
}

bool DurableNote::write(const QByteArray& content) {
    if (m_fd < 0) {
        if (!QDir().mkpath(m_folder)) return false;
        // Made under a name no other run looks at, locked, and only then given its
        // name: another run can never find it unlocked while this one lives.
        QByteArray pattern = encodeName(m_folder + QStringLiteral("/.new-XXXXXX"));
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) return false;
        const QString made = decodeName(pattern);
        const QString path =
            m_folder + QLatin1Char('/') + made.mid(made.lastIndexOf('/') + 2) + kNoteEnd;
        if (::flock(fd, LOCK_EX) != 0 ||
            ::rename(pattern.constData(), encodeName(path).constData()) != 0) {
            ::unlink(pattern.constData());
            ::close(fd);
            return false;
        }
        m_fd = fd;
        m_path = path;
        if (!syncFolder(m_folder)) return false;
    }
    const QByteArray note = framed(content);
    // The note only grows: a shorter content is told apart by its length.
    if (note.size() > m_size) {
        if (::ftruncate(m_fd, note.size()) != 0) return false;
        m_size = note.size();
    }
    // Not synced: what the note guards against is a run killed between two renames, and a
    // write that has returned is in the kernel's hands by then, whatever becomes of the
    // process. A flush for each game would make a batch of thousands several times slower
    // for the sake of a power cut, after which the renames themselves may not be on disk
    // either; the next run only ever acts on what it finds there.
    return writeAll(m_fd, note);
}

void DurableNote::clear() {
    if (m_fd < 0) return;
    // When this fails the note stays as it was: the next run finds every change of it
    // made, and has nothing to do.
    writeAll(m_fd, QByteArray(kLengthBytes, '\0'));
}

void takeAbandonedNotes(const QString& folder,
                        const std::function<bool(const QByteArray& content)>& visit) {
    const std::optional<QStringList> names = folderEntries(folder);
    if (!names) return;
    for (const QString& name : *names) {
        if (!name.endsWith(kNoteEnd) || name.startsWith(QLatin1Char('.'))) continue;
        const QByteArray path = encodeName(folder + QLatin1Char('/') + name);
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        // Held by a live run: its changes are under way.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        // Gone or replaced between the listing and the lock: another run took it.
        struct stat opened {
        }, named{};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::lstat(path.constData(), &named) == 0 && opened.st_ino == named.st_ino &&
            opened.st_dev == named.st_dev) {
            if (visit(unframed(readAll(fd)))) ::unlink(path.constData());
        }
        ::close(fd);
    }
}

}  // namespace platform
