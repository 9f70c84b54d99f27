// The screenshot search, own pictures, picture reading, thumbnails: a FIFO never hangs them.

#include "filelist/FolderPrefetch.h"
#include "imaging/PngDecoder.h"
#include "launcher/PathHelpers.h"
#include "launcher/games/PictureLoader.h"
#include "launcher/games/Screenshots.h"
#include "launcher/games/Thumbnails.h"
#include "platform/FileNames.h"
#include "support/Pictures.h"
#include "support/PngBuilder.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <future>

namespace {

// Makes the ";"-separated "path" (a small file), "path -> to" (a link) and "path|fifo" in `emu`.
void makeEntries(TempFolder& emu, const QString& files) {
    for (const QString& f : files.split(';', Qt::SkipEmptyParts)) {
        const QString path = f.section(QRegularExpression(" -> |\\|"), 0, 0);
        emu.mkdir(QFileInfo(path).path());
        if (f.contains(" -> "))
            ASSERT_TRUE(raw::link(f.section(" -> ", 1), emu.file(path)));
        else if (f.endsWith("|fifo"))
            ASSERT_EQ(::mkfifo(raw::bytes(emu.file(path)).constData(), 0644), 0);
        else
            emu.write(f, "x");
    }
}

TEST(ScreenshotSearch, FollowsTheFolderOrderPrefixesAndPictureTypes) {
    // Files (as makeEntries() makes them), folder listed, setting (or ""), game, picture found.
    // clang-format off
    const std::tuple<const char*, const char*, const char*, const char*, const char*> cases[] = {
        // shots/ beats snap/; .png beats .jpg; .gif beats .bmp
        {"snap/Game.png;shots/Game.png", "roms", "", "Game.zip", "shots/Game.png"},
        {"shots/Game.jpg;shots/Game.png", "roms", "", "Game.zip", "shots/Game.png"},
        {"shots/Game.bmp;shots/Game.gif", "roms", "", "Game.zip", "shots/Game.gif"},
        {"snap/Game.png;snapshots/Game.png", "roms", "", "Game.zip", "snapshots/Game.png"},
        // the longest prefix, but the folder order first
        {"shots/Super Mario World.png;shots/Super Mario World (U).png", "roms", "",
         "Super Mario World (U) [!].smc", "shots/Super Mario World (U).png"},
        {"shots/Super.png;snap/Super Mario World (U) [!].png", "roms", "",
         "Super Mario World (U) [!].smc", "shots/Super.png"},
        // a dotted prefix stands for the text before its dot
        {"shots/Dr. Mario.png", "roms", "", "Dr. Mario (U).nes", ""},
        {"shots/Dr.png", "roms", "", "Dr. Mario (U).nes", "shots/Dr.png"},
        // the listed folder's picture folders after the emulator's, before the folder itself
        {"roms/shots/Game.png;snap/Game.png", "roms", "", "Game.zip", "snap/Game.png"},
        {"roms/Game.png;roms/snap/Game.png", "roms", "", "Game.zip", "roms/snap/Game.png"},
        {"roms/screenshots/Game.png", "roms", "", "Game.zip", "roms/screenshots/Game.png"},
        // the listed folder after the emulator's, its covers folder last
        {"roms/snes/Game.png;screenshots/G.png", "roms/snes", "", "Game.zip", "screenshots/G.png"},
        {"roms/snes/Game.png", "roms/snes", "", "Game.zip", "roms/snes/Game.png"},
        {"roms/covers_retro/snes/Game.png", "roms/snes", "", "Game.zip",
         "roms/covers_retro/snes/Game.png"},
        // letter case ignored, the real spelling returned
        {"ROMS/Covers_Retro/SNES/game.PNG", "ROMS/snes", "", "Game.zip",
         "ROMS/Covers_Retro/SNES/game.PNG"},
        {"shots/GAME (U).Png", "roms", "", "game (u).zip", "shots/GAME (U).Png"},
        // the setting's folder first (without its separator: the own screenshots' table)
        {"shots/Game.png;pics/Game.png", "roms", "pics/", "Game.zip", "pics/Game.png"},
        {"shots/Game.png", "roms", "nowhere", "Game.zip", "shots/Game.png"},
        // What is no file is no picture: the search goes on to the next folder, type or prefix.
        {"shots/Game.png|fifo;snap/Game.png", "roms", "", "Game.zip", "snap/Game.png"},
        {"shots/Game.png -> .;snap/Game.png", "roms", "", "Game.zip", "snap/Game.png"},
        {"shots/Game.png|fifo;shots/Game.jpg", "roms", "", "Game.zip", "shots/Game.jpg"},
        {"shots/Game (U).png/x;shots/Game.bmp", "roms", "", "Game (U).zip", "shots/Game.bmp"},
        {"shots/Game.png|fifo;roms/Game.png", "roms", "", "Game.zip", "roms/Game.png"},
        {"shots/Game.png -> nowhere.png;shots/Other.png", "roms", "", "Game.zip", ""},
    };
    // clang-format on
    for (const auto& [files, listed, setting, name, expected] : cases) {
        TempFolder emu;
        emu.mkdir(listed);
        makeEntries(emu, files);
        const QString root = emu.path() + QLatin1Char('/');
        const QStringList folders =
            screenshotFoldersOf(*setting ? root + setting : QString(), root, root + listed);
        EXPECT_EQ(ScreenshotSearch().screenshotOf(folders, name),
                  *expected ? root + expected : QString())
            << files;
    }
}

TEST(OwnScreenshots, AreNamedAfterTheWholeNameInAnyFolder) {
    // Files (as makeEntries() makes them), game, own pictures in order (";"-separated), one shown.
    // clang-format off
    const std::tuple<const char*, const char*, const char*, const char*, const char*> cases[] = {
        {"the own picture lies in a later folder than one the game is merely shown",
         "shots/Game.png;screenshots/Game (USA).png;roms/Copy.bin", "Game (USA).bin", "screenshots/Game (USA).png", "shots/Game.png"},
        {"a copy named otherwise has none", "shots/Game.png;screenshots/Game (USA).png", "Copy.bin", "", ""},
        {"every folder and every picture type, letter case ignored",
         "pics/game.BMP;shots/Game.png;shots/GAME.jpg;snapshots/Game.gif;snap/game.png;"
         "screenshots/Game.bmp;roms/Game.png;roms/covers_retro/Game.jpg", "Game.bin",
         "pics/game.BMP;shots/Game.png;shots/GAME.jpg;snapshots/Game.gif;snap/game.png;"
         "screenshots/Game.bmp;roms/Game.png;roms/covers_retro/Game.jpg", "pics/game.BMP"},
        {"a longer name is another game's", "shots/Game (USA).png", "Game.bin", "", ""},
        {"the title's own dots stay, the extension goes", "snap/Dr. Mario (U).png", "Dr. Mario (U).nes",
         "snap/Dr. Mario (U).png", "snap/Dr. Mario (U).png"},
        {"a name without an extension", "shots/Game.png", "Game", "shots/Game.png", "shots/Game.png"},
        {"a name that is all extension has none, though it is shown one", "shots/.png", ".bin", "", "shots/.png"},
        {"types the search does not take", "shots/Game.jpeg;shots/Game.tif", "Game.bin", "", ""},
        {"a folder named like a picture is none", "shots/Game.png/inside;snap/Game.gif", "Game.bin", "snap/Game.gif", "snap/Game.gif"},
        {"nor is a link to nowhere", "shots/Game.png -> nowhere;snap/Game.gif", "Game.bin", "snap/Game.gif", "snap/Game.gif"},
        {"a link to a picture is one", "pictures/p.png;shots/Game.png -> ../pictures/p.png", "Game.bin", "shots/Game.png", "shots/Game.png"},
    };
    // clang-format on
    for (const auto& [what, files, name, pictures, shown] : cases) {
        SCOPED_TRACE(what);
        TempFolder emu;
        emu.mkdir("roms");
        emu.mkdir("shots");
        makeEntries(emu, files);
        const QString root = emu.path() + '/';
        QStringList own;
        for (const QString& f : QString(pictures).split(';', Qt::SkipEmptyParts))
            own << root + f;
        // The setting names a folder of its own, and names shots/ a second time.
        for (const QString& setting : {root + "pics", root + "shots"}) {
            SCOPED_TRACE(setting.toStdString());
            QStringList expected = own;
            if (setting.endsWith("shots"))
                expected.removeIf([](const QString& p) { return p.contains("/pics/"); });
            ScreenshotSearch search;
            const QStringList folders = screenshotFoldersOf(setting, root, root + "roms");
            EXPECT_EQ(search.findOwnScreenshots(folders, name), expected);
            EXPECT_EQ(search.hasOwnScreenshot(folders, name), !expected.isEmpty());
            if (setting.endsWith("pics")) {
                EXPECT_EQ(search.screenshotOf(folders, name), *shown ? root + shown : QString());
            }
        }
    }
}

// A tool given a games folder searches the folders the window searches for it as "roms".
TEST(OwnScreenshots, ToolsSearchTheWindowsFoldersInItsOrder) {
    const std::pair<QString, QString> cases[] = {
        {"/emu/roms", "/emu/"}, {"/emu/roms/", "/emu/"}, {"/emu/roms/snes", "/emu/roms/"}};
    for (const auto& [games, emulator] : cases) {
        SCOPED_TRACE(games.toStdString());
        EXPECT_EQ(screenshotFoldersBeside(games), screenshotFoldersOf({}, emulator, games));
    }
}

// Short names from a few letters, so that prefixes of one name often name another file.
QString randomName(QRandomGenerator& random, const QString& alphabet, int length) {
    QString s;
    for (int i = 0; i < length; ++i)
        s += alphabet.at(random.bounded(int(alphabet.size())));
    return s;
}
void fillRandomly(TempFolder& folder, QRandomGenerator& random, const QString& alphabet,
                  const char* pictureType) {
    const char* types[] = {".png", pictureType, ".gif", ".bmp", ".txt"};
    for (int i = 0; i < 300; ++i)
        folder.write(randomName(random, alphabet, 1 + random.bounded(6)) +
                     types[random.bounded(5)]);
}

TEST(ScreenshotSearch, AgreesWithProbingEveryCandidateAndWithTheFolderReadAhead) {
    TempFolder folder, mixed;
    const QString root = folder.path() + QLatin1Char('/');
    QRandomGenerator random(7);
    fillRandomly(folder, random, "ab. (", ".jpg");
    auto probe = [&](const QString& name) {
        for (qsizetype k = name.size(); k >= 1; --k)
            for (const char* type : {".png", ".jpg", ".gif", ".bmp"})
                if (QFileInfo(root + withExtension(name.left(k), type)).isFile())
                    return root + withExtension(name.left(k), type);
        return QString();
    };
    ScreenshotSearch search;
    for (int i = 0; i < 2000; ++i) {
        const QString name = randomName(random, "ab. (", random.bounded(12));
        ASSERT_EQ(search.findPictureFile(root, name), probe(name)) << name.toStdString();
    }

    const QString other = mixed.path() + QLatin1Char('/');
    fillRandomly(mixed, random, "aB. (", ".JPG");
    mixed.mkdir("Folder.png");
    QFile::link(other + "nowhere", other + "Dangling.png");
    ASSERT_TRUE(mixed.settle());
    FolderPrefetch ahead(mixed.path());
    ASSERT_NE(ahead.entriesFor(mixed.path()), nullptr);
    ScreenshotSearch readAhead;
    readAhead.readAheadFrom(&ahead);
    for (int i = 0; i < 1000; ++i) {
        const QString name = randomName(random, "aB. (", random.bounded(12));
        ASSERT_EQ(readAhead.findPictureFile(other, name), search.findPictureFile(other, name))
            << name.toStdString();
    }
    EXPECT_EQ(readAhead.findPictureFile(other, "Folder.zip"), QString());
    EXPECT_EQ(readAhead.findPictureFile(other, "Dangling.zip"), QString());
    const QString added = mixed.write("Brand new.png");
    EXPECT_EQ(readAhead.findPictureFile(other, "Brand new.zip"), added);
}

// A folder inside a listed one, spelled in another letter case, is still found from its listing.
TEST(ScreenshotSearch, AFolderSearchedForPicturesStillResolvesItsSubfolders) {
    TempFolder emu;
    emu.write("roms/Game.zip", "x");
    emu.write("roms/Other.PNG", "x");
    const QString shot = emu.write("roms/snes/Game.png", "x");
    const QString other = emu.write(QString::fromUtf8("roms/\u00c4rger/Game.png"), "x");
    emu.write(QString::fromUtf8("roms/Stra\u00dfe.zip"), "x");
    const QString root = emu.path() + QLatin1Char('/');
    ScreenshotSearch search;
    EXPECT_EQ(search.findPictureFile(root + "roms/", "Game.zip"), QString());
    EXPECT_EQ(search.findPictureFile(root + "roms/", "Other.zip"), root + "roms/Other.PNG");
    EXPECT_EQ(search.findPictureFile(root + "ROMS/SNES/", "Game.zip"), shot);
    EXPECT_EQ(search.findPictureFile(root + QString::fromUtf8("roms/\u00e4RGER/"), "Game.zip"),
              other);
    EXPECT_EQ(search.findPictureFile(root + "roms/Missing/", "Game.zip"), QString());
}

TEST(ScreenshotSearch, SeesPicturesAndLinkTargetsChangedSinceTheLastSearch) {
    TempFolder emu;
    const QString root = emu.path() + QLatin1Char('/');
    const QString shots = emu.mkdir("shots") + QLatin1Char('/');
    ScreenshotSearch search;
    EXPECT_EQ(search.findPictureFile(shots, "Game.zip"), QString());
    const QString added = emu.write("shots/Game.png", "x");
    EXPECT_EQ(search.findPictureFile(shots, "Game.zip"), added);
    QFile::remove(added);
    EXPECT_EQ(search.findPictureFile(shots, "Game.zip"), QString());
    emu.write("shots/Game.jpg", "x");
    emu.touch("shots", QDateTime::currentDateTime().addSecs(-60));
    EXPECT_EQ(search.findPictureFile(shots, "Game.zip"), shots + "Game.jpg");
    emu.write("shots/Game.png", "x");
    emu.touch("shots", QDateTime::currentDateTime().addSecs(-30));
    EXPECT_EQ(search.findPictureFile(shots, "Game.zip"), shots + "Game.png");

    const QStringList folders = screenshotFoldersOf({}, root, root + "roms");
    emu.write("snap/Link.png", "x");
    emu.mkdir("pictures");
    ASSERT_TRUE(raw::link(emu.file("pictures/Link.png"), emu.file("shots/Link.png")));
    EXPECT_EQ(search.screenshotOf(folders, "Link.zip"), root + "snap/Link.png");
    emu.write("pictures/Link.png", "x");
    EXPECT_EQ(search.screenshotOf(folders, "Link.zip"), root + "shots/Link.png");
    QFile::remove(emu.file("pictures/Link.png"));
    emu.mkdir("pictures/Link.png");
    EXPECT_EQ(search.screenshotOf(folders, "Link.zip"), root + "snap/Link.png");
}

TEST(ScreenshotSearch, FindsAndReadsPicturesWhoseNamesAreNotUtf8) {
    TempFolder emu;
    raw::RemoveTree clean{emu.path()};
    const QString shots = emu.mkdir("shots") + QLatin1Char('/');
    const QString picture = shots + platform::decodeName("Caf\xe9 (U).png");
    ASSERT_TRUE(raw::write(picture, encodedPicture({8, 4}, Qt::red)));
    ScreenshotSearch search;
    // "É" in Latin-1 is another byte than "é": not the same name in any letter case.
    EXPECT_EQ(search.findPictureFile(shots, platform::decodeName("CAF\xc9 (U) [!].zip")),
              QString());
    const QString exact =
        search.findPictureFile(shots, platform::decodeName("caf\xe9 (u) [!].zip"));
    ASSERT_EQ(raw::bytes(exact), raw::bytes(picture));
    EXPECT_EQ(loadPictureFile(exact, {100, 100}).size(), QSize(8, 4));
}

TEST(PictureFiles, DecodeAsQtDoesAtTheShownSizeOnWhite) {
    TempFolder folder;
    const QImage source = png::screenshotLike(400, 200, QImage::Format_ARGB32, 11);
    const QByteArray fastPng = png::qtEncoded(source);
    ASSERT_TRUE(decodePngBytes(fastPng));
    // Qt writes 16 bits a sample for 64-bit formats: not the fast decoder's.
    const QByteArray deepPng = png::qtEncoded(source.convertToFormat(QImage::Format_RGBA64));
    ASSERT_FALSE(decodePngBytes(deepPng));
    // Damaged image data: Qt makes of it what it does.
    QByteArray damaged = fastPng;
    damaged[damaged.size() - 20] = char(damaged[damaged.size() - 20] ^ 0xff);
    ASSERT_FALSE(decodePngBytes(damaged));

    const QImage small = png::screenshotLike(40, 20, QImage::Format_RGB32, 12);
    // The bytes and the box they are shown in.
    const std::tuple<const char*, QByteArray, QSize> cases[] = {
        {"fast, shrunk keeping its shape", fastPng, {100, 100}},
        {"fast, no box: its own size", fastPng, {}},
        {"16 bits, shrunk", deepPng, {100, 100}},
        {"16 bits, whole", deepPng, {}},
        {"never enlarged", png::qtEncoded(small), {100, 100}},
        {"damaged", damaged, {100, 100}},
        {"not a picture", "hello, this is text", {100, 100}},
        {"truncated", fastPng.left(60), {100, 100}},
    };
    for (const auto& [what, bytes, box] : cases) {
        SCOPED_TRACE(what);
        const QString path = folder.write(QStringLiteral("picture.png"), bytes);
        QSize full;
        const QImage loaded = loadPictureFile(path, box, &full);
        // What the loader always did: Qt's reading, shrunk to fit, on white.
        QImage expected = png::qtDecode(bytes);
        EXPECT_EQ(full, expected.isNull() ? QSize() : expected.size());
        if (expected.isNull()) {
            EXPECT_TRUE(loaded.isNull());
            continue;
        }
        if (box.isValid() && !QRect(QPoint(), box).contains(expected.rect()))
            expected = expected.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QImage onWhite(expected.size(), QImage::Format_RGB32);
        onWhite.fill(Qt::white);
        QPainter(&onWhite).drawImage(0, 0, expected);
        EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
        EXPECT_EQ(loaded, onWhite);
    }
#ifndef __SANITIZE_ADDRESS__
    // Not under AddressSanitizer: its leak checker crashes on what Qt's JPEG plugin leaves.
    const QString jpeg = folder.write("picture.jpg", encodedPicture({300, 300}, Qt::green, "JPG"));
    EXPECT_EQ(loadPictureFile(jpeg, {90, 60}).size(), QSize(60, 60));
#endif
    // A clear picture shows on white; a missing one, or one unwanted before it starts, is none.
    const QString clear = folder.write("clear.png", encodedPicture({10, 10}, QColor(255, 0, 0, 0)));
    EXPECT_EQ(loadPictureFile(clear, {10, 10}).pixelColor(5, 5), QColor(Qt::white));
    EXPECT_TRUE(loadPictureFile(folder.file("missing.png"), {10, 10}).isNull());
    const QString path = folder.write(QStringLiteral("stopped.png"), fastPng);
    EXPECT_TRUE(loadPictureFile(path, {100, 100}, nullptr, [] { return false; }).isNull());
}

TEST(PictureFiles, OnlyTheNewestRequestIsDelivered) {
    TempFolder folder;
    PictureLoader loader;
    QSignalSpy spy(&loader, &PictureLoader::loaded);
    const QString first = folder.write("a.png", encodedPicture({1920, 1080}, Qt::red));
    const QString second = folder.write("b.png", encodedPicture({64, 32}, Qt::blue));
    loader.request(first, {320, 200});
    const quint64 last = loader.request(second, {320, 200});
    EXPECT_TRUE(loader.pending());
    ASSERT_TRUE(spy.wait(5000));
    QTest::qWait(200);  // the first decode, had it not been dropped, would be in by now
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(0).toULongLong(), last);
    EXPECT_EQ(spy.at(0).at(1).toString(), second);
    EXPECT_FALSE(loader.pending());

