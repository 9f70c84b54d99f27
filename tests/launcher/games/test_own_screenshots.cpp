// The pictures named after a game itself, as against the one it is shown: which of them a
// game owns decides which copy of it stays and which pictures move with it. They are
// looked for in every picture folder, in the preview's order, and the tools search the
// same folders in the same order.

#include "launcher/games/Screenshots.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(OwnScreenshots, AreNamedAfterTheWholeNameInAnyFolder) {
    struct Case {
        const char* what;
        const char* files;  // ";"-separated, relative to the emulator folder; "a -> b" a link
        const char* name;
        const char* own;    // ";"-separated, in the search's order; "" for none
        const char* shown;  // the picture the preview shows, "" for none
    };
    // clang-format off
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder emu;
        emu.mkdir("roms");
        emu.mkdir("shots");
        for (const QString& f : QString(c.files).split(';')) {
            const QStringList link = f.split(" -> ");
            if (link.size() == 2)
                ASSERT_TRUE(raw::link(link[1], emu.file(link[0])));
            else
                emu.write(f, "x");
        }
        const QString root = emu.path() + '/';
        QStringList own;
        for (const QString& f : QString(c.own).split(';', Qt::SkipEmptyParts))
            own << root + f;
        // The setting names a folder of its own, and names shots/ a second time.
        for (const QString& setting : {root + "pics", root + "shots"}) {
            SCOPED_TRACE(setting.toStdString());
            QStringList expected = own;
            if (setting.endsWith("shots"))
                expected.removeIf([](const QString& p) { return p.contains("/pics/"); });
            ScreenshotSearch search;
            const QStringList folders = screenshotFoldersOf(setting, root, root + "roms");
            EXPECT_EQ(search.findOwnScreenshots(folders, c.name), expected);
            EXPECT_EQ(search.hasOwnScreenshot(folders, c.name), !expected.isEmpty());
            if (setting.endsWith("pics")) {
                EXPECT_EQ(search.screenshotOf(folders, c.name),
                          *c.shown ? root + c.shown : QString());
            }
        }
    }
}

// A tool given a games folder searches what the window searches for that folder as an
// emulator's "roms": the same folders in the same order.
TEST(OwnScreenshots, ToolsSearchTheWindowsFoldersInItsOrder) {
    const std::pair<QString, QString> cases[] = {
        {"/emu/roms", "/emu/"}, {"/emu/roms/", "/emu/"}, {"/emu/roms/snes", "/emu/roms/"}};
    for (const auto& [games, emulator] : cases) {
        SCOPED_TRACE(games.toStdString());
        EXPECT_EQ(screenshotFoldersBeside(games), screenshotFoldersOf({}, emulator, games));
    }
}

}  // namespace
