#include "launcher/games/Thumbnails.h"

#include "platform/FileNames.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

// A thumbnail never needs more pixels than this: the largest size's edge squared.
constexpr qint64 kMaxThumbnailPixels = 1024LL * 1024LL;
// A file in a thumbnail folder larger than this is not one of ours or the desktop's.
constexpr qint64 kMaxThumbnailBytes = 16LL * 1024 * 1024;
// zlib's fastest level: a thumbnail is written once and read often, and reading does not
// depend on the level.
constexpr int kWriteQuality = 80;

const QString kUri = QStringLiteral("Thumb::URI");
const QString kMTime = QStringLiteral("Thumb::MTime");

// The characters a URI's path holds as they are: letters, digits, the marks and the few
// signs a path segment allows; everything else is escaped.
bool keptInUri(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    for (const char k :
         {'-', '_', '.', '!', '~', '*', '\'', '(', ')', '/', ':', '@', '&', '=', '+', '$', ','})
        if (c == static_cast<unsigned char>(k)) return true;
    return false;
}

bool makeFolder(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) == 0) return true;
    if (errno != EEXIST) return false;
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

}  // namespace

QByteArray thumbnailUri(const QString& absolutePath) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray uri = QByteArrayLiteral("file://");
    for (const char ch : platform::encodeName(absolutePath)) {
        const auto c = static_cast<unsigned char>(ch);
        if (keptInUri(c)) {
            uri.append(ch);
        } else {
            uri.append('%');
            uri.append(hex[c >> 4]);
            uri.append(hex[c & 15]);
        }
    }
    return uri;
}

QString thumbnailFileName(const QString& absolutePath) {
    return QString::fromLatin1(
               QCryptographicHash::hash(thumbnailUri(absolutePath), QCryptographicHash::Md5)
                   .toHex()) +
           QStringLiteral(".png");
}

QString defaultThumbnailRoot() {
    return QDir::cleanPath(platform::userBaseFolder("XDG_CACHE_HOME", QStringLiteral(".cache")) +
                           QStringLiteral("/thumbnails"));
}

ThumbnailCache::ThumbnailCache(QString root) : m_root(QDir::cleanPath(root)) {}

bool ThumbnailCache::holds(const QString& absolutePath) const {
    return absolutePath == m_root || absolutePath.startsWith(m_root + QLatin1Char('/'));
}

int ThumbnailCache::edgeFor(const QSize& full, const QSize& shown) {
    const int longest = std::max(shown.width(), shown.height());
    for (const ThumbnailSize& size : kThumbnailSizes) {
        if (size.edge < longest) continue;
        // A thumbnail as large as the picture saves nothing.
        return std::max(full.width(), full.height()) > size.edge ? size.edge : 0;
    }
    return 0;
}

QImage ThumbnailCache::find(const QString& absolutePath, qint64 modifiedSeconds,
                            const QSize& shown) const {
    if (holds(absolutePath)) return {};
    const QByteArray uri = thumbnailUri(absolutePath);
    const QString name = thumbnailFileName(absolutePath);
    const QByteArray mtime = QByteArray::number(modifiedSeconds);
    const int longest = std::max(shown.width(), shown.height());
    for (const ThumbnailSize& size : kThumbnailSizes) {
        // A smaller size's thumbnails cannot hold the shown picture.
        if (size.edge < longest) continue;
        QFile file;
        const QString path =
            m_root + QLatin1Char('/') + QLatin1String(size.folder) + QLatin1Char('/') + name;
        if (!platform::openRegularForReading(file, path) || file.size() > kMaxThumbnailBytes)
            continue;
        QImageReader reader(&file, "png");
        const QSize header = reader.size();
        if (!header.isValid() || qint64(header.width()) * header.height() > kMaxThumbnailPixels ||
            header.width() < shown.width() || header.height() < shown.height())
            continue;
        // The text before the image data is known from the header; some programs keep it
        // (or part of it) after the image data, where only the decode finds it.
        const bool early = !reader.text(kUri).isEmpty() && !reader.text(kMTime).isEmpty();
        if (early &&
            (reader.text(kUri).toLatin1() != uri || reader.text(kMTime).toLatin1() != mtime))
            continue;
        QImage image = reader.read();
        if (image.isNull()) continue;
        if (!early &&
            (image.text(kUri).toLatin1() != uri || image.text(kMTime).toLatin1() != mtime))
            continue;
        return image;
    }
    return {};
}

bool ThumbnailCache::store(const QString& absolutePath, qint64 modifiedSeconds,
                           const QImage& picture, const QSize& full, int edge,
                           const std::function<bool()>& wanted) const {
    const auto unwanted = [&] { return wanted && !wanted(); };
    if (holds(absolutePath) || picture.isNull() || unwanted()) return false;
    const ThumbnailSize* size = nullptr;
    for (const ThumbnailSize& s : kThumbnailSizes)
        if (s.edge == edge) size = &s;
    if (!size) return false;

    QImage thumbnail = picture;
    if (picture.width() > edge || picture.height() > edge)
        thumbnail = picture.scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (thumbnail.isNull() || unwanted()) return false;
    thumbnail.setText(kUri, QString::fromLatin1(thumbnailUri(absolutePath)));
    thumbnail.setText(kMTime, QString::number(modifiedSeconds));
    thumbnail.setText(QStringLiteral("Thumb::Image::Width"), QString::number(full.width()));
    thumbnail.setText(QStringLiteral("Thumb::Image::Height"), QString::number(full.height()));
    thumbnail.setText(QStringLiteral("Software"), QStringLiteral("Rombard"));
    // Encoded to its end once begun: Qt's PNG writer loses its table of rows when a write
    // fails midway, so a thumbnail left behind is dropped after encoding, before any file.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setQuality(kWriteQuality);
        if (!writer.write(thumbnail) || unwanted()) return false;
    }

    // The cache's folders are the user's alone: a thumbnail shows what the picture shows.
    const QByteArray root = platform::encodeName(m_root);
    const QByteArray parent = platform::encodeName(QFileInfo(m_root).path());
    if (!makeFolder(parent) || !makeFolder(root)) return false;
    const QByteArray folder = root + '/' + size->folder;
    if (!makeFolder(folder)) return false;
    const QByteArray target = folder + '/' + platform::encodeName(thumbnailFileName(absolutePath));
    // Readers never see half a file: written aside under a name no one else picks, then
    // renamed over the old thumbnail in one step. mkstemp makes it 0600.
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    const bool written = writeAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}
