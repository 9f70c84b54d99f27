#include "gifview/GifWalker.h"

#include "gifview/GifReader.h"

#include <cstdint>

namespace {

constexpr qint64 kGlobalTablePosition = 14;
constexpr std::uint32_t kMax16 = 32767;

class Walker {
public:
    explicit Walker(const QByteArray& bytes) : m_reader(bytes) {}
    std::optional<GifWalk> run();

private:
    bool readScreen();
    bool readExtension();
    bool readApplication();
    bool readGraphicControl();
    bool readImage();
    bool read16(int& value) {
        std::uint32_t v = 0;
        if (!m_reader.readNumber(2, v) || v > kMax16) return false;
        value = static_cast<int>(v);
        return true;
    }

    GifReader m_reader;
    GifWalk m_walk;
    bool m_hasGlobalTable = false;
    int m_globalBits = 0;
    qint32 m_transparentIndex = -1;
    std::optional<GifFrame> m_pending;
};

bool Walker::readScreen() {
    QByteArray signature;
    if (!m_reader.readText(6, signature)) return false;
    signature = signature.toLower();
    if (signature != "gif89a" && signature != "gif87a") return false;
    m_walk.version = QString::fromLatin1(signature);
    std::uint32_t packed = 0;
    if (!read16(m_walk.logicalWidth) || !read16(m_walk.logicalHeight) ||
        !m_reader.readNumber(1, packed))
        return false;
    m_hasGlobalTable = getBits(static_cast<int>(packed), 128) != 0;
    if (m_hasGlobalTable) {
        m_globalBits = getBits(static_cast<int>(packed), 7);
        std::uint32_t index = 0;
        if (!m_reader.readNumber(1, index)) return false;
        qint32 colour = static_cast<qint32>(index);
        if (!colorFromTable(m_reader, kGlobalTablePosition, colour, m_globalBits)) return false;
        m_walk.background = colour;
        m_reader.seek(kGlobalTablePosition + 3LL * (1 << (m_globalBits + 1)));
    } else {
        m_reader.seek(kGlobalTablePosition);
    }
    return true;
}

bool Walker::readApplication() {
    if (!m_walk.frames.empty()) return m_reader.skipSubBlocks();
    std::uint32_t ignored = 0;
    QByteArray identifier;
    if (!m_reader.readNumber(1, ignored) || !m_reader.readText(8, identifier)) return false;
    m_reader.advance(3);
    if (identifier.toUpper() == "NETSCAPE") {
        std::uint32_t size = 0;
        if (!m_reader.readNumber(1, size)) return false;
        if (size == 3) {
            m_reader.advance(1);
            if (!read16(m_walk.loopCount)) return false;
        } else {
            m_reader.advance(-1);
        }
    }
    return m_reader.skipSubBlocks();
}

bool Walker::readGraphicControl() {
    const qint64 labelPosition = m_reader.position() - 1;
    if (m_walk.headerLength == 0) {
        m_walk.headerLength = static_cast<qint32>(labelPosition - 1);
        m_walk.headerEndsWithIntroducer = true;
    }
    GifFrame frame;
    frame.setFramePosition(GifFrame::kStart, static_cast<qint32>(labelPosition));
    m_reader.seek(labelPosition + 2);
    std::uint32_t packed = 0, delay = 0;
    if (!m_reader.readNumber(1, packed) || !m_reader.readNumber(2, delay)) return false;
    const int disposal = getBits(static_cast<int>(packed), 28);
    frame.setFrameDisposal(disposal);
    if (disposal == 3) m_walk.restorePrevious = true;
    frame.setIsTransparent(getBits(static_cast<int>(packed), 1) != 0);
    frame.setframeDelay(static_cast<int>(delay) * 10);
    if (frame.isTransparent()) {
        std::uint32_t index = 0;
        if (!m_reader.readNumber(1, index)) return false;
        m_transparentIndex = static_cast<qint32>(index);
        m_reader.advance(1);
    } else {
        m_reader.advance(2);
    }
    m_pending = frame;
    return true;
}

bool Walker::readImage() {
    const qint64 separator = m_reader.position() - 1;
    if (m_walk.headerLength == 0) {
        m_pending = GifFrame();
        m_pending->setFramePosition(GifFrame::kStart, static_cast<qint32>(separator));
        m_walk.headerLength = static_cast<qint32>(separator - 1);
    }
    if (!m_pending) return false;
    GifFrame& frame = *m_pending;
    frame.setFramePosition(GifFrame::kImage, static_cast<qint32>(separator));
    int left = 0, top = 0, width = 0, height = 0;
    std::uint32_t packed = 0;
    if (!read16(left) || !read16(top) || !read16(width) || !read16(height) ||
        !m_reader.readNumber(1, packed))
        return false;
    frame.setFrameLeft(left);
    frame.setFrameTop(top);
    frame.setFrameWidth(width);
    frame.setFrameHeight(height);
    const bool localTable = getBits(static_cast<int>(packed), 128) != 0;
    const int localBits = getBits(static_cast<int>(packed), 7);
    const qint64 localPosition = m_reader.position();
    if (localTable)
        m_reader.seek(localPosition + 3LL * (1 << (localBits + 1)) + 1);
    else
        m_reader.advance(1);
    if (frame.isTransparent()) {
        qint32 colour = m_transparentIndex;
        bool ok = true;
        if (localTable)
            ok = colorFromTable(m_reader, localPosition, colour, localBits);
        else if (m_hasGlobalTable)
            ok = colorFromTable(m_reader, kGlobalTablePosition, colour, m_globalBits);
        if (!ok) return false;
        frame.setFrameTransparentColor(colour);
    } else {
        frame.setFrameTransparentColor(-1);
    }
    if (!m_reader.skipSubBlocks()) return false;
    frame.setFramePosition(GifFrame::kEnd, static_cast<qint32>(m_reader.position()));
    m_walk.frames.push_back(frame);
    m_pending.reset();
    m_transparentIndex = -1;
    return true;
}

bool Walker::readExtension() {
    std::uint32_t label = 0;
    if (!m_reader.readNumber(1, label)) return false;
    switch (label) {
        case 0xFF:
            return readApplication();
        case 0xF9:
            return readGraphicControl();
        default:
            return m_reader.skipSubBlocks();
    }
}

std::optional<GifWalk> Walker::run() {
    // Positions are kept in 32 bits, as the frame records store them.
    if (m_reader.size() >= 0x7FFFFFFF || !readScreen()) return std::nullopt;
    for (;;) {
        std::uint32_t block = 0;
        if (!m_reader.readNumber(1, block)) return std::nullopt;
        bool ok = true;
        switch (block) {
            case 0x00:
                break;
            case 0x21:
                ok = readExtension();
                break;
            case 0x2C:
                ok = readImage();
                break;
            case 0x3B:
                break;
            default:
                ok = m_reader.skipSubBlocks();
        }
        if (!ok) return std::nullopt;
        if (block == 0x3B) break;
    }
    for (const GifFrame& f : m_walk.frames) {
        const qint32 length = f.framePosition(GifFrame::kEnd) - f.framePosition(GifFrame::kStart);
        if (length > m_walk.largestFrame) m_walk.largestFrame = length;
        if (f.frameWidth() > m_walk.logicalWidth) m_walk.logicalWidth = f.frameWidth();
        if (f.frameHeight() > m_walk.logicalHeight) m_walk.logicalHeight = f.frameHeight();
    }
    if (m_walk.frames.size() > 1 && m_walk.loopCount < 0) m_walk.loopCount = 0;
    return std::move(m_walk);
}

}  // namespace

