#pragma once

// PNG files put together chunk by chunk, for what Qt's writer never makes: every row
// filter on purpose, grey and palette pictures, image data split or damaged, chunks out of
// place.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRandomGenerator>

#include <zlib.h>

#include <cstdlib>
#include <vector>

namespace png {

inline void appendBe32(QByteArray& out, quint32 v) {
    for (int s = 24; s >= 0; s -= 8)
        out.append(char((v >> s) & 0xff));
}

// Length, type, data and the CRC of type and data.
inline QByteArray chunk(const QByteArray& type, const QByteArray& data) {
    QByteArray out;
    appendBe32(out, quint32(data.size()));
    const QByteArray body = type + data;
    out += body;
    appendBe32(out, quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()),
                                  uInt(body.size()))));
    return out;
}

inline QByteArray signature() {
    return QByteArray("\x89PNG\r\n\x1a\n", 8);
}

inline QByteArray header(quint32 width, quint32 height, int colourType, int depth = 8,
                         int interlace = 0) {
    QByteArray data;
    appendBe32(data, width);
    appendBe32(data, height);
    data.append(char(depth));
    data.append(char(colourType));
    data.append('\0');  // compression
    data.append('\0');  // filtering
    data.append(char(interlace));
    return chunk("IHDR", data);
}

inline QByteArray deflated(const QByteArray& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray out(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(raw.constData()), uLong(raw.size()), 6);
    out.resize(qsizetype(size));
    return out;
}

inline int predictor(int filter, int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int paeth = pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
    const int byFilter[] = {0, a, b, (a + b) / 2, paeth};
    return filter >= 1 && filter <= 4 ? byFilter[filter] : 0;
}

// Rows of `rowBytes` pixel bytes filtered, row y with filters[y % size], each behind its
// filter byte: what goes into the zlib stream.
inline QByteArray filtered(const QByteArray& pixels, int rowBytes, int bpp,
                           const std::vector<int>& filters) {
    QByteArray out;
    const int rows = int(pixels.size() / rowBytes);
    const auto at = [&](int y, int i) {
        return y < 0 || i < 0 ? 0 : int(uchar(pixels[qsizetype(y) * rowBytes + i]));
    };
    for (int y = 0; y < rows; ++y) {
        const int f = filters[std::size_t(y) % filters.size()];
        out.append(char(f));
        for (int i = 0; i < rowBytes; ++i)
            out.append(
                char(at(y, i) - predictor(f, at(y, i - bpp), at(y - 1, i), at(y - 1, i - bpp))));
    }
    return out;
}

inline QByteArray randomBytes(qsizetype n, quint32 stream) {
    QRandomGenerator random(stream);
    QByteArray out(n, '\0');
    for (char& c : out)
        c = char(random.bounded(256));
    return out;
}

// A whole file: header, `before` (chunks before the image data), the stream cut into IDAT
// chunks of `split` bytes (one chunk when 0), `after`, and the end marker.
inline QByteArray file(const QByteArray& ihdr, const QByteArray& stream,
                       const QByteArray& before = {}, qsizetype split = 0,
                       const QByteArray& after = {}) {
    QByteArray out = signature() + ihdr + before;
    if (split <= 0) split = qMax<qsizetype>(stream.size(), 1);
    qsizetype pos = 0;
    do {
        out += chunk("IDAT", stream.mid(pos, split));
        pos += split;
    } while (pos < stream.size());
    return out + after + chunk("IEND", {});
}

// Qt's own reading and writing, the decoder's measure.
inline QImage qtDecode(const QByteArray& bytes) {
    QImage image;
    image.loadFromData(bytes, "PNG");
    return image;
}

inline QImage comparable(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32);
}

inline QByteArray qtEncoded(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Noise over a gradient: flat runs and jumps, so that each Paeth choice comes up.
inline QImage screenshotLike(int width, int height, QImage::Format format, quint32 stream) {
    QImage image(width, height, format);
    QRandomGenerator random(stream);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool noisy = (x / 16 + y / 8) % 3 == 0;
            const QColor c = noisy ? QColor(int(random.bounded(256)), int(random.bounded(256)),
                                            int(random.bounded(256)), int(random.bounded(256)))
                                   : QColor(x * 7 % 256, y * 5 % 256, (x + y) % 256, 200);
            image.setPixelColor(x, y, c);
        }
    return image;
}

}  // namespace png
