// The screenshot search (folders, prefixes, picture types, letter case, names that are not
// UTF-8) and reading pictures at the size they are shown.

#include "launcher/Module1.h"
#include "launcher/PictureLoader.h"
#include "launcher/Screenshots.h"
#include "platform/FileNames.h"
#include "support/Pictures.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(ScreenshotSearch, FollowsTheFolderOrderPrefixesAndPictureTypes) {
    struct Case {
        const char* files;  // ";"-separated, relative to the emulator folder
        const char* listed;
        const char* setting;  // "" for none, else relative to the emulator folder
        const char* name;
        const char* expected;  // "" for none
    };
    // clang-format off
    const Case cases[] = {
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
        {"shots/Game.jpeg;shots/Game.tif", "roms", "", "Game.zip", ""},
        // the listed folder after the emulator's, its covers folder last
        {"roms/snes/Game.png;screenshots/G.png", "roms/snes", "", "Game.zip", "screenshots/G.png"},
        {"roms/snes/Game.png", "roms/snes", "", "Game.zip", "roms/snes/Game.png"},
        {"roms/covers_retro/snes/Game.png", "roms/snes", "", "Game.zip",
         "roms/covers_retro/snes/Game.png"},
        // letter case ignored, the real spelling returned
        {"ROMS/Covers_Retro/SNES/game.PNG", "ROMS/snes", "", "Game.zip",
         "ROMS/Covers_Retro/SNES/game.PNG"},
        {"shots/GAME (U).Png", "roms", "", "game (u).zip", "shots/GAME (U).Png"},
        {"Shots/Game.png", "roms", "", "Game.zip", "Shots/Game.png"},
        // the setting's folder first, with or without its separator
        {"shots/Game.png;pics/Game.png", "roms", "pics", "Game.zip", "pics/Game.png"},
        {"shots/Game.png;pics/Game.png", "roms", "pics/", "Game.zip", "pics/Game.png"},
        {"shots/Game.png", "roms", "nowhere", "Game.zip", "shots/Game.png"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files);
        TempFolder emu;
        emu.mkdir(c.listed);
        for (const QString& f : QString(c.files).split(';'))
            emu.write(f, "x");
        const QString root = emu.path() + QLatin1Char('/');
        ScreenshotSearch search;
        const QString setting = *c.setting ? root + c.setting : QString();
        const QString found =
            search.FindScreenshot(ScreenshotFolders(setting, root, root + c.listed), c.name);
        EXPECT_EQ(found, *c.expected ? root + c.expected : QString());
    }
}

// The search answers from listings; the answer must be the one that probing every
// candidate name with ChangeExtension gives.
TEST(ScreenshotSearch, AgreesWithProbingEveryCandidate) {
    TempFolder folder;
    const QString root = folder.path() + QLatin1Char('/');
    QRandomGenerator random(7);
    const QString alphabet = QStringLiteral("ab. (");
    auto randomText = [&](int length) {
        QString s;
        for (int i = 0; i < length; ++i)
            s += alphabet.at(random.bounded(alphabet.size()));
        return s;
    };
    const char* types[] = {".png", ".jpg", ".gif", ".bmp", ".txt"};
    for (int i = 0; i < 300; ++i)
        folder.write(randomText(1 + random.bounded(6)) + QLatin1String(types[random.bounded(5)]));
    auto probe = [&](const QString& name) {
        for (qsizetype k = name.size(); k >= 1; --k)
            for (const char* type : {".png", ".jpg", ".gif", ".bmp"})
                if (QFileInfo(root + ChangeExtension(name.left(k), type)).isFile())
                    return root + ChangeExtension(name.left(k), type);
        return QString();
    };
    ScreenshotSearch search;
    for (int i = 0; i < 2000; ++i) {
        const QString name = randomText(random.bounded(12));
        ASSERT_EQ(search.FindPictureFile(root, name), probe(name)) << name.toStdString();
    }
}