    loader.request(first, {320, 200});
    loader.cancel();
    EXPECT_FALSE(spy.wait(300));
    EXPECT_EQ(spy.size(), 1);
}

TEST(PictureFiles, PicturesReadAheadAreServedAtOnceUntilTheFileChanges) {
    TempFolder folder;
    PictureLoader loader;
    QSignalSpy spy(&loader, &PictureLoader::loaded);
    auto lastSize = [&] { return spy.last().at(2).value<QImage>().size(); };
    const QString path = folder.write("next.png", encodedPicture({64, 32}, Qt::blue));
    folder.touch("next.png", QDateTime::currentDateTime().addSecs(-100));
    loader.readAhead({path}, {320, 200});
    ASSERT_TRUE(QTest::qWaitFor([&] { return loader.ready(path, {320, 200}); }, 5000));
    EXPECT_TRUE(spy.isEmpty());
    // Served from what was read ahead: delivered before request() returns.
    loader.request(path, {320, 200});
    EXPECT_FALSE(loader.pending());
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(lastSize(), QSize(64, 32));
    // Another box is another picture.
    loader.request(path, {32, 32});
    EXPECT_TRUE(loader.pending());
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(lastSize(), QSize(32, 16));
    // A picture replaced on disk is read again, not served from memory.
    folder.write("next.png", encodedPicture({40, 40}, Qt::red));
    loader.request(path, {320, 200});
    EXPECT_TRUE(loader.pending());
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(lastSize(), QSize(40, 40));
}

