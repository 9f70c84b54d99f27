#include "platform/FileNames.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>

namespace platform {

namespace {
// Length of the valid UTF-8 sequence starting at p[0], or 0.
int validSequence(const unsigned char* p, qsizetype left) {
    const unsigned char c = p[0];
    int n;
    char32_t cp;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (left < n) return 0;
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}
}  // namespace

QString decodeName(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    // Nearly every name on a games disk is plain ASCII; it needs no sequence checks. A
    // folder of 30,000 games decodes its names on each listing.
    if (std::all_of(p, p + n, [](unsigned char c) { return c < 0x80; }))
        return QString::fromLatin1(bytes);
    bool plain = true;
    for (qsizetype i = 0; i < n;) {
        const int len = validSequence(p + i, n - i);
        if (len == 0) {
            plain = false;
            break;
        }
        i += len;
    }
    if (plain) return QString::fromUtf8(bytes);

    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        const int len = validSequence(p + i, n - i);
        if (len == 0) {
            out.append(QChar(static_cast<char16_t>(0xDC00 + p[i])));
            ++i;
        } else {
            out.append(QString::fromUtf8(reinterpret_cast<const char*>(p + i), len));
            i += len;
        }
    }
    return out;
}

QByteArray encodeName(const QString& name) {
    bool escaped = false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0xDC80 && u <= 0xDCFF) {
            escaped = true;
            break;
        }
    }
    if (!escaped) return name.toUtf8();

    QByteArray out;
    out.reserve(name.size() * 3);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name.at(i).unicode();
        if (u >= 0xDC80 && u <= 0xDCFF) {
            // A lone low surrogate: an escaped byte. A real pair never starts with one.
            out.append(static_cast<char>(u - 0xDC00));
        } else if (QChar::isHighSurrogate(u) && i + 1 < name.size() &&
                   name.at(i + 1).isLowSurrogate()) {
            out.append(name.mid(i, 2).toUtf8());
            ++i;
        } else {
            out.append(QString(name.at(i)).toUtf8());
        }
    }
    return out;
}

QString foldName(const QString& name) {
    // ASCII names fold by their capitals alone, without the Unicode tables; a name with no
    // capital comes back shared, without a copy.
    const QChar* units = name.constData();
    const qsizetype n = name.size();
    qsizetype firstCapital = -1;
    bool ascii = true;
    for (qsizetype i = 0; i < n && ascii; ++i) {
        const char16_t c = units[i].unicode();
        ascii = c < 0x80;
        if (firstCapital < 0 && c >= u'A' && c <= u'Z') firstCapital = i;
    }
    if (ascii) {
        if (firstCapital < 0) return name;
        QString out(name);
        QChar* dst = out.data();
        for (qsizetype i = firstCapital; i < n; ++i) {
            const char16_t c = dst[i].unicode();
            if (c >= u'A' && c <= u'Z') dst[i] = QChar(char16_t(c + 32));
        }
        return out;
    }
    auto escaped = [](QChar c) { return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF; };
    if (std::none_of(name.begin(), name.end(), escaped)) return name.toCaseFolded();
    QString out;
    out.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i == name.size() || escaped(name.at(i))) {
            out.append(name.mid(start, i - start).toCaseFolded());
            if (i < name.size()) out.append(name.at(i));
            start = i + 1;
        }
    }
    return out;
}

QStringList argumentsFromArgv(int argc, const char* const* argv) {
    QStringList out;
    for (int i = 1; i < argc; ++i)
        out.append(decodeName(QByteArray(argv[i])));
    return out;
}

namespace {
QByteArray currentFolderBytes() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? QByteArray(buffer) : QByteArray();
}

QByteArray runningExecutableBytes() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}
}  // namespace

QString programFolderFromArgv0(const char* argv0) {
    QByteArray path = argv0 ? QByteArray(argv0) : QByteArray();
    // Without a slash the program was found through PATH: its folder is where it really is.
    if (!path.contains('/')) path = runningExecutableBytes();
    if (path.isEmpty()) return {};
    if (!path.startsWith('/')) {
        const QByteArray cwd = currentFolderBytes();
        if (cwd.isEmpty()) return {};
        path = cwd + '/' + path;
    }
    // cleanPath works on the decoded text alone, so escaped bytes pass through untouched.
    const QString clean = QDir::cleanPath(decodeName(path));
    const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : clean.left(slash);
}

bool openForReading(QFile& file, const QString& name) {
    const int fd = ::open(encodeName(name).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
    ::close(fd);
    return false;
}

std::optional<RegularFile> regularFile(const QString& name) {
    struct stat st {};
    if (name.isEmpty() || ::stat(encodeName(name).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return RegularFile{qint64(st.st_size),
                       qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

int openRegular(const QString& name) {
    if (name.isEmpty()) return -1;
    return openRegularBytes(encodeName(name), O_RDONLY);
}

int openRegularBytes(const QByteArray& path, int openFlags, unsigned mode) {
    // O_NONBLOCK keeps the open itself from waiting for a FIFO's writer; the type is then
    // asked of what was opened, so nothing can be swapped in between.
    const int fd = ::open(path.constData(), openFlags | O_NONBLOCK | O_CLOEXEC, mode_t(mode));
    if (fd < 0) return -1;
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool openRegularForReading(QFile& file, const QString& name) {
    const int fd = openRegular(name);
    if (fd < 0) return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
    ::close(fd);
    return false;
}

namespace {
std::optional<QByteArray> readRegular(const QString& name, qint64 maxBytes, bool* cut,
                                      bool wholeOnly) {
    if (cut) *cut = false;
    const int fd = openRegular(name);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    ::fstat(fd, &st);
    if (wholeOnly && st.st_size > maxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    constexpr qint64 kStep = 64 * 1024;
    maxBytes = std::max<qint64>(maxBytes, 0);
    QByteArray bytes;
    // The stated size is only a hint (files of the kernel's own say 0); the cap holds.
    bytes.reserve(qsizetype(std::min<qint64>(std::max<qint64>(st.st_size, 0), maxBytes)));
    qint64 done = 0;
    bool failed = false;
    while (done < maxBytes) {
        const qint64 want = std::min(kStep, maxBytes - done);
        bytes.resize(qsizetype(done + want));
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(want));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        done += n;
    }
    bytes.resize(qsizetype(done));
    if (!failed && done == maxBytes && cut) {
        char more;
        ssize_t n;
        do {
            n = ::read(fd, &more, 1);
        } while (n < 0 && errno == EINTR);
        *cut = n > 0;
    }
    ::close(fd);
    if (failed) return std::nullopt;
    return bytes;
}
}  // namespace

std::optional<QByteArray> readRegularFile(const QString& name, qint64 maxBytes, bool* cut) {
    return readRegular(name, maxBytes, cut, false);
}

std::optional<QByteArray> readWholeRegularFile(const QString& name, qint64 maxBytes) {
    bool cut = false;
    std::optional<QByteArray> bytes = readRegular(name, maxBytes, &cut, true);
    if (cut) return std::nullopt;  // a file whose stated size was short of what it holds
    return bytes;
}

QString userBaseFolder(const char* variable, const QString& underHome) {
    const QString set = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(set) ? set : QDir::homePath() + QLatin1Char('/') + underHome;
}

}  // namespace platform
