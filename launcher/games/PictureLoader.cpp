#include "launcher/games/PictureLoader.h"

#include "imaging/PngDecoder.h"
#include "launcher/games/Thumbnails.h"
#include "platform/FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {
// A picture that would fill more than this is refused before decoding: no screen needs
// it, and reading it row by row would still take seconds.
constexpr qint64 kMaxSourcePixels = 40000LL * 40000LL;
// Up to 4K pictures (32 MiB decoded) are decoded whole before scaling.
constexpr qint64 kScaleAfterPixels = 3840LL * 2160LL;
// A PNG read whole into memory for the fast decoder; a bigger one is not a screenshot.
constexpr qint64 kMaxFastPngBytes = 64LL * 1024 * 1024;
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

namespace {
QSize fittedSize(const QSize& full, const QSize& box) {
    if (box.isValid() && !box.isEmpty() &&
        (full.width() > box.width() || full.height() > box.height()))
        return full.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return full;
}

// The decoded picture made ready to show at `target`: scaled, and transparent parts on
// white. Opaque pictures leave in the screen's own format, so that the window's thread
// converts nothing.
QImage readyToShow(QImage image, const QSize& target, const std::function<bool()>& wanted) {
    const auto unwanted = [&] { return wanted && !wanted(); };
    if (image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (unwanted()) return {};
    if (!image.hasAlphaChannel()) {
        if (image.format() != QImage::Format_RGB32) image.convertTo(QImage::Format_RGB32);
        return image;
    }
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    painter.end();
    return opaque;
}

// The decoded picture at `full` size handed over: kept whole for the thumbnail when asked,
// and made ready to show at `target`.
QImage finish(QImage image, const QSize& full, const QSize& target, QSize* fullSize,
              const std::function<bool()>& wanted, QImage* whole) {
    // A decode nobody wants any more goes no further than the read: the loader's end waits
    // only a moment for it, and scaling or painting while the program ends brings it down.
    if (image.isNull() || (wanted && !wanted())) return {};
    if (whole && image.size() == full) *whole = image;
    image = readyToShow(std::move(image), target, wanted);
    if (!image.isNull() && fullSize) *fullSize = full;
    return image;
}

QImage decodeFrom(QIODevice* device, const QSize& box, QSize* fullSize,
                  const std::function<bool()>& wanted, QImage* whole) {
    QImageReader reader(device);
    // Turns 90° pictures as cameras meant them to be seen.
    reader.setAutoTransform(true);
    QSize full = reader.size();
    if (!full.isValid() || qint64(full.width()) * full.height() > kMaxSourcePixels) return {};
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) full.transpose();
    const QSize target = fittedSize(full, box);
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
    return finish(reader.read(), full, target, fullSize, wanted, whole);
}

// A screenshot-like PNG through the fast decoder, read whole; nothing when the file is not
// one it takes (the device is then anywhere: seek back before reading it again).
std::optional<QImage> decodePngFast(QIODevice* device, const QSize& box, QSize* fullSize,
                                    const std::function<bool()>& wanted, QImage* whole) {
    const std::optional<QSize> full = fastPngSize(device->read(33));
    if (!full || device->size() > kMaxFastPngBytes) return std::nullopt;
    const QSize target = fittedSize(*full, box);
    // Larger pictures are scaled while they are read, never whole in memory.
    if (target != *full && qint64(full->width()) * full->height() > kScaleAfterPixels)
        return std::nullopt;
    if (!device->seek(0)) return std::nullopt;
    // One decoder a thread, so that its buffers serve each next picture of the thread.
    thread_local PngDecoder decoder;
    std::optional<QImage> image = decoder.decode(device->readAll(), wanted);
    if (!image) return std::nullopt;
    return finish(std::move(*image), *full, target, fullSize, wanted, whole);
}

QImage decodePicture(const QString& path, const QSize& box, QSize* fullSize,
                     const std::function<bool()>& wanted, QImage* whole) {
    if (fullSize) *fullSize = QSize();
    // Opened by its bytes: a name that is not valid UTF-8 still reads.
    StoppableFile file(wanted);
    // Only a regular file: a FIFO named like a picture would hold the decode for good.
    if (!platform::openRegularForReading(file, path)) return {};
    if (std::optional<QImage> fast = decodePngFast(&file, box, fullSize, wanted, whole))
        return *fast;
    // Stopped half way, or a file the fast decoder leaves to Qt's reader, from its start.
    if ((wanted && !wanted()) || !file.seek(0)) return {};
    return decodeFrom(&file, box, fullSize, wanted, whole);
}

// The picture's own size as shown (turned as the file says), from its header alone.
QSize pictureSize(const QString& path) {
    QFile file;
    if (!platform::openRegularForReading(file, path)) return {};
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    QSize full = reader.size();
    if (full.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        full.transpose();
    return full;
}
}  // namespace

QImage loadPictureFile(const QString& path, const QSize& box, QSize* fullSize,
                       const std::function<bool()>& wanted) {
    return decodePicture(path, box, fullSize, wanted, nullptr);
}

QImage loadPictureCached(const ThumbnailCache& cache, const QString& path, const QSize& box,
                         QSize* fullSize, const std::function<bool()>& wanted,
                         ThumbnailWrite* write) {
    if (fullSize) *fullSize = QSize();
    if (write) *write = nullptr;
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const std::optional<platform::RegularFile> file = platform::regularFile(path);
    if (!file || !box.isValid() || box.isEmpty() || cache.holds(absolute))
        return loadPictureFile(path, box, fullSize, wanted);
    // Whole seconds, as the cache records them (rounded down, also before 1970).
    constexpr qint64 kNsPerSecond = 1'000'000'000;
    const qint64 seconds =
        file->modifiedNs / kNsPerSecond - (file->modifiedNs % kNsPerSecond < 0 ? 1 : 0);
    const QSize full = pictureSize(path);
    const QSize shown = full.isValid() ? fittedSize(full, box) : QSize();
    int edge = 0;
    if (shown.isValid() && shown != full) {
        QImage thumbnail = cache.find(absolute, seconds, shown);
        if (!thumbnail.isNull()) {
            thumbnail = readyToShow(std::move(thumbnail), shown, wanted);
            if (!thumbnail.isNull() && fullSize) *fullSize = full;
            return thumbnail;
        }
        edge = ThumbnailCache::edgeFor(full, shown);
    }
    QImage whole;
    QImage picture = decodePicture(path, box, fullSize, wanted, edge ? &whole : nullptr);
    if (edge && write && !picture.isNull()) {
        *write = [cache, path, absolute, seconds, whole, full,
                  edge](const std::function<bool()>& stillWanted) {
            // Formats that scale while decoding were never decoded whole: read again at
            // the thumbnail's size.
            const QImage source =
                whole.isNull() ? loadPictureFile(path, QSize(edge, edge), nullptr, stillWanted)
                               : whole;
            if (!source.isNull()) cache.store(absolute, seconds, source, full, edge, stillWanted);
        };
    }
    return picture;
}

namespace {
// A few screens' worth of decoded pictures: the games around the selection.
constexpr std::size_t kKept = 8;
}  // namespace

QString PictureLoader::stampOf(const QString& path) {
    const std::optional<platform::RegularFile> file = platform::regularFile(path);
    if (!file) return {};
    return QString::number(file->size) + QLatin1Char('@') + QString::number(file->modifiedNs);
}

// A request's decode runs on a thread of its own (at most two: the newest selection's, while
// a slow one, a huge picture, notices it is no longer wanted), never queued behind work done
// for later: reading ahead and writing thumbnails take one background thread, one task at a
// time, and give way as soon as a request comes. The threads hold this state, not the
// loader: a loader that goes drops its queues and its results, and its threads end on their
// own.
struct PictureLoader::Shared {
    std::atomic<quint64> latest{0};
    std::atomic<quint64> ahead{0};  // the read-ahead's generation
    std::atomic<bool> busy{false};  // a request is being decoded
    PictureDecoder decode;
    std::optional<ThumbnailCache> thumbnails;  // when no decoder was given

