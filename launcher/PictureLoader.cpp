#include "launcher/PictureLoader.h"

#include "platform/FileNames.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace {
// A picture that would fill more than this is refused before decoding: no screen needs
// it, and reading it row by row would still take seconds.
constexpr qint64 kMaxSourcePixels = 40000LL * 40000LL;
// Up to 4K pictures (32 MiB decoded) are decoded whole before scaling.
constexpr qint64 kScaleAfterPixels = 3840LL * 2160LL;
}  // namespace

namespace {
// A file whose reads fail once its decode is no longer wanted, so that a decoder stops
// at its next read instead of finishing a picture nobody will see.
class StoppableFile : public QFile {
public:
    explicit StoppableFile(const std::function<bool()>& wanted) : m_wanted(wanted) {}

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (m_wanted && !m_wanted()) return -1;
        return QFile::readData(data, maxSize);
    }

private:
    std::function<bool()> m_wanted;
};
}  // namespace

QImage LoadPictureFile(const QString& path, const QSize& box, QSize* fullSize,
                       const std::function<bool()>& wanted) {
    if (fullSize) *fullSize = QSize();
    // Opened by its bytes: a name that is not valid UTF-8 still reads.
    StoppableFile file(wanted);
    if (!platform::openForReading(file, path)) return {};
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
    // A PNG of screen size decodes whole and then scales in about half the time the PNG
    // reader takes to scale row by row; larger ones are scaled while they are read, so
    // their full size never sits in memory. Other formats (JPEG above all) scale cheaply
    // while decoding.
    const bool scaleAfter = target != full && reader.format() == "png" &&
                            qint64(full.width()) * full.height() <= kScaleAfterPixels;
    if (target != full && !scaleAfter) {
        QSize scaled = target;
        // The reader scales before it turns the picture.
        if (reader.transformation() & QImageIOHandler::TransformationRotate90) scaled.transpose();
        reader.setScaledSize(scaled);
    }
    QImage image = reader.read();
    if (image.isNull()) return {};
    if (scaleAfter) image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (fullSize) *fullSize = full;
    if (!image.hasAlphaChannel()) return image;
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    painter.end();
    return opaque;
}

namespace {
// A few screens' worth of decoded pictures: the games around the selection.
constexpr std::size_t kKept = 8;

// What tells a kept picture from a file replaced under the same name.
QString stampOf(const QString& path) {
    const std::optional<platform::RegularFile> file = platform::regularFile(path);
    if (!file) return {};
    return QString::number(file->size) + QLatin1Char('@') + QString::number(file->modifiedNs);
}
}  // namespace

PictureLoader::PictureLoader(QObject* parent)
    : QObject(parent),
      m_latest(std::make_shared<std::atomic<quint64>>(0)),
      m_ahead(std::make_shared<std::atomic<quint64>>(0)),
      m_busy(std::make_shared<std::atomic<bool>>(false)) {
    // One decode for the newest selection while a slow one (a huge picture) finishes.
    m_pool.setMaxThreadCount(2);
}

PictureLoader::~PictureLoader() {
    cancel();
    ++*m_ahead;
    m_pool.clear();
    m_pool.waitForDone();
}

quint64 PictureLoader::request(const QString& path, const QSize& box) {
    const quint64 serial = ++*m_latest;
    // Requests still waiting for a thread are out of date, and so is reading ahead.
    m_pool.clear();
    const QString stamp = stampOf(path);
    if (const Decoded* d = kept(path, box, stamp)) {
        m_pending = false;
        m_busy->store(false);
        const Decoded hit = *d;
        emit loaded(serial, hit.path, hit.picture, hit.full);
        return serial;
    }
    m_pending = true;
    m_busy->store(true);
    std::shared_ptr<std::atomic<quint64>> latest = m_latest;
    // The loader waits for its tasks before it goes, so `this` outlives every task; a
    // result queued just before that is dropped with the loader.
    m_pool.start([this, latest, serial, path, box, stamp] {
        if (latest->load() != serial) return;
        QSize full;
        QImage picture =
            LoadPictureFile(path, box, &full, [&] { return latest->load() == serial; });
        if (latest->load() != serial) return;
        QMetaObject::invokeMethod(
            this,
            [this, serial, path, box, stamp, picture = std::move(picture), full] {
                if (!stamp.isEmpty()) keep({path, box, stamp, picture, full});
                deliver(serial, path, picture, full);
            },
            Qt::QueuedConnection);
    });
    return serial;
}

void PictureLoader::readAhead(const QStringList& paths, const QSize& box) {
    const quint64 generation = ++*m_ahead;
    for (const QString& path : paths) {
        const QString stamp = stampOf(path);
        if (stamp.isEmpty() || kept(path, box, stamp)) continue;
        std::shared_ptr<std::atomic<quint64>> ahead = m_ahead;
        std::shared_ptr<std::atomic<bool>> busy = m_busy;
        m_pool.start([this, ahead, busy, generation, path, box, stamp] {
            // The selection's own picture always goes first.
            auto wanted = [&] { return ahead->load() == generation && !busy->load(); };
            if (!wanted()) return;
            QSize full;
            QImage picture = LoadPictureFile(path, box, &full, wanted);
            if (!wanted()) return;  // stopped half way: nothing to keep
            QMetaObject::invokeMethod(
                this,
                [this, path, box, stamp, picture = std::move(picture), full] {
                    keep({path, box, stamp, picture, full});
                },
                Qt::QueuedConnection);
        });
    }
}

bool PictureLoader::ready(const QString& path, const QSize& box) {
    return kept(path, box, stampOf(path)) != nullptr;
}

void PictureLoader::cancel() {
    ++*m_latest;
    m_pending = false;
    m_busy->store(false);
}

void PictureLoader::deliver(quint64 serial, const QString& path, const QImage& picture,
                            const QSize& full) {
    if (serial != m_latest->load()) return;
    m_pending = false;
    m_busy->store(false);
    emit loaded(serial, path, picture, full);
}

void PictureLoader::keep(Decoded decoded) {
    std::erase_if(m_kept,
                  [&](const Decoded& d) { return d.path == decoded.path && d.box == decoded.box; });
    m_kept.insert(m_kept.begin(), std::move(decoded));
    if (m_kept.size() > kKept) m_kept.pop_back();
}

const PictureLoader::Decoded* PictureLoader::kept(const QString& path, const QSize& box,
                                                  const QString& stamp) {
    if (stamp.isEmpty()) return nullptr;
    for (const Decoded& d : m_kept)
        if (d.path == path && d.box == box && d.stamp == stamp) return &d;
    return nullptr;
}
