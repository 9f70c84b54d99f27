// The shared thumbnail cache: names from the URI, only fresh large enough ones, what is written.

#include "launcher/games/PictureLoader.h"
#include "launcher/games/Thumbnails.h"
#include "platform/FileNames.h"
#include "support/Pictures.h"
#include "support/PngBuilder.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// A green 512x288 thumbnail with tEXt chunks before and after its data (Qt's only before).
QByteArray thumbnailWithText(const QByteArrayList& before, const QByteArrayList& after) {
    QByteArray rows;
    for (int y = 0; y < 288; ++y)
        rows += '\0' + QByteArray("\0\xc8\0", 3).repeated(512);  // no filter, (0, 200, 0)
    const auto texts = [](const QByteArrayList& list) {
        QByteArray out;
        for (const QByteArray& text : list)
            out += png::chunk("tEXt", text);
        return out;
    };
    return png::file(png::header(512, 288, 2), png::deflated(rows), texts(before), 0, texts(after));
}

TEST(Thumbnails, NamesFromTheFilesUri) {
    const std::pair<QString, QByteArray> cases[] = {
        {"/home/jens/photos/me.png", "file:///home/jens/photos/me.png"},
        {"/tmp/a b.png", "file:///tmp/a%20b.png"},
        {QString::fromUtf8("/tmp/é/ß.png"), "file:///tmp/%C3%A9/%C3%9F.png"},
        {"/tmp/100%#?;[x]{y}|\"<>^`\\.png",
         "file:///tmp/100%25%23%3F%3B%5Bx%5D%7By%7D%7C%22%3C%3E%5E%60%5C.png"},
        {"/tmp/keep-_.!~*'()@&=+$,:.png", "file:///tmp/keep-_.!~*'()@&=+$,:.png"},
        {platform::decodeName("/roms/Caf\xe9\x01\x7f.png"), "file:///roms/Caf%E9%01%7F.png"},
    };
    for (const auto& [path, uri] : cases)
        EXPECT_EQ(thumbnailUri(path), uri) << path.toStdString();
    // The name is the URI's MD5, as in the standard's own example.
    EXPECT_EQ(thumbnailFileName("/home/jens/photos/me.png"),
              "c6ee772d9e49320e97ec29a7eb5b1697.png");
}

// A thumbnail as a file manager writes it: the picture's URI and date in text chunks.
QByteArray thumbnailPng(const QSize& size, const QColor& color, const QByteArray& uri,
                        qint64 mtime) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    image.setText("Thumb::URI", QString::fromLatin1(uri));
    image.setText("Thumb::MTime", QString::number(mtime));
    return png::qtEncoded(image);
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
        home.write(QString("cache/thumbnails/") + folder + "/" + thumbnailFileName(picture), bytes);
    }
    static mode_t modeOf(const QString& path) {
        struct stat st;
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
};

