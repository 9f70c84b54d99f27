// The fast PNG path reads pictures as Qt does, pixel for pixel, or leaves them to Qt.

#include "imaging/PngDecoder.h"
#include "support/PngBuilder.h"
#include "support/QtPrinters.h"

#include <QImage>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using png::comparable, png::qtDecode, png::qtEncoded, png::screenshotLike;

// A fast decode of `bytes`, when there is one, is Qt's picture: its alpha and its pixels.
void expectAsQt(const std::optional<QImage>& fast, const QByteArray& bytes) {
    if (!fast) return;
    const QImage qt = qtDecode(bytes);
    ASSERT_FALSE(qt.isNull()) << "read a file Qt refuses";
    EXPECT_EQ(fast->hasAlphaChannel(), qt.hasAlphaChannel());
    EXPECT_EQ(comparable(*fast), comparable(qt));
}

void expectAgrees(const QByteArray& bytes) {
    expectAsQt(decodePngBytes(bytes), bytes);
}

constexpr int kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6;

int channelsOf(int colourType) {
    return colourType == kRgb ? 3 : colourType == kGreyAlpha ? 2 : colourType == kRgba ? 4 : 1;
}

// `bytes` with the byte at `at` (from the end when negative) xor `mask`.
QByteArray flipped(QByteArray bytes, qsizetype at, int mask) {
    if (at < 0) at += bytes.size();
    bytes[at] = char(bytes[at] ^ mask);
    return bytes;
}

// A palette of `entries` colours, with alpha for the first `clear` of them.
QByteArray paletteChunks(int entries, int clear) {
    QByteArray plte, trns;
    for (int i = 0; i < entries; ++i) {
        plte.append(char(i * 37)).append(char(255 - i)).append(char(i * 11));
        if (i < clear) trns.append(char(i * 53 % 256));
    }
    return png::chunk("PLTE", plte) + (clear ? png::chunk("tRNS", trns) : QByteArray());
}

// A hand-built picture of random samples, every filter on every row position.
struct Built {
    QByteArray bytes;
    QByteArray stream;  // the image data, deflated
};

Built built(int width, int height, int colourType, const std::vector<int>& filters,
            int paletteEntries = 256, int clear = 0, quint32 randomStream = 7) {
    const int channels = channelsOf(colourType);
    QByteArray pixels = png::randomBytes(qsizetype(width) * height * channels, randomStream);
    if (colourType == kPalette)
        for (char& c : pixels)
            c = char(uchar(c) % paletteEntries);
    const QByteArray stream =
        png::deflated(png::filtered(pixels, width * channels, channels, filters));
    const QByteArray before =
        colourType == kPalette ? paletteChunks(paletteEntries, clear) : QByteArray();
    return {png::file(png::header(quint32(width), quint32(height), colourType), stream, before),
            stream};
}

}  // namespace

TEST(PngDecoder, HandBuiltPicturesReadAsQtReadsThem) {
    struct Kind {
        const char* what;
        int colourType, paletteEntries, clear;
    };
    const Kind kinds[] = {{"grey", kGrey, 0, 0},
                          {"RGB", kRgb, 0, 0},
                          {"palette", kPalette, 200, 0},
                          {"palette with alpha for some entries", kPalette, 256, 100},
                          {"grey and alpha", kGreyAlpha, 0, 0},
                          {"RGBA", kRgba, 0, 0}};
    // One filter throughout (the first row too, with nothing above), then all mixed.
    const std::vector<std::vector<int>> filterRuns = {{0}, {1}, {2}, {3}, {4}, {4, 3, 2, 1, 0}};
    const int widths[] = {1, 2, 3, 7, 33};
    for (const Kind& k : kinds)
        for (const std::vector<int>& filters : filterRuns)
            for (int width : widths) {
                SCOPED_TRACE(testing::Message() << k.what << ", filter " << filters.front()
                                                << " first, width " << width);
                const Built b = built(width, 7, k.colourType, filters, k.paletteEntries, k.clear,
                                      quint32(width * 31 + filters.front()));
                const std::optional<QImage> fast = decodePngBytes(b.bytes);
                ASSERT_TRUE(fast.has_value());
                expectAsQt(fast, b.bytes);
                // Qt's palette pictures come indexed.
                if (k.colourType != kPalette) {
                    EXPECT_EQ(fast->format(), qtDecode(b.bytes).format());
                }
            }
}

