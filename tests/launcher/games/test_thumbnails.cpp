// The shared thumbnail cache as file managers keep it (names, freshness, safe writing,
// writes that stop when the user has moved on) and the PNG decoder against Qt's own
// reader, pixel for pixel.

#include "checksum/Crc32Kernel.h"
#include "launcher/games/PictureLoader.h"
#include "launcher/games/PngDecoder.h"
#include "launcher/games/Thumbnails.h"
#include "platform/FileNames.h"
#include "support/Pictures.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <functional>

namespace {

constexpr qint64 kAnySize = 1LL << 40;

// A PNG written chunk by chunk, for what Qt's writer never makes: interlaced pictures,
// palettes with transparency, 16-bit samples with tRNS, text after the image data.
struct RawPng {
    int width = 0, height = 0, bitDepth = 8, colorType = 2;
    bool interlaced = false;
    QByteArray palette, transparency;
    // The sample bytes of pixel (x, y), `bytesPerPixel` of them.
    std::function<QByteArray(int x, int y)> pixel;
    // tEXt chunks ("key\0text") before and after the image data.
    QByteArrayList textBefore = {}, textAfter = {};

    static QByteArray chunk(const char* type, const QByteArray& data) {
        QByteArray out;
        const auto be32 = [&out](quint32 v) {
            for (int s = 24; s >= 0; s -= 8)
                out.append(char((v >> s) & 0xff));
        };
        be32(quint32(data.size()));
        const QByteArray body = QByteArray(type) + data;
        out.append(body);
        be32(crckernel::crc32Update(0xffffffffu,
                                    reinterpret_cast<const std::uint8_t*>(body.constData()),
                                    std::size_t(body.size())) ^
             0xffffffffu);
        return out;
    }
    QByteArray rows(int x0, int y0, int dx, int dy) const {
        QByteArray raw;
        for (int y = y0; y < height; y += dy) {
            if (x0 >= width) break;
            raw.append('\0');  // no filter
            for (int x = x0; x < width; x += dx)
                raw.append(pixel(x, y));
        }
        return raw;
    }
    QByteArray bytes() const {
        QByteArray ihdr;
        for (int v : {width, height})
            for (int s = 24; s >= 0; s -= 8)
                ihdr.append(char((v >> s) & 0xff));
        ihdr.append(char(bitDepth)).append(char(colorType)).append('\0').append('\0');
        ihdr.append(char(interlaced ? 1 : 0));
        QByteArray raw;
        if (!interlaced) {
            raw = rows(0, 0, 1, 1);
        } else {
            const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                      {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
            for (const auto& p : passes)
                raw.append(rows(p[0], p[1], p[2], p[3]));
        }
        // qCompress gives a zlib stream after four bytes of length.
        const QByteArray packed = qCompress(raw).mid(4);
        QByteArray png("\x89PNG\r\n\x1a\n", 8);
        png.append(chunk("IHDR", ihdr));
        if (!palette.isEmpty()) png.append(chunk("PLTE", palette));
        if (!transparency.isEmpty()) png.append(chunk("tRNS", transparency));
        for (const QByteArray& text : textBefore)
            png.append(chunk("tEXt", text));
        png.append(chunk("IDAT", packed));
        for (const QByteArray& text : textAfter)
            png.append(chunk("tEXt", text));
        png.append(chunk("IEND", {}));
        return png;
    }
};

QByteArray be16(int v) {
    return QByteArray(1, char((v >> 8) & 0xff)) + QByteArray(1, char(v & 0xff));
}

TEST(PngDecoder, SamePixelsAsQtsReader) {
    struct Case {
        const char* what;
        RawPng png;
    };
    const auto rgb = [](int x, int y) {
        return QByteArray(1, char(x * 7)) + char(y * 13) + char((x ^ y) * 3);
    };
    const auto rgba = [](int x, int y) {
        return QByteArray(1, char(x * 7)) + char(y * 13) + char(x + y) + char((x * y) & 0xff);
    };
    const auto rgba16 = [](int x, int y) {
        return be16(x * 4001) + be16(y * 3001) + be16((x ^ y) * 999) + be16(65535 - x * y * 17);
    };
    const auto index = [](int x, int y) { return QByteArray(1, char((x + y) % 4)); };
    const auto grayAlpha = [](int x, int y) { return QByteArray(1, char(x * 9)) + char(y * 11); };
    const QByteArray palette("\xff\x00\x00\x00\xff\x00\x00\x00\xff\x80\x80\x80", 12);
    // clang-format off
    Case cases[] = {
        {"truecolour", {33, 17, 8, 2, false, {}, {}, rgb}},
        {"alpha", {33, 17, 8, 6, false, {}, {}, rgba}},
        {"16-bit with alpha", {21, 19, 16, 6, false, {}, {}, rgba16}},
        {"palette with transparency", {30, 9, 8, 3, false, palette, QByteArray("\x00\x80\xff", 3), index}},
        {"grey with alpha", {12, 12, 8, 4, false, {}, {}, grayAlpha}},
        {"truecolour with a transparent colour", {16, 16, 8, 2, false, {}, be16(0) + be16(0) + be16(0), rgb}},
        {"interlaced", {37, 23, 8, 2, true, {}, {}, rgb}},
        {"interlaced with alpha", {9, 5, 8, 6, true, {}, {}, rgba}},
        {"interlaced 16-bit", {11, 13, 16, 6, true, {}, {}, rgba16}},
        {"interlaced palette", {8, 8, 8, 3, true, palette, {}, index}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray bytes = c.png.bytes();
        const QImage qt = QImage::fromData(bytes, "PNG");
        ASSERT_FALSE(qt.isNull());
        PngTexts texts;
        const QImage spng = DecodePng(bytes, kAnySize, {}, &texts);
        ASSERT_EQ(spng.size(), qt.size());
        const QImage::Format common =
            c.png.bitDepth == 16 ? QImage::Format_RGBA64 : QImage::Format_ARGB32;
        const QImage a = qt.convertToFormat(common), b = spng.convertToFormat(common);
        int differing = 0;
        for (int y = 0; y < a.height(); ++y)
            differing += std::memcmp(a.constScanLine(y), b.constScanLine(y),
                                     size_t(a.width()) * (c.png.bitDepth == 16 ? 8 : 4)) != 0;
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(spng.hasAlphaChannel(), qt.hasAlphaChannel());
    }
}

TEST(PngDecoder, WhatItCannotDecodeItLeavesToQt) {
    TempFolder folder;
    const QByteArray good = encodedPicture({40, 20}, Qt::blue);
    QByteArray badCrc = good;
    badCrc[29] = char(badCrc[29] ^ 0x55);  // the IHDR's checksum
    struct Case {
        const char* what;
        QByteArray bytes;
        qint64 limit;
        bool decodes;
    };
    const Case cases[] = {
        {"a plain PNG", good, kAnySize, true},
        {"larger than allowed", good, 799, false},
        {"cut short", good.left(good.size() - 20), kAnySize, false},
        {"damaged header", badCrc, kAnySize, false},
        {"not a PNG", encodedPicture({4, 4}, Qt::red, "BMP"), kAnySize, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(!DecodePng(c.bytes, c.limit).isNull(), c.decodes);
    }
    // A decode that is no longer wanted stops with nothing.
    EXPECT_TRUE(DecodePng(good, kAnySize, [] { return false; }).isNull());
}

// ---- the thumbnail cache ----

TEST(Thumbnails, NamesFromTheFilesUri) {
    struct Case {
        QString path;
        QByteArray uri;
    };
    const Case cases[] = {
        {"/home/jens/photos/me.png", "file:///home/jens/photos/me.png"},
        {"/tmp/a b.png", "file:///tmp/a%20b.png"},
        {QString::fromUtf8("/tmp/é/ß.png"), "file:///tmp/%C3%A9/%C3%9F.png"},
        {"/tmp/100%#?;[x]{y}|\"<>^`\\.png",
         "file:///tmp/100%25%23%3F%3B%5Bx%5D%7By%7D%7C%22%3C%3E%5E%60%5C.png"},
        {"/tmp/keep-_.!~*'()@&=+$,:.png", "file:///tmp/keep-_.!~*'()@&=+$,:.png"},
        {platform::decodeName("/roms/Caf\xe9\x01\x7f.png"), "file:///roms/Caf%E9%01%7F.png"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ThumbnailUri(c.path), c.uri) << c.path.toStdString();
        EXPECT_EQ(ThumbnailFileName(c.path),
                  QCryptographicHash::hash(c.uri, QCryptographicHash::Md5).toHex() + ".png");
    }
    // The standard's own example, and one name worked out by another MD5.
    EXPECT_EQ(ThumbnailFileName("/home/jens/photos/me.png"),
              "c6ee772d9e49320e97ec29a7eb5b1697.png");
    EXPECT_EQ(ThumbnailFileName("/tmp/a b.png"), "f2584ab78dd95a88bd0d3f0ecaee7a8c.png");
}

// A thumbnail as a file manager writes it: the picture's URI and date in text chunks.
QByteArray thumbnailPng(const QSize& size, const QColor& color, const QByteArray& uri,
                        qint64 mtime) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    image.setText("Thumb::URI", QString::fromLatin1(uri));
    image.setText("Thumb::MTime", QString::number(mtime));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class ThumbnailCacheTest : public ::testing::Test {
protected:
    TempFolder home;
    QString root = home.file("cache/thumbnails");
    ThumbnailCache cache{root};
    qint64 mtime = 1500000000;
    QString picture;

    void SetUp() override {
        picture = home.write("roms/shots/Game (U).png", encodedPicture({1600, 900}, Qt::blue));
        ASSERT_TRUE(home.touch("roms/shots/Game (U).png", QDateTime::fromSecsSinceEpoch(mtime)));
    }
    void put(const char* folder, const QByteArray& bytes) {
        home.write(QString("cache/thumbnails/") + folder + "/" + ThumbnailFileName(picture), bytes);
    }
    static mode_t modeOf(const QString& path) {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
};

TEST_F(ThumbnailCacheTest, OnlyAFreshThumbnailLargeEnoughIsUsed) {
    struct Case {
        const char* what;
        const char* folder;
        QSize size;
        QByteArray uri;  // empty: the picture's own
        qint64 mtime;    // 0: the picture's own
        QSize shown;
        bool used;
    };
    // clang-format off
    const Case cases[] = {
        {"fresh", "x-large", {512, 288}, {}, 0, {400, 225}, true},
        {"fresh and exactly the shown size", "x-large", {512, 288}, {}, 0, {512, 288}, true},
        {"the picture changed since", "x-large", {512, 288}, {}, 1500000001, {400, 225}, false},
        {"another picture's", "x-large", {512, 288}, "file:///elsewhere/Game%20(U).png", 0, {400, 225}, false},
        {"too small for the shown size", "large", {256, 144}, {}, 0, {400, 225}, false},
        {"too small by a pixel", "xx-large", {1024, 576}, {}, 0, {1025, 577}, false},
        {"in the largest size", "xx-large", {1024, 576}, {}, 0, {700, 394}, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(root).removeRecursively();
        put(c.folder,
            thumbnailPng(c.size, Qt::green, c.uri.isEmpty() ? ThumbnailUri(picture) : c.uri,
                         c.mtime ? c.mtime : mtime));
        const QImage found = cache.find(picture, mtime, c.shown);
        EXPECT_EQ(!found.isNull(), c.used);
        if (c.used) {
            EXPECT_EQ(found.size(), c.size);
        }
    }
}

// A green 512 x 288 thumbnail with these text chunks.
QByteArray greenPng(const QByteArrayList& before, const QByteArrayList& after) {
    RawPng png{512,    288,  8,  2,
               false,  {},   {}, [](int, int) { return QByteArray("\x00\xc8\x00", 3); },
               before, after};
    return png.bytes();
}

TEST_F(ThumbnailCacheTest, ItsTextCountsBeforeOrAfterTheImageData) {
    const QByteArray uri = "Thumb::URI" + QByteArray(1, '\0') + ThumbnailUri(picture);
    const QByteArray fresh = "Thumb::MTime" + QByteArray(1, '\0') + QByteArray::number(mtime);
    const QByteArray stale = "Thumb::MTime" + QByteArray(1, '\0') + QByteArray::number(mtime - 1);
    const QByteArray other = "Thumb::URI" + QByteArray(1, '\0') + "file:///elsewhere/x.png";
    struct Case {
        const char* what;
        QByteArrayList before, after;
        bool used;
    };
    const Case cases[] = {
        {"both before", {uri, fresh}, {}, true},
        {"both after", {}, {uri, fresh}, true},
        {"split around the image data", {uri}, {fresh}, true},
        {"stale, after", {}, {uri, stale}, false},
        {"another picture's, after", {}, {other, fresh}, false},
        {"no text at all", {}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        put("x-large", greenPng(c.before, c.after));
        const QImage found = cache.find(picture, mtime, {400, 225});
        EXPECT_EQ(!found.isNull(), c.used);
        if (c.used) {
            EXPECT_EQ(found.pixelColor(5, 5), QColor(0, 200, 0));
        }
    }
}

TEST_F(ThumbnailCacheTest, TheSmallestFreshOneIsTakenAndBrokenOnesArePassedOver) {
    const QByteArray uri = ThumbnailUri(picture);
    put("large", thumbnailPng({256, 144}, Qt::red, uri, mtime));
    put("x-large", thumbnailPng({512, 288}, Qt::green, uri, mtime));
    put("xx-large", thumbnailPng({1024, 576}, Qt::yellow, uri, mtime));
    EXPECT_EQ(cache.find(picture, mtime, {300, 169}).size(), QSize(512, 288));
    EXPECT_EQ(cache.find(picture, mtime, {200, 113}).size(), QSize(256, 144));
    // Damaged, cut short or no PNG at all: the next size up serves.
    for (const QByteArray& broken : {thumbnailPng({512, 288}, Qt::green, uri, mtime).left(200),
                                     QByteArray("garbage"), QByteArray()}) {
        put("x-large", broken);
        EXPECT_EQ(cache.find(picture, mtime, {300, 169}).size(), QSize(1024, 576));
    }
    // A folder where a thumbnail should be is passed over too.
    QFile::remove(root + "/x-large/" + ThumbnailFileName(picture));
    QDir().mkpath(root + "/x-large/" + ThumbnailFileName(picture));
    EXPECT_EQ(cache.find(picture, mtime, {300, 169}).size(), QSize(1024, 576));
}

TEST_F(ThumbnailCacheTest, WrittenForTheUserAloneAndReadBack) {
    const QImage full = QImage::fromData(encodedPicture({1600, 900}, Qt::blue));
    ASSERT_EQ(ThumbnailCache::edgeFor({1600, 900}, {400, 225}), 512);
    EXPECT_EQ(ThumbnailCache::edgeFor({1600, 900}, {200, 113}), 256);
    EXPECT_EQ(ThumbnailCache::edgeFor({1600, 900}, {1100, 619}), 0);  // beyond the largest
    EXPECT_EQ(ThumbnailCache::edgeFor({500, 300}, {400, 240}), 0);    // no smaller than itself
    ASSERT_TRUE(cache.store(picture, mtime, full, {1600, 900}, 512));
    const QString written = root + "/x-large/" + ThumbnailFileName(picture);
    EXPECT_EQ(modeOf(written), 0600u);
    for (const QString& folder : {root, root + "/x-large"})
        EXPECT_EQ(modeOf(folder), 0700u) << folder.toStdString();
    // Nothing left aside: the one file, under its own name.
    EXPECT_EQ(QDir(root + "/x-large").entryList(QDir::Files | QDir::Hidden),
              QStringList{ThumbnailFileName(picture)});
    const QImage read(written);
    EXPECT_EQ(read.size(), QSize(512, 288));
    EXPECT_EQ(read.text("Thumb::URI").toLatin1(), ThumbnailUri(picture));
    EXPECT_EQ(read.text("Thumb::MTime"), "1500000000");
    EXPECT_EQ(read.text("Thumb::Image::Width"), "1600");
    EXPECT_EQ(cache.find(picture, mtime, {400, 225}).size(), QSize(512, 288));
}

// The user moving on stops a thumbnail wherever it is: before it starts, while it is being
// encoded, or while it is decoded again; nothing is left in the cache, not even a temporary.
TEST_F(ThumbnailCacheTest, AWriteTheUserHasLeftLeavesNothing) {
    const QImage full = QImage::fromData(encodedPicture({1600, 900}, Qt::blue));
    struct Case {
        const char* what;
        int answers;  // how many times `wanted` says yes before it says no
        bool written;
    };
    const Case cases[] = {
        {"left before it started", 0, false},
        {"left after the scaling", 2, false},
        {"left during the encoding", 4, false},
        {"stayed", 1 << 30, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(root).removeRecursively();
        int asked = 0;
        const std::function<bool()> wanted = [&] { return asked++ < c.answers; };
        EXPECT_EQ(cache.store(picture, mtime, full, {1600, 900}, 512, wanted), c.written);
        const QStringList left = QDir(root + "/x-large").entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left, c.written ? QStringList{ThumbnailFileName(picture)} : QStringList());
    }
    // By way of the picture's own load: the write it hands over obeys the same.
    QDir(root).removeRecursively();
    ThumbnailWrite write;
    LoadPictureCached(cache, picture, {400, 400}, nullptr, {}, &write);
    ASSERT_TRUE(write);
    write([] { return false; });
    EXPECT_FALSE(QDir(root + "/x-large").exists() &&
                 !QDir(root + "/x-large").isEmpty(QDir::Files | QDir::Hidden));
}

TEST_F(ThumbnailCacheTest, NeverForTheCachesOwnFilesAndFailingToWriteIsSilent) {
    const QString own = home.write("cache/thumbnails/xx-large/" + ThumbnailFileName(picture),
                                   encodedPicture({1024, 576}, Qt::red));
    const QImage image(own);
    EXPECT_TRUE(cache.holds(own));
    EXPECT_FALSE(cache.holds(home.file("cache/thumbnails-other/x.png")));
    EXPECT_FALSE(cache.store(own, mtime, image, image.size(), 256));
    ThumbnailWrite write;
    EXPECT_EQ(LoadPictureCached(cache, own, {200, 200}, nullptr, {}, &write).size(),
              QSize(1024, 576).scaled(200, 200, Qt::KeepAspectRatio));
    EXPECT_FALSE(write);
    EXPECT_FALSE(QDir(root + "/large").exists());

    // A cache that cannot be written: the picture shows all the same.
    const TempFolder other;
    const QString blocked = other.path() + "/thumbnails";
    QFile(blocked).open(QIODevice::WriteOnly);  // a file where the folder should be
    const ThumbnailCache unwritable(blocked);
    QSize fullSize;
    const QImage shown = LoadPictureCached(unwritable, picture, {400, 400}, &fullSize, {}, &write);
    EXPECT_EQ(shown.size(), QSize(400, 225));
    EXPECT_EQ(fullSize, QSize(1600, 900));
    ASSERT_TRUE(write);
    write({});
    EXPECT_TRUE(QFileInfo(blocked).isFile());
}

TEST_F(ThumbnailCacheTest, APictureSeenBeforeOpensFromItsThumbnailWhileItIsFresh) {
    ThumbnailWrite write;
    QSize fullSize;
    EXPECT_EQ(LoadPictureCached(cache, picture, {400, 400}, &fullSize, {}, &write).pixelColor(9, 9),
              QColor(Qt::blue));
    ASSERT_TRUE(write);
    write({});
    EXPECT_TRUE(QFile::exists(root + "/x-large/" + ThumbnailFileName(picture)));

    // New pixels under the old date: the thumbnail is what shows, at the shown size.
    home.write("roms/shots/Game (U).png", encodedPicture({1600, 900}, Qt::red));
    home.touch("roms/shots/Game (U).png", QDateTime::fromSecsSinceEpoch(mtime));
    const QImage cached = LoadPictureCached(cache, picture, {400, 400}, &fullSize, {}, &write);
    EXPECT_EQ(cached.size(), QSize(400, 225));
    EXPECT_EQ(fullSize, QSize(1600, 900));
    EXPECT_EQ(cached.pixelColor(9, 9), QColor(Qt::blue));
    EXPECT_FALSE(write);
    // Shown larger than the thumbnail: the picture itself.
    EXPECT_EQ(LoadPictureCached(cache, picture, {1000, 1000}, nullptr, {}, &write).pixelColor(9, 9),
              QColor(Qt::red));
    // The date changed: the thumbnail is stale.
    home.touch("roms/shots/Game (U).png", QDateTime::fromSecsSinceEpoch(mtime + 60));
    EXPECT_EQ(LoadPictureCached(cache, picture, {400, 400}, nullptr, {}, &write).pixelColor(9, 9),
              QColor(Qt::red));
}

}  // namespace