TEST_F(ThumbnailCacheTest, OnlyAFreshThumbnailLargeEnoughIsUsed) {
    const QColor green(0, 200, 0);
    const QByteArray own = thumbnailUri(picture);
    const auto png = [&](const QSize& size, qint64 time = 0, const QByteArray& uri = {}) {
        return thumbnailPng(size, green, uri.isEmpty() ? own : uri, time ? time : mtime);
    };
    const QByteArray uri = "Thumb::URI" + QByteArray(1, '\0') + own;
    const QByteArray fresh = "Thumb::MTime" + QByteArray(1, '\0') + QByteArray::number(mtime);
    const QByteArray stale = "Thumb::MTime" + QByteArray(1, '\0') + QByteArray::number(mtime - 1);
    const QByteArray other = "Thumb::URI" + QByteArray(1, '\0') + "file:///elsewhere/x.png";
    const QSize none;
    // The folder it lies in, the size shown, the size found (invalid: none is used).
    // clang-format off
    const std::tuple<const char*, const char*, QByteArray, QSize, QSize> cases[] = {
        {"fresh", "x-large", png({512, 288}), {400, 225}, {512, 288}},
        {"fresh and exactly the shown size", "x-large", png({512, 288}), {512, 288}, {512, 288}},
        {"the picture changed since", "x-large", png({512, 288}, 1500000001), {400, 225}, none},
        {"another picture's", "x-large", png({512, 288}, 0, "file:///elsewhere/Game%20(U).png"),
         {400, 225}, none},
        {"too small for the shown size", "large", png({256, 144}), {400, 225}, none},
        {"too small by a pixel", "xx-large", png({1024, 576}), {1025, 577}, none},
        {"in a size large enough, a pixel short", "xx-large", png({1024, 575}), {1000, 576}, none},
        {"in the largest size", "xx-large", png({1024, 576}), {700, 394}, {1024, 576}},
        {"text both before", "x-large", thumbnailWithText({uri, fresh}, {}), {400, 225}, {512, 288}},
        {"text both after", "x-large", thumbnailWithText({}, {uri, fresh}), {400, 225}, {512, 288}},
        {"text split around the image", "x-large", thumbnailWithText({uri}, {fresh}), {400, 225}, {512, 288}},
        {"stale, after", "x-large", thumbnailWithText({}, {uri, stale}), {400, 225}, none},
        {"another picture's, after", "x-large", thumbnailWithText({}, {other, fresh}), {400, 225}, none},
        {"no text at all", "x-large", thumbnailWithText({}, {}), {400, 225}, none},
    };
    // clang-format on
    for (const auto& [what, folder, bytes, shown, size] : cases) {
        SCOPED_TRACE(what);
        QDir(root).removeRecursively();
        put(folder, bytes);
        const QImage found = cache.find(picture, mtime, shown);
        EXPECT_EQ(found.isNull() ? QSize() : found.size(), size);
        if (!found.isNull()) {
            EXPECT_EQ(found.pixelColor(5, 5), green);
        }
    }
}

TEST_F(ThumbnailCacheTest, TheSmallestFreshOneIsTakenAndBrokenOnesArePassedOver) {
    const QByteArray uri = thumbnailUri(picture);
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
    QFile::remove(root + "/x-large/" + thumbnailFileName(picture));
    QDir().mkpath(root + "/x-large/" + thumbnailFileName(picture));
    EXPECT_EQ(cache.find(picture, mtime, {300, 169}).size(), QSize(1024, 576));
}

TEST_F(ThumbnailCacheTest, AWriteTheUserHasLeftLeavesNothingAndOneThatStaysIsTheUsersAlone) {
    const QImage full = QImage::fromData(encodedPicture({1600, 900}, Qt::blue));
    // How many times `wanted` says yes before it says no; whether a thumbnail stays.
    const std::tuple<const char*, int, bool> cases[] = {
        {"left before it started", 0, false},
        {"left while it was scaled", 1, false},
        {"left while it was encoded", 2, false},
        {"stayed", 1 << 30, true},
    };
    for (const auto& [what, answers, written] : cases) {
        SCOPED_TRACE(what);
        QDir(root).removeRecursively();
        int asked = 0;
        const std::function<bool()> wanted = [&, answers = answers] { return asked++ < answers; };
        EXPECT_EQ(cache.store(picture, mtime, full, {1600, 900}, 512, wanted), written);
        const QStringList left = QDir(root + "/x-large").entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left, written ? QStringList{thumbnailFileName(picture)} : QStringList());
    }
    const QString written = root + "/x-large/" + thumbnailFileName(picture);
    EXPECT_EQ(modeOf(written), 0600u);
    for (const QString& folder : {root, root + "/x-large"})
        EXPECT_EQ(modeOf(folder), 0700u) << folder.toStdString();
    EXPECT_EQ(QImage(written).text("Thumb::Image::Width"), "1600");
    EXPECT_EQ(cache.find(picture, mtime, {400, 225}).size(), QSize(512, 288));
    ASSERT_EQ(ThumbnailCache::edgeFor({1600, 900}, {400, 225}), 512);
    EXPECT_EQ(ThumbnailCache::edgeFor({1600, 900}, {200, 113}), 256);
    EXPECT_EQ(ThumbnailCache::edgeFor({300, 900}, {100, 300}), 512);  // a tall one by its height
    EXPECT_EQ(ThumbnailCache::edgeFor({1600, 900}, {1100, 619}), 0);  // beyond the largest
    EXPECT_EQ(ThumbnailCache::edgeFor({500, 300}, {400, 240}), 0);    // no smaller than itself
    // By way of the picture's own load: the write it hands over obeys the same.
    QDir(root).removeRecursively();
    ThumbnailWrite write;
    loadPictureCached(cache, picture, {400, 400}, nullptr, {}, &write);
    ASSERT_TRUE(write);
    write([] { return false; });
    EXPECT_FALSE(QDir(root + "/x-large").exists() &&
                 !QDir(root + "/x-large").isEmpty(QDir::Files | QDir::Hidden));
}