// Paeth ties, made on purpose, go left then up on the narrow pixels' plain path.
TEST(PngDecoder, PaethTiesGoLeftThenUp) {
    struct Tie {
        const char* what;
        int left, above, upperLeft;
    };
    const Tie ties[] = {{"left and upper left equally near", 30, 0, 10},
                        {"above and upper left equally near", 0, 30, 10}};
    for (const Tie& t : ties)
        for (const int colourType : {kGrey, kGreyAlpha}) {
            SCOPED_TRACE(testing::Message() << t.what << ", colour type " << colourType);
            const int channels = channelsOf(colourType);
            QByteArray pixels;
            for (const int sample : {t.upperLeft, t.above, t.left, t.left ^ t.above})
                pixels.append(QByteArray(channels, char(sample)));
            const QByteArray stream =
                png::deflated(png::filtered(pixels, 2 * channels, channels, {4}));
            const QByteArray bytes = png::file(png::header(2, 2, colourType), stream, QByteArray());
            expectAgrees(bytes);
            EXPECT_TRUE(decodePngBytes(bytes));
        }
}

// One decoder kept from picture to picture, as the loader's threads keep theirs.
TEST(PngDecoder, OneDecoderReadsPictureAfterPicture) {
    const Built small = built(5, 4, kRgba, {4, 1});
    const Built wide = built(300, 20, kRgb, {0, 1, 2, 3, 4});
    const auto opaque = [](int width, int height, quint32 stream) {
        return screenshotLike(width, height, QImage::Format_RGB32, stream);
    };
    const struct {
        const char* what;
        QByteArray bytes;
        bool fast;
    } pictures[] = {
        {"wide", wide.bytes, true},
        {"small", small.bytes, true},
        {"one byte a chunk", png::file(png::header(300, 20, kRgb), wide.stream, {}, 1), true},
        {"damaged", flipped(wide.bytes, -20, 0xff), false},
        {"small, 3 bytes a chunk", png::file(png::header(5, 4, kRgba), small.stream, {}, 3), true},
        {"Qt's opaque screenshot", qtEncoded(opaque(331, 97, 1)), true},
        {"Qt's, with alpha", qtEncoded(screenshotLike(129, 65, QImage::Format_ARGB32, 2)), true},
        {"Qt's grey", qtEncoded(opaque(77, 40, 3).convertToFormat(QImage::Format_Grayscale8)),
         true},
        {"Qt's palette",
         qtEncoded(opaque(64, 30, 4).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)),
         true},
        {"Qt's one pixel", qtEncoded(opaque(1, 1, 5)), true},
        {"small again", small.bytes, true},
    };
    PngDecoder decoder;
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.what);
        const std::optional<QImage> kept = decoder.decode(p.bytes);
        ASSERT_EQ(kept.has_value(), p.fast);
        expectAsQt(kept, p.bytes);
    }
}

