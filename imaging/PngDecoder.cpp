#include "imaging/PngDecoder.h"

#include "imaging/PngFilters.h"

#include <libdeflate.h>

#include <QColorSpace>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#endif

namespace {

constexpr unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
// Four 4K screens: anything larger is no screenshot, and Qt reads it row by row.
constexpr qint64 kMaxPixels = 3840LL * 2160LL * 4;
// The PNG library's own default limit on either side; wider files are refused there,
// so they must not turn into pictures here.
constexpr quint32 kMaxSide = 1000000;
// Deflate never expands one byte into more than 1032: a larger promise is a lie, found out
// before a buffer of that size is asked for.
constexpr qint64 kMaxInflateRatio = 1032;

constexpr quint32 tag(const char (&name)[5]) {
    return quint32(uchar(name[0])) << 24 | quint32(uchar(name[1])) << 16 |
           quint32(uchar(name[2])) << 8 | quint32(uchar(name[3]));
}

quint32 be32(const uchar* p) {
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

// The chunk's stored CRC covers its type and data.
bool crcMatches(const uchar* type, quint32 length) {
    return libdeflate_crc32(0, type, std::size_t(length) + 4) == be32(type + 4 + length);
}

struct Header {
    quint32 width = 0;
    quint32 height = 0;
    int colourType = 0;
    int channels = 0;  // bytes per pixel, at 8 bits a sample
};

std::optional<Header> readHeader(QByteArrayView bytes) {
    if (bytes.size() < 33) return std::nullopt;
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    if (std::memcmp(p, kSignature, sizeof kSignature) != 0) return std::nullopt;
    if (be32(p + 8) != 13 || be32(p + 12) != tag("IHDR") || !crcMatches(p + 12, 13))
        return std::nullopt;
    Header h;
    h.width = be32(p + 16);
    h.height = be32(p + 20);
    const int depth = p[24];
    h.colourType = p[25];
    const int compression = p[26], filtering = p[27], interlace = p[28];
    if (h.width < 1 || h.height < 1 || h.width > kMaxSide || h.height > kMaxSide ||
        qint64(h.width) * h.height > kMaxPixels)
        return std::nullopt;
    if (depth != 8 || compression != 0 || filtering != 0 || interlace != 0) return std::nullopt;
    switch (h.colourType) {
        case 0:
            h.channels = 1;
            break;  // grey
        case 2:
            h.channels = 3;
            break;  // RGB
        case 3:
            h.channels = 1;
            break;  // palette
        case 4:
            h.channels = 2;
            break;  // grey and alpha
        case 6:
            h.channels = 4;
            break;  // RGBA
        default:
            return std::nullopt;
    }
    return h;
}

// Where the image data lies, and the palette with its alpha.
struct Chunks {
    std::vector<QByteArrayView> data;
    qint64 dataBytes = 0;
    const uchar* palette = nullptr;
    int paletteSize = 0;
    const uchar* alpha = nullptr;
    int alphaSize = 0;
    // Colour space chunks: only sRGB, alone or with the gamma and chromaticities it implies,
    // is ours (Qt then tags the picture as sRGB); any other gamma or primaries are Qt's.
    bool srgb = false;
    bool gamma = false;
    bool chromaticities = false;
};

// What a writer that marks a picture as sRGB puts in gAMA and cHRM beside it.
constexpr uchar kSrgbGamma[4] = {0, 0, 0xb1, 0x8f};  // 45455: 1 / 2.2
constexpr uchar kSrgbChromaticities[32] = {0, 0, 0x7a, 0x26, 0, 0, 0x80, 0x84, 0, 0, 0xfa, 0x00,
                                           0, 0, 0x80, 0xe8, 0, 0, 0x75, 0x30, 0, 0, 0xea, 0x60,
                                           0, 0, 0x3a, 0x98, 0, 0, 0x17, 0x70};

bool isLetter(uchar c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Every chunk from the header to the end marker, to the letter of the format: whatever Qt's
// reader might read differently (or refuse) is reported as not ours.
std::optional<Chunks> walkChunks(QByteArrayView bytes, const Header& header) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype pos = 33;
    Chunks c;
    bool inData = false, dataDone = false;
    for (;;) {
        if (size - pos < 12) return std::nullopt;  // no end marker
        const quint32 length = be32(p + pos);
        if (length > 0x7fffffffu || qint64(length) > size - pos - 12) return std::nullopt;
        const uchar* type = p + pos + 4;
        const uchar* data = type + 4;
        if (!isLetter(type[0]) || !isLetter(type[1]) || !isLetter(type[2]) || !isLetter(type[3]))
            return std::nullopt;
        const quint32 name = be32(type);
        if (inData && name != tag("IDAT")) dataDone = true;
        switch (name) {
            case tag("IDAT"):
                if (dataDone || !crcMatches(type, length)) return std::nullopt;
                if (header.colourType == 3 && !c.palette) return std::nullopt;
                inData = true;
                c.data.emplace_back(reinterpret_cast<const char*>(data), qsizetype(length));
                c.dataBytes += length;
                break;
            case tag("IEND"):
                if (!inData || length != 0 || !crcMatches(type, length)) return std::nullopt;
                if ((c.gamma || c.chromaticities) && !c.srgb) return std::nullopt;
                return c;
            case tag("PLTE"):
                if (inData || c.palette || c.alpha || header.colourType == 0 ||
                    header.colourType == 4 || length == 0 || length % 3 != 0 || length > 768 ||
                    !crcMatches(type, length))
                    return std::nullopt;
                c.palette = data;
                c.paletteSize = int(length / 3);
                break;
            case tag("tRNS"):
                // On grey or RGB it names one colour as clear: left to Qt's reader.
                if (header.colourType != 3 || inData || !c.palette || c.alpha || length == 0 ||
                    qint64(length) > c.paletteSize || !crcMatches(type, length))
                    return std::nullopt;
                c.alpha = data;
                c.alphaSize = int(length);
                break;
            case tag("sRGB"):
                if (c.srgb || inData || c.palette || length != 1 || data[0] > 3 ||
                    !crcMatches(type, length))
                    return std::nullopt;
                c.srgb = true;
                break;
            case tag("gAMA"):
                if (c.gamma || inData || c.palette || length != sizeof kSrgbGamma ||
                    std::memcmp(data, kSrgbGamma, sizeof kSrgbGamma) != 0 ||
                    !crcMatches(type, length))
                    return std::nullopt;
                c.gamma = true;
                break;
            case tag("cHRM"):
                if (c.chromaticities || inData || c.palette ||
                    length != sizeof kSrgbChromaticities ||
                    std::memcmp(data, kSrgbChromaticities, sizeof kSrgbChromaticities) != 0 ||
                    !crcMatches(type, length))
                    return std::nullopt;
                c.chromaticities = true;
                break;
            // A picture that says how it is to be turned, or that brings its own colour
            // profile, goes the whole way through Qt's reader.
            case tag("eXIf"):
            case tag("iCCP"):
                return std::nullopt;
            default:
                // Bit 5 of the first letter: lower case marks a chunk a decoder may skip.
                if (!(type[0] & 0x20)) return std::nullopt;
                break;
        }
        pos += 12 + qsizetype(length);
    }
}

struct Decompressor {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Decompressor() { libdeflate_free_decompressor(d); }
};

// The colour of each palette entry as the picture shows it; entries past the palette are
// no colour at all, and a pixel that names one makes the file not ours.
struct Palette {
    quint32 colour[256] = {};
    int size = 0;
    bool clear = false;  // some entry is not opaque
};

Palette paletteOf(const Chunks& c) {
    Palette palette;
    palette.size = c.paletteSize;
    for (int i = 0; i < c.paletteSize; ++i) {
        const quint32 alpha = i < c.alphaSize ? c.alpha[i] : 255u;
        if (alpha != 255) palette.clear = true;
        palette.colour[i] = alpha << 24 | quint32(c.palette[3 * i]) << 16 |
                            quint32(c.palette[3 * i + 1]) << 8 | c.palette[3 * i + 2];
    }
    return palette;
}

// Four pixels at a time where the processor allows; each returns how many pixels it did,
// the rest left to the plain loop.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("ssse3"))) qsizetype rgbToRgb32Ssse3(const uchar* in, quint32* out,
                                                           qsizetype width) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    qsizetype x = 0;
    // 16 bytes read for 12 used: two pixels to spare at the end of the row.
    for (; x + 6 <= width; x += 4) {
        const __m128i rgb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_shuffle_epi8(rgb, order), opaque));
    }
    return x;
}