TEST_F(ThumbnailCacheTest, NeverForTheCachesOwnFilesAndFailingToWriteIsSilent) {
    const QString own = home.write("cache/thumbnails/xx-large/" + thumbnailFileName(picture),
                                   encodedPicture({1024, 576}, Qt::red));
    const QImage image(own);
    EXPECT_TRUE(cache.holds(own));
    EXPECT_FALSE(cache.holds(home.file("cache/thumbnails-other/x.png")));
    EXPECT_FALSE(cache.store(own, mtime, image, image.size(), 256));
    ThumbnailWrite write;
    EXPECT_EQ(loadPictureCached(cache, own, {200, 200}, nullptr, {}, &write).size(),
              QSize(1024, 576).scaled(200, 200, Qt::KeepAspectRatio));
    EXPECT_FALSE(write);
    EXPECT_FALSE(QDir(root + "/large").exists());

    // A cache that cannot be written: the picture shows all the same.
    const TempFolder other;
    const QString blocked = other.path() + "/thumbnails";
    QFile(blocked).open(QIODevice::WriteOnly);  // a file where the folder should be
    const ThumbnailCache unwritable(blocked);
    QSize fullSize;
    const QImage shown = loadPictureCached(unwritable, picture, {400, 400}, &fullSize, {}, &write);
    EXPECT_EQ(shown.size(), QSize(400, 225));
    EXPECT_EQ(fullSize, QSize(1600, 900));
    ASSERT_TRUE(write);
    write({});
    EXPECT_TRUE(QFileInfo(blocked).isFile());
}

TEST_F(ThumbnailCacheTest, APictureSeenBeforeOpensFromItsThumbnailWhileItIsFresh) {
    ThumbnailWrite write;
    QSize fullSize;
    EXPECT_EQ(loadPictureCached(cache, picture, {400, 400}, &fullSize, {}, &write).pixelColor(9, 9),
              QColor(Qt::blue));
    ASSERT_TRUE(write);
    write({});
    // New pixels under the old date: the thumbnail is what shows, at the shown size.
    home.write("roms/shots/Game (U).png", encodedPicture({1600, 900}, Qt::red));
    home.touch("roms/shots/Game (U).png", QDateTime::fromSecsSinceEpoch(mtime));
    const QImage cached = loadPictureCached(cache, picture, {400, 400}, &fullSize, {}, &write);
    EXPECT_EQ(cached.size(), QSize(400, 225));
    EXPECT_EQ(fullSize, QSize(1600, 900));
    EXPECT_EQ(cached.pixelColor(9, 9), QColor(Qt::blue));
    EXPECT_FALSE(write);
    // Shown larger than the thumbnail: the picture itself.
    EXPECT_EQ(loadPictureCached(cache, picture, {1000, 1000}, nullptr, {}, &write).pixelColor(9, 9),
              QColor(Qt::red));
    // The date changed: the thumbnail is stale.
    home.touch("roms/shots/Game (U).png", QDateTime::fromSecsSinceEpoch(mtime + 60));
    EXPECT_EQ(loadPictureCached(cache, picture, {400, 400}, nullptr, {}, &write).pixelColor(9, 9),
              QColor(Qt::red));
}

}  // namespace