// Where a missing picture was looked for: each folder once, in order, the home as "~".
TEST(ScreenshotSearch, NoPictureHintNamesTheFoldersSearched) {
    EXPECT_EQ(screenshotFoldersOf({}, "/h/emu/", "/h/emu/"),
              (QStringList{"/h/emu/shots/", "/h/emu/snapshots/", "/h/emu/snap/",
                           "/h/emu/screenshots/", "/h/emu/"}));
    EXPECT_EQ(noPictureHint({"/h/emu/shots/", "/home2/x/", "/h/"}, "/h"),
              "No picture. Looked in:\n~/emu/shots/\n/home2/x/\n~/");
}

TEST(PictureFiles, AFifoNamedLikeAPictureIsNoPicture) {
    TempFolder folder;
    const QString fifo = folder.file("Game.png");
    makeEntries(folder, "Game.png|fifo");
    QSize full(1, 1);
    EXPECT_TRUE(loadPictureFile(fifo, {100, 100}, &full).isNull());
    EXPECT_FALSE(full.isValid());

    auto loader = std::make_unique<PictureLoader>();
    QSignalSpy spy(loader.get(), &PictureLoader::loaded);
    const quint64 serial = loader->request(fifo, {100, 100});
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.last().at(0).toULongLong(), serial);
    EXPECT_TRUE(spy.last().at(2).value<QImage>().isNull());
    // Read ahead and asked for again while the loader goes.
    loader->readAhead({fifo, fifo}, {100, 100});
    loader->request(fifo, {50, 50});
    loader.reset();
}