    // The picture, and in `write` the thumbnail to write once it is delivered.
    QImage load(const QString& path, const QSize& box, QSize* full,
                const std::function<bool()>& wanted, ThumbnailWrite* write) {
        if (thumbnails) return loadPictureCached(*thumbnails, path, box, full, wanted, write);
        return decode(path, box, full, wanted);
    }

    std::mutex lock;  // guards what follows
    std::condition_variable idle;
    std::function<void()> request;            // the newest request, until a thread takes it
    std::deque<std::function<void()>> later;  // read-ahead and thumbnails, in order
    int requestThreads = 0;
    bool laterThread = false;
    PictureLoader* owner = nullptr;  // null once the loader is gone

    static constexpr int kRequestThreads = 2;

    void startRequest(std::function<void()> task, const std::shared_ptr<Shared>& self) {
        std::lock_guard<std::mutex> hold(lock);
        request = std::move(task);
        if (requestThreads >= kRequestThreads) return;  // the next one free takes it
        ++requestThreads;
        if (!spawn(runRequests, self)) --requestThreads;
    }
    void startLater(std::function<void()> task, const std::shared_ptr<Shared>& self) {
        std::lock_guard<std::mutex> hold(lock);
        later.push_back(std::move(task));
        if (laterThread) return;
        laterThread = true;
        if (!spawn(runLater, self)) laterThread = false;
    }
    // Work still waiting for a thread; it is out of date.
    void drop() {
        std::function<void()> oldRequest;
        std::deque<std::function<void()>> oldLater;
        std::lock_guard<std::mutex> hold(lock);
        oldRequest.swap(request);
        oldLater.swap(later);
    }
    bool running() const { return requestThreads > 0 || laterThread; }
    // Runs `then` on the loader's thread, unless the loader is gone by now. Posting under
    // the lock that the loader's end takes first means a posted call is always one that
    // the loader's end then drops with the rest.
    void post(std::function<void(PictureLoader*)> then) {
        std::lock_guard<std::mutex> hold(lock);
        if (!owner) return;
        PictureLoader* loader = owner;
        loader->m_calls.post([loader, then = std::move(then)] { then(loader); });
    }

private:
    static bool spawn(void (*body)(std::shared_ptr<Shared>), const std::shared_ptr<Shared>& self) {
        try {
            std::thread(body, self).detach();
            return true;
        } catch (const std::system_error&) {
            // No thread to be had: the work waits for one already running, if any.
            return false;
        }
    }
    static void runRequests(std::shared_ptr<Shared> self) {
        std::unique_lock<std::mutex> hold(self->lock);
        while (self->request) {
            std::function<void()> task = std::move(self->request);
            self->request = nullptr;
            hold.unlock();
            task();
            task = nullptr;
            hold.lock();
        }
        --self->requestThreads;
        self->idle.notify_all();
    }
    static void runLater(std::shared_ptr<Shared> self) {
        std::unique_lock<std::mutex> hold(self->lock);
        while (!self->later.empty()) {
            std::function<void()> task = std::move(self->later.front());
            self->later.pop_front();
            hold.unlock();
            task();
            task = nullptr;
            hold.lock();
        }
        self->laterThread = false;
        self->idle.notify_all();
    }
};

namespace {
// How long the loader's end lets a decode under way notice that it is no longer wanted (it
// stops at its next read), so that the threads are done before the program ends. A decode
// stuck in one read is left behind rather than waited for.
constexpr auto kGraceAtEnd = std::chrono::milliseconds(500);
}  // namespace

PictureLoader::PictureLoader(QObject* parent, PictureDecoder decoder)
    : QObject(parent), m_shared(std::make_shared<Shared>()) {
    if (decoder)
        m_shared->decode = std::move(decoder);
    else
        m_shared->thumbnails.emplace();
    m_shared->owner = this;
}

PictureLoader::~PictureLoader() {
    cancel();
    ++m_shared->ahead;
    m_shared->drop();
    std::unique_lock<std::mutex> hold(m_shared->lock);
    m_shared->owner = nullptr;
    m_shared->idle.wait_for(hold, kGraceAtEnd, [this] { return !m_shared->running(); });
}

quint64 PictureLoader::latest() const {
    return m_shared->latest.load();
}

quint64 PictureLoader::request(const QString& path, const QSize& box) {
    return request(path, box, stampOf(path));
}

quint64 PictureLoader::request(const QString& path, const QSize& box, const QString& stamp) {
    const quint64 serial = ++m_shared->latest;
    // Work still waiting for a thread is out of date: earlier requests, reading ahead, and
    // the thumbnails of pictures the user has left.
    m_shared->drop();
    if (const Decoded* d = kept(path, box, stamp)) {
        m_pending = false;
        m_shared->busy.store(false);
        const Decoded hit = *d;
        emit loaded(serial, hit.path, hit.picture, hit.full);
        return serial;
    }
    m_pending = true;
    // Reading ahead under way stops at its next read; a thumbnail being encoded is dropped
    // once encoded.
    m_shared->busy.store(true);
    std::weak_ptr<Shared> weak = m_shared;
    m_shared->startRequest(
        [weak, serial, path, box, stamp] {
            const std::shared_ptr<Shared> shared = weak.lock();
            if (!shared || shared->latest.load() != serial) return;
            QSize full;
            ThumbnailWrite write;
            const auto wanted = [&] { return shared->latest.load() == serial; };
            QImage picture = shared->load(path, box, &full, wanted, &write);
            if (!wanted()) return;
            shared->post([serial, path, box, stamp, picture = std::move(picture),
                          full](PictureLoader* loader) {
                if (!stamp.isEmpty()) loader->keep({path, box, stamp, picture, full});
                loader->deliver(serial, path, picture, full);
            });
            if (!write) return;
            // The thumbnail for next time, once the picture is shown and while the user
            // stays with it: the next request stops it.
            shared->startLater(
                [weak, serial, write = std::move(write)] {
                    const std::shared_ptr<Shared> shared = weak.lock();
                    if (!shared) return;
                    const auto stays = [&] { return shared->latest.load() == serial; };
                    if (stays()) write(stays);
                },
                shared);
        },
        m_shared);
    return serial;
}

void PictureLoader::readAhead(const QStringList& paths, const QSize& box) {
    QList<std::pair<QString, QString>> stamped;
    for (const QString& path : paths)
        stamped.append({path, stampOf(path)});
    readAhead(stamped, box);
}

void PictureLoader::readAhead(const QList<std::pair<QString, QString>>& pathsAndStamps,
                              const QSize& box) {
    const quint64 generation = ++m_shared->ahead;
    for (const auto& entry : pathsAndStamps) {
        const QString& path = entry.first;
        const QString& stamp = entry.second;
        if (stamp.isEmpty() || kept(path, box, stamp)) continue;
        std::weak_ptr<Shared> weak = m_shared;
        m_shared->startLater(
            [weak, generation, path, box, stamp] {
                const std::shared_ptr<Shared> shared = weak.lock();
                if (!shared) return;
                // The selection's own picture always goes first.
                auto wanted = [&] {
                    return shared->ahead.load() == generation && !shared->busy.load();
                };
                if (!wanted()) return;
                QSize full;
                // Only a picture the user stops at leaves a thumbnail: writing one for every
                // neighbour would take the processor from the next selection.
                QImage picture = shared->load(path, box, &full, wanted, nullptr);
                if (!wanted()) return;  // stopped half way: nothing to keep
                shared->post(
                    [path, box, stamp, picture = std::move(picture), full](PictureLoader* loader) {
                        loader->keep({path, box, stamp, picture, full});
                    });
            },
            m_shared);
    }
}

bool PictureLoader::ready(const QString& path, const QSize& box) {
    return kept(path, box, stampOf(path)) != nullptr;
}

void PictureLoader::cancel() {
    ++m_shared->latest;
    m_pending = false;
    m_shared->busy.store(false);
}

void PictureLoader::deliver(quint64 serial, const QString& path, const QImage& picture,
                            const QSize& full) {
    if (serial != m_shared->latest.load()) return;
    m_pending = false;
    m_shared->busy.store(false);
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
