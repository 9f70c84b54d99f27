#include "launcher/games/PngDecoder.h"

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

uchar paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return uchar(pa <= pb && pa <= pc ? a : (pb <= pc ? b : c));
}

void paethRowPlain(uchar* cur, const uchar* prev, qsizetype n, int bpp) {
    for (qsizetype i = 0; i < bpp; ++i)
        cur[i] = uchar(cur[i] + prev[i]);  // no left pixel: Paeth picks the one above
    for (qsizetype i = bpp; i < n; ++i)
        cur[i] = uchar(cur[i] + paeth(cur[i - bpp], prev[i], prev[i - bpp]));
}

#if defined(__SSE2__)
// One pixel's samples in 16-bit lanes, the whole pixel at once: Paeth's chain runs from
// each pixel to the next, so the samples of one pixel are all there is to do side by side.
template <int Bpp>
__m128i loadPixel(const uchar* p) {
    quint32 v = 0;
    if constexpr (Bpp == 4)
        std::memcpy(&v, p, 4);
    else
        v = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16;
    return _mm_cvtsi32_si128(int(v));
}

template <int Bpp>
void storePixel(uchar* p, __m128i pixel) {
    const auto v = quint32(_mm_cvtsi128_si32(pixel));
    if constexpr (Bpp == 4) {
        std::memcpy(p, &v, 4);
    } else {
        p[0] = uchar(v);
        p[1] = uchar(v >> 8);
        p[2] = uchar(v >> 16);
    }
}

__m128i abs16(__m128i x) {
    return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x));
}

// One pixel from its left (a), upper (b) and upper left (c) neighbours, 16 bits a sample,
// and its filtered bytes; the pixel comes back as bytes.
inline __m128i paethPixel(__m128i a, __m128i b, __m128i c, __m128i filtered) {
    const __m128i bc = _mm_sub_epi16(b, c);
    const __m128i ac = _mm_sub_epi16(a, c);
    const __m128i pa = abs16(bc);
    const __m128i pb = abs16(ac);
    const __m128i pc = abs16(_mm_add_epi16(bc, ac));
    const __m128i least = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
    const __m128i useA = _mm_cmpeq_epi16(least, pa);
    const __m128i useB = _mm_cmpeq_epi16(least, pb);
    const __m128i bOrC = _mm_or_si128(_mm_and_si128(useB, b), _mm_andnot_si128(useB, c));
    const __m128i pred = _mm_or_si128(_mm_and_si128(useA, a), _mm_andnot_si128(useA, bOrC));
    return _mm_add_epi8(_mm_packus_epi16(pred, pred), filtered);
}

template <int Bpp>
void paethRowSse2(uchar* cur, const uchar* prev, qsizetype n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero, c = zero;
    for (qsizetype i = 0; i < n; i += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(loadPixel<Bpp>(prev + i), zero);
        const __m128i pixel = paethPixel(a, b, c, loadPixel<Bpp>(cur + i));
        storePixel<Bpp>(cur + i, pixel);
        a = _mm_unpacklo_epi8(pixel, zero);
        c = b;
    }
}

// Sub and Average have the same chain from pixel to pixel as Paeth, only shorter.
template <int Bpp>
void subRowSse2(uchar* cur, qsizetype n) {
    __m128i a = _mm_setzero_si128();
    for (qsizetype i = 0; i < n; i += Bpp) {
        a = _mm_add_epi8(a, loadPixel<Bpp>(cur + i));
        storePixel<Bpp>(cur + i, a);
    }
}

template <int Bpp>
void averageRowSse2(uchar* cur, const uchar* prev, qsizetype n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero;
    for (qsizetype i = 0; i < n; i += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(loadPixel<Bpp>(prev + i), zero);
        const __m128i mean = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
        const __m128i pixel = _mm_add_epi8(_mm_packus_epi16(mean, mean), loadPixel<Bpp>(cur + i));
        storePixel<Bpp>(cur + i, pixel);
        a = _mm_unpacklo_epi8(pixel, zero);
    }
}

// Two Paeth rows, one under the other, side by side: each pixel waits for the one on its
// left, so one row alone leaves the processor idle most of the time; the second row's
// chain fills it, a pixel behind the first's.
template <int Bpp>
void paethPairSse2(uchar* first, const uchar* prev, uchar* second, qsizetype n) {
    const __m128i zero = _mm_setzero_si128();
    __m128i a0 = zero, c0 = zero, a1 = zero, c1 = zero;
    for (qsizetype i = 0; i < n; i += Bpp) {
        const __m128i b0 = _mm_unpacklo_epi8(loadPixel<Bpp>(prev + i), zero);
        const __m128i upper = paethPixel(a0, b0, c0, loadPixel<Bpp>(first + i));
        storePixel<Bpp>(first + i, upper);
        const __m128i b1 = _mm_unpacklo_epi8(upper, zero);
        const __m128i lower = paethPixel(a1, b1, c1, loadPixel<Bpp>(second + i));
        storePixel<Bpp>(second + i, lower);
        a0 = b1;
        c0 = b0;
        a1 = _mm_unpacklo_epi8(lower, zero);
        c1 = b1;
    }
}
#endif