bool hasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

qsizetype rgbToRgb32Fast(const uchar* in, quint32* out, qsizetype width) {
#if defined(__x86_64__) || defined(__i386__)
    if (hasSsse3()) return rgbToRgb32Ssse3(in, out, width);
#endif
    (void)in, (void)out, (void)width;
    return 0;
}

qsizetype rgbaToArgb32Fast(const uchar* in, quint32* out, qsizetype width) {
    qsizetype x = 0;
#if defined(__SSE2__)
    // Red and blue change places; green and alpha stay.
    const __m128i greenAlpha = _mm_set1_epi32(int(0xff00ff00u));
    const __m128i low = _mm_set1_epi32(0xff);
    for (; x + 4 <= width; x += 4) {
        const __m128i rgba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * x));
        const __m128i red = _mm_slli_epi32(_mm_and_si128(rgba, low), 16);
        const __m128i blue = _mm_and_si128(_mm_srli_epi32(rgba, 16), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_and_si128(rgba, greenAlpha), _mm_or_si128(red, blue)));
    }
#endif
    (void)in, (void)out, (void)width;
    return x;
}

// One unfiltered row into the picture's scan line.
bool expandRow(const uchar* in, uchar* line, qsizetype width, int colourType,
               const Palette& palette) {
    auto* out = reinterpret_cast<quint32*>(line);
    switch (colourType) {
        case 0:
            std::memcpy(line, in, std::size_t(width));
            return true;
        case 2:
            for (qsizetype x = rgbToRgb32Fast(in, out, width); x < width; ++x)
                out[x] = 0xff000000u | quint32(in[3 * x]) << 16 | quint32(in[3 * x + 1]) << 8 |
                         in[3 * x + 2];
            return true;
        case 3: {
            uchar highest = 0;
            for (qsizetype x = 0; x < width; ++x)
                highest = std::max(highest, in[x]);
            if (highest >= palette.size) return false;
            for (qsizetype x = 0; x < width; ++x)
                out[x] = palette.colour[in[x]];
            return true;
        }
        case 4:
            for (qsizetype x = 0; x < width; ++x, in += 2)
                out[x] = quint32(in[1]) << 24 | quint32(in[0]) * 0x010101u;
            return true;
        case 6:
            for (qsizetype x = rgbaToArgb32Fast(in, out, width); x < width; ++x)
                out[x] = quint32(in[4 * x + 3]) << 24 | quint32(in[4 * x]) << 16 |
                         quint32(in[4 * x + 1]) << 8 | in[4 * x + 2];
            return true;
        default:
            return false;
    }
}