TEST(PngDecoder, FilesItDoesNotTakeAreLeftToQt) {
    const Built rgb = built(9, 5, kRgb, {4, 2});
    const QByteArray ihdr = png::header(9, 5, kRgb);
    const QByteArray ancillary = png::chunk("tEXt", QByteArray("Comment\0hi", 10));
    QByteArray badFilter = png::filtered(png::randomBytes(9 * 5 * 3, 1), 27, 3, {1});
    badFilter[28 * 2] = 5;
    const QByteArray rows = png::filtered(png::randomBytes(9 * 5 * 3, 2), 27, 3, {0});
    const Built paletteOf4 = built(8, 8, kPalette, {0}, 4);
    QByteArray outOfPalette = png::filtered(png::randomBytes(64, 3), 8, 1, {0});
    for (qsizetype i = 0; i < outOfPalette.size(); ++i)
        if (i % 9 != 0) outOfPalette[i] = char(uchar(outOfPalette[i]) % 4);
    outOfPalette[20] = 4;  // one past the last entry
    const QByteArray zlibTail = png::deflated(rows) + QByteArray("\0\0", 2);

    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"16 bits a sample", png::file(png::header(9, 5, kRgb, 16), png::deflated(rows + rows))},
        {"interlaced", png::file(png::header(9, 5, kRgb, 8, 1), rgb.stream)},
        {"4-bit palette",
         png::file(png::header(9, 5, kPalette, 4), rgb.stream, paletteChunks(16, 0))},
        {"one colour of RGB clear",
         png::file(ihdr, rgb.stream, png::chunk("tRNS", QByteArray(6, '\1')))},
        {"colour profile", png::file(ihdr, rgb.stream, png::chunk("iCCP", QByteArray("x\0\0", 3)))},
        {"turned by its Exif", png::file(ihdr, rgb.stream, png::chunk("eXIf", "MM\0*"))},
        {"unknown critical chunk", png::file(ihdr, rgb.stream, png::chunk("ABCD", "x"))},
        {"header chunk twice", png::file(ihdr, rgb.stream, ihdr.mid(0))},
        {"palette picture without a palette",
         png::file(png::header(8, 8, kPalette), paletteOf4.stream)},
        {"palette on grey", png::file(png::header(9, 5, kGrey), rgb.stream, paletteChunks(4, 0))},
        {"pixel past the palette's end",
         png::file(png::header(8, 8, kPalette), png::deflated(outOfPalette), paletteChunks(4, 0))},
        {"wrong CRC on the image data", flipped(rgb.bytes, -13, 1)},
        {"wrong CRC on the header", flipped(rgb.bytes, 32, 0x40)},
        {"wrong CRC on the palette", flipped(paletteOf4.bytes, 33 + 8, 1)},  // its first byte
        {"image data interrupted", png::file(ihdr, rgb.stream.left(10), {}, 0,
                                             ancillary + png::chunk("IDAT", rgb.stream.mid(10)))},
        {"filter 5", png::file(ihdr, png::deflated(badFilter))},
        {"stream a row short", png::file(ihdr, png::deflated(rows.left(rows.size() - 28)))},
        {"stream a byte short", png::file(ihdr, png::deflated(rows.left(rows.size() - 1)))},
        {"stream a byte long", png::file(ihdr, png::deflated(rows + QByteArray(1, '\0')))},
        {"bytes after the stream", png::file(ihdr, zlibTail)},
        {"no end marker", rgb.bytes.left(rgb.bytes.size() - 12)},
        {"end marker with data",
         png::file(ihdr, rgb.stream).left(rgb.bytes.size() - 12) + png::chunk("IEND", "x")},
        {"no image data", png::signature() + ihdr + png::chunk("IEND", {})},
        {"not a PNG", QByteArray("GIF89a") + rgb.bytes.mid(6)},
        {"width 0", png::file(png::header(0, 5, kRgb), rgb.stream)},
        {"empty", QByteArray()},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(decodePngBytes(c.bytes).has_value()) << c.what;
    // The same pieces, whole, are read.
    EXPECT_TRUE(decodePngBytes(png::file(ihdr, rgb.stream, ancillary, 0, ancillary)));
    EXPECT_TRUE(decodePngBytes(png::file(ihdr, png::deflated(rows))));
}

