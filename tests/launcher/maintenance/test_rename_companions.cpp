// What goes with a renamed game: only the pictures named after it, from whichever picture
// folder holds them, and never one that another game of its folder is shown, whether the
// list shows that game or not; and both halves of a ".jar"/".jad" pair, or neither.

#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/FileRenaming.h"
#include "platform/FileOperations.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* what;
    QStringList files;  // relative to the emulator folder; each file's content is its name
    QString from, to;
    std::optional<QString> given;
    QStringList after;  // "path: content", sorted
};

TEST(RenameGameFile, TakesOnlyItsOwnPicturesAndBothHalvesOfAPairOrNeither) {
    const auto none = std::nullopt;
    // clang-format off
    const Case cases[] = {
        {"its own picture lies in a later folder than the one it is shown",
         {"roms/Game (USA).bin", "shots/Game.png", "screenshots/Game (USA).png"},
         "Game (USA).bin", "Hero.bin", "Hero.bin",
         {"roms/Hero.bin: roms/Game (USA).bin", "screenshots/Hero.png: screenshots/Game (USA).png",
          "shots/Game.png: shots/Game.png"}},
        {"a picture among the games that other games are shown stays",
         {"roms/Game (USA).bin", "roms/Game (Europe).bin", "roms/Game.png",
          "shots/Game (USA).png"},
         "Game (USA).bin", "Hero.bin", "Hero.bin",
         {"roms/Game (Europe).bin: roms/Game (Europe).bin", "roms/Game.png: roms/Game.png",
          "roms/Hero.bin: roms/Game (USA).bin", "shots/Hero.png: shots/Game (USA).png"}},
        {"a game merely shown a picture takes none along",
         {"roms/Game (USA).bin", "roms/Game.bin", "shots/Game.png"},
         "Game (USA).bin", "Hero.bin", "Hero.bin",
         {"roms/Game.bin: roms/Game.bin", "roms/Hero.bin: roms/Game (USA).bin",
          "shots/Game.png: shots/Game.png"}},
        {"games the list hides or masks out are shown the picture too",
         {"roms/Game.bin", "roms/Game (Rev 1).bin", "roms/.hidden", "roms/Game (Beta).zip",
          "shots/Game.png"},
         "Game.bin", "Hero.bin", "Hero.bin",
         {"roms/.hidden: Game (Rev 1).bin\n", "roms/Game (Beta).zip: roms/Game (Beta).zip",
          "roms/Game (Rev 1).bin: roms/Game (Rev 1).bin", "roms/Hero.bin: roms/Game.bin",
          "shots/Game.png: shots/Game.png"}},
        {"a game of the same name in another type is shown it too",
         {"roms/Game.bin", "roms/Game.cue", "shots/Game.png"},
         "Game.bin", "Hero.bin", "Hero.bin",
         {"roms/Game.cue: roms/Game.cue", "roms/Hero.bin: roms/Game.bin",
          "shots/Game.png: shots/Game.png"}},
        {"a picture lying among the games is no game of its own",
         {"roms/Game.bin", "roms/Game.png"}, "Game.bin", "Hero.bin", "Hero.bin",
         {"roms/Hero.bin: roms/Game.bin", "roms/Hero.png: roms/Game.png"}},
        {"every picture of its own goes, each in its own type",
         {"roms/Game.bin", "shots/Game.png", "snap/game.JPG"}, "Game.bin", "Hero.bin", "Hero.bin",
         {"roms/Hero.bin: roms/Game.bin", "shots/Hero.png: shots/Game.png",
          "snap/Hero.JPG: snap/game.JPG"}},
        // (A picture's new name taken by a file is in the clashes' table.)
        {"a folder under a picture's new name counts as taken",
         {"roms/Game.bin", "shots/Game.png", "shots/Hero.png/in a folder"}, "Game.bin",
         "Hero.bin", "Hero(1).bin",
         {"roms/Hero(1).bin: roms/Game.bin", "shots/Hero(1).png: shots/Game.png",
          "shots/Hero.png/in a folder: shots/Hero.png/in a folder"}},
        // Both halves of a ".jar"/".jad" pair go, or neither.
        {"renamed from the descriptor's side",
         {"roms/foo.jar", "roms/foo.jad", "shots/foo.png"}, "foo.jad", "Bar.jad", "Bar.jad",
         {"roms/Bar.jad: roms/foo.jad", "roms/Bar.jar: roms/foo.jar",
          "shots/Bar.png: shots/foo.png"}},
        {"the game's new name is taken: both take the next free one",
         {"roms/foo.jar", "roms/foo.jad", "roms/Bar.jar"}, "foo.jad", "Bar.jad", "Bar(1).jad",
         {"roms/Bar(1).jad: roms/foo.jad", "roms/Bar(1).jar: roms/foo.jar",
          "roms/Bar.jar: roms/Bar.jar"}},
        {"a descriptor does not leave its pair for another type",
         {"roms/foo.jar", "roms/foo.jad"}, "foo.jad", "Bar.txt", none,
         {"roms/foo.jad: roms/foo.jad", "roms/foo.jar: roms/foo.jar"}},
        {"nor does the game", {"roms/foo.jar", "roms/foo.jad"}, "foo.jar", "Bar.zip", none,
         {"roms/foo.jad: roms/foo.jad", "roms/foo.jar: roms/foo.jar"}},
        {"a descriptor without its game is a file like any other",
         {"roms/foo.jad", "roms/foo.jar.bak"}, "foo.jad", "Bar.txt", "Bar.txt",
         {"roms/Bar.txt: roms/foo.jad", "roms/foo.jar.bak: roms/foo.jar.bak"}},
        {"A.jad is A.jar's, not a.jar's", {"roms/a.jar", "roms/A.jar", "roms/A.jad"}, "A.jad",
         "c.jad", "c.jad",
         {"roms/a.jar: roms/a.jar", "roms/c.jad: roms/A.jad", "roms/c.jar: roms/A.jar"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder emu;
        emu.mkdir("roms");
        // Each file's content is its name; the hidden list names a game.
        for (const QString& f : c.files)
            emu.write(f, f.endsWith(".hidden") ? "Game (Rev 1).bin\n" : f.toUtf8());
        const QString root = emu.path() + '/';
        ScreenshotSearch search;
        platform::LocalFileOperations files;
        const auto given =
            renameGameFile(files, root + "roms/", c.from, c.to,
                           picturesIn(search, screenshotFoldersOf({}, root, root + "roms")));
        EXPECT_EQ(given, c.given);
        EXPECT_EQ(filesUnder(emu.path()), c.after);
    }
}

// A DAT may name both halves of a pair: the first takes the other along, and the other
// counts as renamed with the name it took, not as a game that kept its name.
TEST(RenameGameFiles, BothHalvesOfAPairAskedForAreOneRename) {
    const std::vector<GameRename> wanted[] = {{{"foo.jar", "Bar.jar"}, {"foo.jad", "Bar.jad"}},
                                              {{"foo.jad", "Baz.jad"}, {"foo.jar", "Bar.jar"}}};
    for (const auto& w : wanted) {
        SCOPED_TRACE(w.front().newName.toStdString());
        TempFolder emu;
        emu.write("roms/foo.jar", "jar");
        emu.write("roms/foo.jad", "jad");
        const QString stem = w.front().newName.chopped(4);
        ScreenshotSearch search;
        platform::LocalFileOperations files;
        const auto given =
            renameGameFiles(files, emu.file("roms/"), w, picturesIn(search, {emu.file("shots/")}));
        EXPECT_EQ(given, (std::vector<GameRename>{{w[0].oldName, w[0].newName},
                                                  {w[1].oldName, stem + w[1].oldName.right(4)}}));
        EXPECT_EQ(filesUnder(emu.path()),
                  (QStringList{"roms/" + stem + ".jad: jad", "roms/" + stem + ".jar: jar"}));
    }
}

}  // namespace
