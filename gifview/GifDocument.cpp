#include "gifview/GifDocument.h"

#include "platform/FileNames.h"

#include <QFile>

GifDocument::GifDocument() = default;

GifDocument::~GifDocument() {
    unload();
}

std::optional<GifDocument::Candidate> GifDocument::read(const QString& fileName) {
    QFile file;
    // By the name's bytes: a name that is not valid UTF-8 opens too.
    if (!platform::openRegularForReading(file, fileName)) return std::nullopt;
    // One buffered read; the walk then touches each byte at most once.
    return fromBytes(file.readAll(), fileName);
}

std::optional<GifDocument::Candidate> GifDocument::fromBytes(QByteArray bytes,
                                                             const QString& fileName) {
    std::optional<GifWalk> walk = walkGif(bytes);
    if (!walk) return std::nullopt;
    QByteArray header = bytes.left(walk->headerLength);
    return Candidate{std::move(bytes), std::move(*walk), std::move(header), fileName};
}

void GifDocument::install(Candidate candidate) {
    unload();
    GifWalk& walk = candidate.walk;
    m_bytes = std::move(candidate.bytes);
    m_open = true;
    m_fileName = std::move(candidate.fileName);
    m_hasFrames = true;
    m_frames = std::move(walk.frames);
    m_info = GifInfo();
    static_cast<GifScreen&>(m_info) = walk;
    m_info.fileName = m_fileName;
    m_info.header = std::move(candidate.header);
    // Room for the largest frame and the trailer, so building a picture reuses it.
    m_info.header.reserve(walk.headerLength + walk.largestFrame + 2);
}

bool GifDocument::load(const QString& fileName) {
    std::optional<Candidate> candidate = read(fileName);
    if (!candidate) return false;
    install(std::move(*candidate));
    return true;
}

void GifDocument::unload() {
    if (m_open) {
        m_bytes = QByteArray();
        m_open = false;
        if (m_info.temporaryFile) {
            QFile::remove(m_fileName);
            m_info.temporaryFile = false;
        }
        m_fileName.clear();
    }
    m_hasFrames = false;
    m_frames.clear();
    m_info.header = QByteArray(1, '\0');
    m_info.fileName.clear();
    m_cache.clear();
    m_cacheBytes = 0;
}

GifFrame* GifDocument::frame(int index) {
    if (!m_hasFrames || index < 1 || index > frameCount()) return nullptr;
    return &m_frames[static_cast<std::size_t>(index - 1)];
}

const GifFrame* GifDocument::frame(int index) const {
    return const_cast<GifDocument*>(this)->frame(index);
}

QByteArray GifDocument::framePicture(int index) const {
    const GifFrame* frame = this->frame(index);
    if (!frame || !m_open) return {};
    const qint32 start = frame->framePosition(GifFrame::kStart);
    const qint32 length = frame->framePosition(GifFrame::kEnd) - start;
    if (length <= 0 || start < 1 || qint64(start) - 1 + length > m_bytes.size()) return {};
    const QByteArray bytes = m_bytes.sliced(start - 1, length);
    return buildFramePicture(m_info.header.left(m_info.headerLength),
                             m_info.headerEndsWithIntroducer, bytes, *frame);
}

QImage GifDocument::frameImage(int index) {
    const GifFrame* frame = this->frame(index);
    if (!frame) return {};
    const qint32 key = frame->framePosition(GifFrame::kStart);
    if (auto it = m_cache.constFind(key); it != m_cache.constEnd()) return it.value();
    QImage image;
    if (!image.loadFromData(framePicture(index), "GIF")) return {};
    if (image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    const qint64 cost = image.sizeInBytes();
    if (m_cacheBytes + cost <= m_cacheBudget) {
        m_cache.insert(key, image);
        m_cacheBytes += cost;
    }
    return image;
}

void GifDocument::setCacheBudget(qint64 bytes) {
    m_cacheBudget = bytes;
    if (m_cacheBytes > bytes) {
        m_cache.clear();
        m_cacheBytes = 0;
    }
}

void GifDocument::removeFrame(int index) {
    if (!frame(index)) return;
    m_frames.erase(m_frames.begin() + (index - 1));
}