TEST(PngDecoder, ColourSpaceAsQtTagsIt) {
    const Built rgb = built(9, 5, kRgb, {4, 1});
    const QByteArray ihdr = png::header(9, 5, kRgb);
    const QByteArray srgb = png::chunk("sRGB", QByteArray(1, '\0'));
    const QByteArray gamma = png::chunk("gAMA", QByteArray::fromHex("0000b18f"));
    const QByteArray otherGamma = png::chunk("gAMA", QByteArray::fromHex("0000c350"));
    const QByteArray chromaticities = png::chunk("cHRM", QByteArray::fromHex("00007a2600008084"
                                                                             "0000fa00000080e8"
                                                                             "000075300000ea60"
                                                                             "00003a9800001770"));
    const struct {
        const char* what;
        QByteArray before;
        bool fast;
    } cases[] = {
        {"none", {}, true},
        {"sRGB", srgb, true},
        {"sRGB with its own gamma and primaries", srgb + gamma + chromaticities, true},
        {"gamma and primaries before sRGB", gamma + chromaticities + srgb, true},
        {"gamma alone", gamma, false},
        {"primaries alone", chromaticities, false},
        {"sRGB with another gamma", srgb + otherGamma, false},
        {"sRGB twice", srgb + srgb, false},
        {"sRGB of no known intent", png::chunk("sRGB", QByteArray(1, '\4')), false},
        {"sRGB after the palette", png::chunk("PLTE", QByteArray(3, '\1')) + srgb, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray bytes = png::file(ihdr, rgb.stream, c.before);
        const std::optional<QImage> fast = decodePngBytes(bytes);
        ASSERT_EQ(fast.has_value(), c.fast);
        if (fast) {
            EXPECT_TRUE(*fast == qtDecode(bytes));  // equal images: one colour space
        }
    }
}

TEST(PngDecoder, HugeDimensionsInATinyFileAreRefusedBeforeAnyBuffer) {
    // A few bytes of stream cannot hold gigabytes of rows: refused before they are asked for.
    const QByteArray stream = png::deflated(QByteArray(64, '\0'));
    const quint32 sizes[][2] = {{7680, 4320},    {1000000, 33},  {33, 1000000}, {3840, 8640},
                                {0x7fffffff, 1}, {65536, 65536}, {1000001, 1}};
    for (const auto& [w, h] : sizes)
        for (int colourType : {kGrey, kRgb, kRgba})
            EXPECT_FALSE(decodePngBytes(png::file(png::header(w, h, colourType), stream)))
                << w << "x" << h << " type " << colourType;
    EXPECT_EQ(fastPngSize(png::file(png::header(7680, 4320, kRgb), stream)), QSize(7680, 4320));
    EXPECT_EQ(fastPngSize(png::file(png::header(7681, 4320, kRgb), stream)), std::nullopt);
    EXPECT_EQ(fastPngSize(png::file(png::header(8, 8, kRgb, 16), stream)), std::nullopt);
}

TEST(PngDecoder, CutShortOrDamagedAnywhereItAgreesWithQtOrLeavesIt) {
    // Qt's writer: image data in several chunks, so that cuts fall inside and between them.
    const QByteArray whole = qtEncoded(screenshotLike(120, 90, QImage::Format_RGB32, 9));
    ASSERT_GE(whole.count("IDAT"), 2);
    for (qsizetype length = 0; length < whole.size(); length += length < 100 ? 1 : 97) {
        SCOPED_TRACE(length);
        expectAgrees(whole.left(length));
        if (HasFailure()) return;
    }
    const Built small = built(5, 4, kPalette, {4, 3, 1}, 16, 3);
    const QByteArray withText =
        png::file(png::header(5, 4, kPalette), small.stream,
                  paletteChunks(16, 3) + png::chunk("tEXt", QByteArray("Title\0x", 7)));
    for (qsizetype i = 0; i < withText.size(); ++i)
        for (uchar bit : {0x01, 0x80}) {
            SCOPED_TRACE(testing::Message() << "byte " << i << " bit " << int(bit));
            expectAgrees(flipped(withText, i, bit));
            if (HasFailure()) return;
        }
}

TEST(PngDecoder, StopsAtEveryStageWhenNoLongerWanted) {
    const Built b = built(3, 700, kRgb, {4, 1});
    int asked = 0;
    ASSERT_TRUE(decodePngBytes(b.bytes, [&] {
        ++asked;
        return true;
    }));
    // Asked before reading, after inflating and between its 700 rows.
    ASSERT_GE(asked, 4);
    for (int allowed = 0; allowed < asked; ++allowed) {
        SCOPED_TRACE(allowed);
        int calls = 0;
        EXPECT_FALSE(decodePngBytes(b.bytes, [&] { return calls++ < allowed; }));
        EXPECT_EQ(calls, allowed + 1);  // not asked again once it said no
    }
}