std::optional<GifWalk> walkGif(const QByteArray& bytes) {
    return Walker(bytes).run();
}

QByteArray buildFramePicture(const QByteArray& header, bool headerEndsWithIntroducer,
                             const QByteArray& frameBytes, const GifFrame& frame) {
    QByteArray picture;
    picture.reserve(header.size() + frameBytes.size() + 2);
    picture.append(header);
    // A frame that begins at a graphic control label needs the extension introducer in
    // front of it; a header cut at the first image does not carry one.
    if (!headerEndsWithIntroducer && !frameBytes.isEmpty() &&
        static_cast<unsigned char>(frameBytes.at(0)) == 0xF9)
        picture.append('\x21');
    const qsizetype image = picture.size() + frame.framePosition(GifFrame::kImage) -
                            frame.framePosition(GifFrame::kStart);
    picture.append(frameBytes);
    picture.append('\x3B');
    // The decoder paints onto a canvas of the logical screen and clips to it; a screen the
    // size of the frame with the image at its origin yields exactly the frame's own pixels.
    auto put16 = [&picture](qsizetype at, int value) {
        if (at < 0 || at + 1 >= picture.size()) return;
        picture[at] = static_cast<char>(value & 0xFF);
        picture[at + 1] = static_cast<char>((value >> 8) & 0xFF);
    };
    if (picture.size() >= 10) {
        put16(6, frame.frameWidth());
        put16(8, frame.frameHeight());
    }
    if (image >= header.size() && image < picture.size() && picture.at(image) == '\x2C') {
        put16(image + 1, 0);
        put16(image + 3, 0);
    }
    return picture;
}