QImage::Format formatOf(int colourType, const Palette& palette) {
    switch (colourType) {
        case 0:
            return QImage::Format_Grayscale8;
        case 3:
            return palette.clear ? QImage::Format_ARGB32 : QImage::Format_RGB32;
        case 4:
        case 6:
            return QImage::Format_ARGB32;
        default:
            return QImage::Format_RGB32;
    }
}

// How many rows go by between two looks at whether the picture is still wanted.
constexpr qsizetype kRowsBetweenChecks = 64;

}  // namespace

std::optional<QSize> fastPngSize(QByteArrayView head) {
    const std::optional<Header> h = readHeader(head);
    if (!h) return std::nullopt;
    return QSize(int(h->width), int(h->height));
}

std::optional<QImage> decodePngBytes(QByteArrayView bytes, const std::function<bool()>& wanted) {
    return PngDecoder().decode(bytes, wanted);
}

uchar* PngDecoder::Buffer::atLeast(std::size_t bytes) {
    if (size < bytes) {
        data.reset();  // the old block goes first, so the two are never held together
        data.reset(new (std::nothrow) uchar[bytes]);
        size = data ? bytes : 0;
    }
    return data.get();
}

void PngDecoder::Buffer::trim() {
    if (size <= kKeptBytes) return;
    data.reset();
    size = 0;
}