// A decoder stuck on each of `stuck` until the release, deaf to being unwanted; holds `token`.
struct StuckDecodes {
    std::promise<void> started, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> begun{0};
    static PictureDecoder decoder(std::shared_ptr<StuckDecodes> gates, QStringList stuck,
                                  std::shared_ptr<int> token = {}) {
        return [gates, stuck, token](const QString& path, const QSize&, QSize* full,
                                     const std::function<bool()>&) {
            if (stuck.contains(path)) {
                if (gates->begun++ == 0) gates->started.set_value();
                gates->released.wait();
            }
            QImage image(4, 4, QImage::Format_RGB32);
            image.fill(Qt::red);
            if (full) *full = image.size();
            return image;
        };
    }
};

// The loader's end never waits on a decode that does not stop; its result goes nowhere.
TEST(PictureFiles, ALoaderGoesWhileADecodeIsStuck) {
    auto gates = std::make_shared<StuckDecodes>();
    std::future<void> started = gates->started.get_future();
    auto token = std::make_shared<int>(0);
    const std::weak_ptr<int> held = token;
    const QString path = QStringLiteral("/nowhere/stuck.png");
    PictureDecoder stuck = StuckDecodes::decoder(gates, {path}, std::move(token));
    QObject owner;
    auto* loader = new PictureLoader(&owner, std::move(stuck));
    int delivered = 0;
    QObject::connect(loader, &PictureLoader::loaded, &owner, [&] { ++delivered; });
    loader->request(path, {10, 10});
    started.wait();
    delete loader;  // returns although the decode is still under way
    gates->release.set_value();
    EXPECT_TRUE(QTest::qWaitFor([&] { return held.expired(); }, 10000));
    QApplication::processEvents();
    EXPECT_EQ(delivered, 0);
}

TEST(PictureFiles, ARequestNeverWaitsForReadingAhead) {
    auto gates = std::make_shared<StuckDecodes>();
    std::future<void> started = gates->started.get_future();
    TempFolder folder;
    const QString one = folder.write("one.png", "x"), two = folder.write("two.png", "x");
    QObject owner;
    auto* loader = new PictureLoader(&owner, StuckDecodes::decoder(gates, {one, two}));
    QSignalSpy spy(loader, &PictureLoader::loaded);
    loader->readAhead({one, two}, {10, 10});
    started.wait();
    const quint64 serial = loader->request(QStringLiteral("/now/shown.png"), {10, 10});
    EXPECT_TRUE(spy.wait(5000));
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.last().at(0).toULongLong(), serial);
    // The second picture read ahead was dropped while waiting, never started.
    EXPECT_EQ(gates->begun.load(), 1);
    gates->release.set_value();
    delete loader;
}

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
