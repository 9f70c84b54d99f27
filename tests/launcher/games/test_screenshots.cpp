// The screenshot search, own pictures and picture reading: a FIFO never hangs them.

#include "filelist/FolderPrefetch.h"
#include "imaging/PngDecoder.h"
#include "launcher/PathHelpers.h"
#include "launcher/games/PictureLoader.h"
#include "launcher/games/Screenshots.h"
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

}  // namespace