void paethRow(uchar* cur, const uchar* prev, qsizetype n, int bpp) {
#if defined(__SSE2__)
    if (bpp == 4) return paethRowSse2<4>(cur, prev, n);
    if (bpp == 3) return paethRowSse2<3>(cur, prev, n);
#endif
    paethRowPlain(cur, prev, n, bpp);
}

// Both rows at once when there is a way to do it faster than one after the other.
bool paethPair(uchar* first, const uchar* prev, uchar* second, qsizetype n, int bpp) {
#if defined(__SSE2__)
    if (bpp == 4) return paethPairSse2<4>(first, prev, second, n), true;
    if (bpp == 3) return paethPairSse2<3>(first, prev, second, n), true;
#endif
    (void)first, (void)prev, (void)second, (void)n, (void)bpp;
    return false;
}

// Undoes one row's filter in place; `prev` is the row above, already undone (zeros above
// the first).
bool unfilter(uchar filter, uchar* cur, const uchar* prev, qsizetype n, int bpp) {
    switch (filter) {
        case 0:
            return true;
        case 1:
#if defined(__SSE2__)
            if (bpp == 4) return subRowSse2<4>(cur, n), true;
            if (bpp == 3) return subRowSse2<3>(cur, n), true;
#endif
            for (qsizetype i = bpp; i < n; ++i)
                cur[i] = uchar(cur[i] + cur[i - bpp]);
            return true;
        case 2: {
            qsizetype i = 0;
#if defined(__SSE2__)
            // The row above is in the same buffer: the compiler cannot tell it never overlaps.
            for (; i + 16 <= n; i += 16) {
                const __m128i sum =
                    _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + i)),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(cur + i), sum);
            }
#endif
            for (; i < n; ++i)
                cur[i] = uchar(cur[i] + prev[i]);
            return true;
        }
        case 3:
#if defined(__SSE2__)
            if (bpp == 4) return averageRowSse2<4>(cur, prev, n), true;
            if (bpp == 3) return averageRowSse2<3>(cur, prev, n), true;
#endif
            for (qsizetype i = 0; i < bpp; ++i)
                cur[i] = uchar(cur[i] + (prev[i] >> 1));
            for (qsizetype i = bpp; i < n; ++i)
                cur[i] = uchar(cur[i] + ((cur[i - bpp] + prev[i]) >> 1));
            return true;
        case 4:
            paethRow(cur, prev, n, bpp);
            return true;
        default:
            return false;
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
    std::unique_ptr<uchar[]> joined;
    if (chunks->data.size() > 1) {
        joined.reset(new (std::nothrow) uchar[std::size_t(chunks->dataBytes)]);
        if (!joined) return std::nullopt;
        uchar* to = joined.get();
        for (const QByteArrayView part : chunks->data) {
            std::memcpy(to, part.data(), std::size_t(part.size()));
            to += part.size();
        }
        stream = joined.get();
    }
    std::unique_ptr<uchar[]> rows(new (std::nothrow) uchar[std::size_t(total)]);
    Decompressor inflater;
    if (!rows || !inflater.d) return std::nullopt;
    std::size_t used = 0;
    // Exactly the rows the header promises, and nothing after the stream.
    if (libdeflate_zlib_decompress_ex(inflater.d, stream, std::size_t(chunks->dataBytes),
                                      rows.get(), std::size_t(total), &used,
                                      nullptr) != LIBDEFLATE_SUCCESS ||
        used != std::size_t(chunks->dataBytes))
        return std::nullopt;
    joined.reset();
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
        uchar* row = rows.get() + stride * y;
        uchar* cur = row + 1;
        const uchar* prev = y == 0 ? zeros.get() : cur - stride;
        qsizetype done = 1;
        if (row[0] == 4 && y + 1 < height && row[stride] == 4 &&
            paethPair(cur, prev, cur + stride, rowBytes, header->channels))
            done = 2;
        else if (!unfilter(row[0], cur, prev, rowBytes, header->channels))
            return std::nullopt;
        for (qsizetype k = 0; k < done; ++k)
            if (!expandRow(cur + k * stride, image.scanLine(int(y + k)), width, header->colourType,
                           palette))
                return std::nullopt;
        y += done;
    }
    return image;
}