std::optional<QImage> PngDecoder::decode(QByteArrayView bytes,
                                         const std::function<bool()>& wanted) {
    // Whatever way the decode ends, an outsized buffer is not kept for the next picture.
    struct Trim {
        PngDecoder& d;
        ~Trim() {
            d.m_rows.trim();
            d.m_joined.trim();
        }
    } trim{*this};
    const auto unwanted = [&] { return wanted && !wanted(); };
    if (unwanted()) return std::nullopt;
    const std::optional<Header> header = readHeader(bytes);
    if (!header) return std::nullopt;
    const std::optional<Chunks> chunks = walkChunks(bytes, *header);
    if (!chunks) return std::nullopt;

    const qsizetype width = header->width;
    const qsizetype rowBytes = width * header->channels;
    const qsizetype stride = rowBytes + 1;  // each row starts with its filter
    const qint64 total = qint64(stride) * header->height;
    if (total > (chunks->dataBytes + 8) * kMaxInflateRatio) return std::nullopt;

    // The image data as one stream: joined when it comes in several chunks.
    const uchar* stream = reinterpret_cast<const uchar*>(chunks->data.front().data());
    if (chunks->data.size() > 1) {
        uchar* joined = m_joined.atLeast(std::size_t(chunks->dataBytes));
        if (!joined) return std::nullopt;
        uchar* to = joined;
        for (const QByteArrayView part : chunks->data) {
            std::memcpy(to, part.data(), std::size_t(part.size()));
            to += part.size();
        }
        stream = joined;
    }
    uchar* const rows = m_rows.atLeast(std::size_t(total));
    Decompressor inflater;
    if (!rows || !inflater.d) return std::nullopt;
    std::size_t used = 0;
    // Exactly the rows the header promises, and nothing after the stream.
    if (libdeflate_zlib_decompress_ex(inflater.d, stream, std::size_t(chunks->dataBytes), rows,
                                      std::size_t(total), &used, nullptr) != LIBDEFLATE_SUCCESS ||
        used != std::size_t(chunks->dataBytes))
        return std::nullopt;
    if (unwanted()) return std::nullopt;

    const Palette palette = paletteOf(*chunks);
    QImage image(int(header->width), int(header->height), formatOf(header->colourType, palette));
    std::unique_ptr<uchar[]> zeros(new (std::nothrow) uchar[std::size_t(rowBytes)]());
    if (image.isNull() || !zeros) return std::nullopt;
    if (chunks->srgb) image.setColorSpace(QColorSpace::SRgb);
    const qsizetype height = header->height;
    for (qsizetype y = 0, nextCheck = kRowsBetweenChecks; y < height;) {
        if (y >= nextCheck) {
            if (unwanted()) return std::nullopt;
            nextCheck += kRowsBetweenChecks;
        }
        uchar* row = rows + stride * y;
        uchar* cur = row + 1;
        const uchar* prev = y == 0 ? zeros.get() : cur - stride;
        qsizetype done = 1;
        if (row[0] == 4 && y + 1 < height && row[stride] == 4 &&
            imaging::paethPair(cur, prev, cur + stride, rowBytes, header->channels))
            done = 2;
        else if (!imaging::unfilter(row[0], cur, prev, rowBytes, header->channels))
            return std::nullopt;
        for (qsizetype k = 0; k < done; ++k)
            if (!expandRow(cur + k * stride, image.scanLine(int(y + k)), width, header->colourType,
                           palette))
                return std::nullopt;
        y += done;
    }
    return image;
}
