#include "launcher/PictureLoader.h"

#include "platform/FileNames.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <fcntl.h>
#include <unistd.h>

namespace {
// A picture that would fill more than this is refused before decoding: no screen needs
// it, and reading it row by row would still take seconds.
constexpr qint64 kMaxSourcePixels = 40000LL * 40000LL;
}  // namespace

QImage LoadPictureFile(const QString& path, const QSize& box, QSize* fullSize) {
    if (fullSize) *fullSize = QSize();
    // Opened by its bytes: a name that is not valid UTF-8 still reads.
    const int fd = ::open(platform::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    QImageReader reader(&file);
    // Turns 90° pictures as cameras meant them to be seen.
    reader.setAutoTransform(true);
    QSize full = reader.size();
    if (!full.isValid() || qint64(full.width()) * full.height() > kMaxSourcePixels) return {};
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) full.transpose();
    QSize target = full;
    if (box.isValid() && !box.isEmpty() &&
        (full.width() > box.width() || full.height() > box.height()))
        target = full.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (target != full) {
        QSize scaled = target;
        // The reader scales before it turns the picture.
        if (reader.transformation() & QImageIOHandler::TransformationRotate90) scaled.transpose();
        reader.setScaledSize(scaled);
    }
    QImage image = reader.read();
    if (image.isNull()) return {};
    if (fullSize) *fullSize = full;
    if (!image.hasAlphaChannel()) return image;
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    painter.end();
    return opaque;
}

PictureLoader::PictureLoader(QObject* parent)
    : QObject(parent), m_latest(std::make_shared<std::atomic<quint64>>(0)) {
    // One decode for the newest selection while a slow one (a huge picture) finishes.
    m_pool.setMaxThreadCount(2);
}

PictureLoader::~PictureLoader() {
    cancel();
    m_pool.clear();
    m_pool.waitForDone();
}

quint64 PictureLoader::request(const QString& path, const QSize& box) {
    const quint64 serial = ++*m_latest;
    m_pending = true;
    // Requests still waiting for a thread are already out of date.
    m_pool.clear();
    std::shared_ptr<std::atomic<quint64>> latest = m_latest;
    // The loader waits for its tasks before it goes, so `this` outlives every task; a
    // result queued just before that is dropped with the loader.
    m_pool.start([this, latest, serial, path, box] {
        if (latest->load() != serial) return;
        QSize full;
        QImage picture = LoadPictureFile(path, box, &full);
        if (latest->load() != serial) return;
        QMetaObject::invokeMethod(
            this,
            [this, serial, path, picture = std::move(picture), full] {
                deliver(serial, path, picture, full);
            },
            Qt::QueuedConnection);
    });
    return serial;
}

void PictureLoader::cancel() {
    ++*m_latest;
    m_pending = false;
}

void PictureLoader::deliver(quint64 serial, const QString& path, const QImage& picture,
                            const QSize& full) {
    if (serial != m_latest->load()) return;
    m_pending = false;
    emit loaded(serial, path, picture, full);
}