TEST(ScreenshotSearch, SeesPicturesAddedAndRemovedSinceTheLastSearch) {
    TempFolder emu;
    const QString shots = emu.mkdir("shots") + QLatin1Char('/');
    ScreenshotSearch search;
    EXPECT_EQ(search.FindPictureFile(shots, "Game.zip"), QString());
    const QString added = emu.write("shots/Game.png", "x");
    EXPECT_EQ(search.FindPictureFile(shots, "Game.zip"), added);
    QFile::remove(added);
    EXPECT_EQ(search.FindPictureFile(shots, "Game.zip"), QString());
    // A listing trusted for good (the folder unchanged for long) still notices a change.
    emu.write("shots/Game.jpg", "x");
    emu.touch("shots", QDateTime::currentDateTime().addSecs(-60));
    EXPECT_EQ(search.FindPictureFile(shots, "Game.zip"), shots + "Game.jpg");
    EXPECT_EQ(search.FindPictureFile(shots, "Game.zip"), shots + "Game.jpg");
    emu.write("shots/Game.png", "x");
    emu.touch("shots", QDateTime::currentDateTime().addSecs(-30));
    EXPECT_EQ(search.FindPictureFile(shots, "Game.zip"), shots + "Game.png");
}

TEST(ScreenshotSearch, FindsAndReadsPicturesWhoseNamesAreNotUtf8) {
    TempFolder emu;
    raw::RemoveTree clean{emu.path()};
    const QString shots = emu.mkdir("shots") + QLatin1Char('/');
    const QString picture = shots + platform::decodeName("Caf\xe9 (U).png");
    ASSERT_TRUE(raw::write(picture, encodedPicture({8, 4}, Qt::red)));
    ScreenshotSearch search;
    // "É" in Latin-1 is another byte than "é": not the same name in any letter case.
    EXPECT_EQ(search.FindPictureFile(shots, platform::decodeName("CAF\xc9 (U) [!].zip")),
              QString());
    const QString exact =
        search.FindPictureFile(shots, platform::decodeName("caf\xe9 (u) [!].zip"));
    ASSERT_EQ(raw::bytes(exact), raw::bytes(picture));
    EXPECT_EQ(LoadPictureFile(exact, {100, 100}).size(), QSize(8, 4));
}

TEST(PictureFiles, DecodeAtTheShownSizeOnWhite) {
    TempFolder folder;
    struct Case {
        const char* what;
        QByteArray bytes;
        QSize box;
        QSize expected;  // invalid: no picture
    };
    // clang-format off
    const Case cases[] = {
        {"shrunk, keeping its shape", encodedPicture({400, 200}, Qt::blue), {100, 100}, {100, 50}},
        {"never enlarged", encodedPicture({40, 20}, Qt::blue), {100, 100}, {40, 20}},
        {"no box: its own size", encodedPicture({40, 20}, Qt::blue), {}, {40, 20}},
        {"jpeg", encodedPicture({300, 300}, Qt::green, "JPG"), {90, 60}, {60, 60}},
        {"not a picture", "hello, this is text", {100, 100}, {}},
        {"empty", "", {100, 100}, {}},
        {"truncated", encodedPicture({400, 200}, Qt::blue).left(60), {100, 100}, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = folder.write("picture", c.bytes);
        QSize full;
        const QImage image = LoadPictureFile(path, c.box, &full);
        EXPECT_EQ(image.size(), c.expected.isValid() ? c.expected : QSize(0, 0));
        EXPECT_EQ(full.isValid(), c.expected.isValid());
    }
    // A clear picture shows on white; a missing one is no picture.
    const QString clear = folder.write("clear.png", encodedPicture({10, 10}, QColor(255, 0, 0, 0)));
    EXPECT_EQ(LoadPictureFile(clear, {10, 10}).pixelColor(5, 5), QColor(Qt::white));
    EXPECT_TRUE(LoadPictureFile(folder.file("missing.png"), {10, 10}).isNull());
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
    EXPECT_EQ(spy.at(0).at(2).value<QImage>().size(), QSize(64, 32));
    EXPECT_FALSE(loader.pending());

    // Cancelled: nothing arrives.
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

}  // namespace
