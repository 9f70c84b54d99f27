// libFuzzer entry for the fast PNG decoder: any bytes must end in a picture or a refusal,
// never a read past the bytes or a buffer larger than the bytes can fill, and a picture it
// reads must be the one Qt's reader makes of the same bytes.
//
// CRCs and the zlib stream's checksum would stop nearly every mutation at the first chunk,
// so the input is taken two ways: a file (by its signature) whose chunk CRCs are put right
// before decoding (the chunk walk, the header, the palette), or a few header fields and the
// raw filtered rows, deflated here into a well-formed file (the filters and the pixels).

#include "launcher/games/PngDecoder.h"

#include <libdeflate.h>

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

quint32 be32(const uchar* p) {
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

void putBe32(QByteArray& out, quint32 v) {
    for (int s = 24; s >= 0; s -= 8)
        out.append(char((v >> s) & 0xff));
}

void putChunk(QByteArray& out, const char* type, const QByteArray& data) {
    putBe32(out, quint32(data.size()));
    const QByteArray body = QByteArray(type, 4) + data;
    out += body;
    putBe32(out, quint32(libdeflate_crc32(0, body.constData(), std::size_t(body.size()))));
}

// Every chunk's CRC made to match, as far as the chunks' lengths stay inside the bytes.
QByteArray withCrcsRight(QByteArray bytes) {
    qsizetype pos = 8;
    auto* p = reinterpret_cast<uchar*>(bytes.data());
    while (bytes.size() - pos >= 12) {
        const quint32 length = be32(p + pos);
        if (qint64(length) > bytes.size() - pos - 12) break;
        const quint32 crc = quint32(libdeflate_crc32(0, p + pos + 4, std::size_t(length) + 4));
        for (int i = 0; i < 4; ++i)
            p[pos + 8 + qsizetype(length) + i] = uchar(crc >> (24 - 8 * i));
        pos += 12 + qsizetype(length);
    }
    return bytes;
}

// data[0..3]: width - 1, colour type (by index), palette entries - 1, split of the image
// data; then for a palette picture 3 bytes an entry and one alpha each; the rest are the
// rows with their filter bytes, as many whole rows as there are.
QByteArray builtFile(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return {};
    static const int kTypes[] = {0, 2, 3, 4, 6};
    static const int kChannels[] = {1, 3, 1, 2, 4};
    const int width = data[0] + 1;
    const int which = data[1] % 5;
    const int colourType = kTypes[which], channels = kChannels[which];
    const int entries = data[2] + 1;
    const std::size_t split = std::size_t(data[3]) * 16 + 1;
    std::size_t pos = 4;
    QByteArray palette, alpha;
    if (colourType == 3) {
        if (size - pos < std::size_t(entries) * 4) return {};
        palette = QByteArray(reinterpret_cast<const char*>(data + pos), entries * 3);
        alpha = QByteArray(reinterpret_cast<const char*>(data + pos + entries * 3), entries);
        pos += std::size_t(entries) * 4;
    }
    const std::size_t stride = std::size_t(width) * std::size_t(channels) + 1;
    const std::size_t height = (size - pos) / stride;
    if (height == 0) return {};
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(1);
    QByteArray stream(qsizetype(libdeflate_zlib_compress_bound(compressor, height * stride)), '\0');
    stream.resize(qsizetype(libdeflate_zlib_compress(compressor, data + pos, height * stride,
                                                     stream.data(), std::size_t(stream.size()))));
    libdeflate_free_compressor(compressor);
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr;
    putBe32(ihdr, quint32(width));
    putBe32(ihdr, quint32(height));
    ihdr.append(char(8)).append(char(colourType)).append(3, '\0');
    putChunk(out, "IHDR", ihdr);
    if (colourType == 3) {
        putChunk(out, "PLTE", palette);
        putChunk(out, "tRNS", alpha);
    }
    for (qsizetype at = 0; at < stream.size(); at += qsizetype(split))
        putChunk(out, "IDAT", stream.mid(at, qsizetype(split)));
    putChunk(out, "IEND", {});
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const bool file = size >= 4 && std::memcmp(data, "\x89PNG", 4) == 0;
    const QByteArray bytes =
        file ? withCrcsRight(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)))
             : builtFile(data, size);
    const std::optional<QImage> fast = decodePngBytes(bytes);
    if (!fast) return 0;
    const std::optional<QSize> promised = fastPngSize(bytes);
    check(promised && fast->size() == *promised);
    // Deflate expands at most 1032 times: no picture here is larger than its bytes allow.
    check(qint64(fast->width()) * fast->height() <= qint64(bytes.size()) * 1032);
    // Only now Qt: its reader would allocate whatever a header claims.
    QImage qt;
    check(qt.loadFromData(bytes, "PNG"));
    check(fast->hasAlphaChannel() == qt.hasAlphaChannel());
    check(fast->convertToFormat(QImage::Format_ARGB32) ==
          qt.convertToFormat(QImage::Format_ARGB32));
    return 0;
}
