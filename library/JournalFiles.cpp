#include "library/JournalFiles.h"

#include "platform/FileContent.h"
#include "platform/FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace library::journal {

namespace {

constexpr qint64 kIdFileCap = 4096;

bool isId(const QByteArray& text) {
    if (text.size() != 32) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// A new file under a hidden name beside `target`, holding `content`, synced; its name, or
// empty.
QByteArray writeTemporary(const QByteArray& folder, const QByteArray& content, mode_t mode) {
    QByteArray pattern = folder + "/.new-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return {};
    const bool ok = ::fchmod(fd, mode) == 0 && platform::writeAll(fd, content) && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok) {
        ::unlink(pattern.constData());
        return {};
    }
    return pattern;
}

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

QByteArray newRandomId() {
    QByteArray raw(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(raw.data()), 4);
    return raw.toHex();
}

InstallationId loadInstallationId(const QString& folder) {
    InstallationId out;
    const QString file = folder + QStringLiteral("/installation-id");
    bool cut = false;
    const std::optional<QByteArray> stored = platform::readRegularFile(file, kIdFileCap, &cut);
    if (stored && !cut && isId(stored->trimmed())) {
        out.id = stored->trimmed();
        return out;
    }
    const bool damaged = platform::regularFile(file).has_value() || QFileInfo::exists(file);
    QDir().mkpath(folder);
    const QByteArray id = newRandomId();
    const QByteArray made = writeTemporary(platform::encodeName(folder), id + '\n', 0600);
    const QByteArray target = platform::encodeName(file);
    bool placed = false;
    if (!made.isEmpty()) {
        // A first start links, so of two launchers starting at once the second takes the
        // first one's id; a damaged file is replaced.
        placed = damaged ? ::rename(made.constData(), target.constData()) == 0
                         : ::link(made.constData(), target.constData()) == 0;
        ::unlink(made.constData());
    }
    if (!placed && !damaged) {
        const std::optional<QByteArray> other = platform::readRegularFile(file, kIdFileCap);
        if (other && isId(other->trimmed())) {
            out.id = other->trimmed();
            return out;
        }
    }
    if (!placed) {
        out.notice =
            QStringLiteral(
                "This computer's id for shared play history cannot be stored in %1; the history "
                "stays on this computer.")
                .arg(folder);
        return out;
    }
    out.id = id;
    if (damaged)
        out.notice = QStringLiteral(
                         "This computer's id for shared play history was damaged (%1); a new "
                         "one was made.")
                         .arg(file);
    return out;
}

QByteArray ownJournalName(const QByteArray& installation) {
    return installation + ".journal";
}

std::vector<JournalFile> listJournals(const QString& gamesFolder) {
    std::vector<JournalFile> out;
    const QByteArray folder =
        platform::encodeName(gamesFolder + QLatin1Char('/') + QLatin1String(kFolderName));
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return out;
    const int fd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        struct stat st {};
        if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        JournalFile f;
        f.name = QByteArray(e->d_name);
        f.path = platform::decodeName(folder + '/' + f.name);
        f.device = qint64(st.st_dev);
        f.inode = qint64(st.st_ino);
        f.size = qint64(st.st_size);
        out.push_back(std::move(f));
    }
    ::closedir(dir);
    return out;
}

std::optional<Parsed> readJournal(const JournalFile& file, qint64 offset, qint64 maxBytes) {
    const int fd = platform::openRegular(file.path);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    const qint64 size = ::fstat(fd, &st) == 0 ? qint64(st.st_size) : -1;
    QByteArray bytes;
    if (size > offset) {
        bytes.resize(qsizetype(std::min(size - offset, maxBytes)));
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::pread(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += n;
        }
        bytes.truncate(done);
    }
    ::close(fd);
    if (size < 0) return std::nullopt;
    return parseLines(bytes, offset == 0);
}

Appended appendOwn(const QString& gamesFolder, const QByteArray& installation,
                   const QByteArray& lines) {
    Appended out;
    const QByteArray folder =
        platform::encodeName(gamesFolder + QLatin1Char('/') + QLatin1String(kFolderName));
    const QByteArray file = folder + '/' + ownJournalName(installation);
    if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST) {
        out.error = errorText(errno);
        return out;
    }
    int fd = ::open(file.constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        // Given its name with its header already in it, so a reader never meets a journal
        // without one; of two launchers making it at once, one link wins.
        const QByteArray made = writeTemporary(folder, headerLine(installation), 0644);
        if (made.isEmpty()) {
            out.error = errorText(errno);
            return out;
        }
        if (::link(made.constData(), file.constData()) != 0 && errno != EEXIST &&
            ::rename(made.constData(), file.constData()) != 0) {
            // A share without hard links takes the rename, which the header makes safe
            // while no other launcher of this installation makes the file at once.
            out.error = errorText(errno);
            ::unlink(made.constData());
            return out;
        }
        ::unlink(made.constData());
        fd = ::open(file.constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0) {
        out.error = errorText(errno);
        return out;
    }
    QByteArray bytes = lines;
    struct stat st {};
    char last = '\n';
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        const int reader = ::open(file.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (reader >= 0) {
            if (::pread(reader, &last, 1, st.st_size - 1) != 1) last = '\n';
            ::close(reader);
        }
    }
    if (last != '\n') bytes.prepend('\n');
    out.ok = platform::writeAll(fd, bytes) && ::fdatasync(fd) == 0;
    if (!out.ok) out.error = errorText(errno);
    ::close(fd);
    return out;
}

bool compactOwn(const QString& gamesFolder, const QByteArray& installation) {
    const QString folder = gamesFolder + QLatin1Char('/') + QLatin1String(kFolderName);
    JournalFile own;
    own.path = folder + QLatin1Char('/') + QString::fromLatin1(ownJournalName(installation));
    const std::optional<platform::RegularFile> before = platform::regularFile(own.path);
    if (!before) return false;
    const std::optional<Parsed> read = readJournal(own, 0, before->size);
    // Records of a newer format are kept as written: this build cannot tell what they say.
    if (!read || !read->isJournal || read->installation != installation || read->newer > 0)
        return false;
    // The records that still count, in the order they were first written.
    std::vector<Record> kept;
    QHash<QByteArray, size_t> playAt, markAt;
    for (const Record& r : read->records) {
        if (const auto* p = std::get_if<Play>(&r)) {
            const auto it = playAt.constFind(p->id);
            if (it == playAt.cend()) {
                playAt.insert(p->id, kept.size());
                kept.push_back(r);
            } else if (std::get<Play>(kept[*it]).seconds < p->seconds) {
                kept[*it] = r;
            }
        } else if (const auto* m = std::get_if<Mark>(&r)) {
            const auto it = markAt.constFind(m->path);
            if (it == markAt.cend()) {
                markAt.insert(m->path, kept.size());
                kept.push_back(r);
            } else if (std::get<Mark>(kept[*it]).changed <= m->changed) {
                kept[*it] = r;
            }
        } else {
            kept.push_back(r);
        }
    }
    QByteArray content = headerLine(installation);
    for (const Record& r : kept)
        content += recordLine(r);
    const QByteArray made = writeTemporary(platform::encodeName(folder), content, 0644);
    if (made.isEmpty()) return false;
    // Another launcher of this installation appended meanwhile: its lines would be lost.
    const std::optional<platform::RegularFile> now = platform::regularFile(own.path);
    if (!now || now->size != before->size || now->modifiedNs != before->modifiedNs ||
        ::rename(made.constData(), platform::encodeName(own.path).constData()) != 0) {
        ::unlink(made.constData());
        return false;
    }
    return true;
}

}  // namespace library::journal
