// Renaming with the screenshot and descriptor twins, dump tags, stripped names and the
// hidden list, on real folders: what must move moves, and nothing is ever overwritten.

#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/FileRenaming.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "support/ForwardingFiles.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A fixed answer for one game: `shot` is the picture named after it and the one it is shown.
GamePictures onlyPicture(const QString& game, const QString& shot) {
    return {[=](const QString& name) { return name == game ? shot : QString(); },
            [=](const QString& name) {
                return name == game && !shot.isEmpty() ? QStringList{shot} : QStringList();
            }};
}

// The platform's rename, with another program taking the target name just before it.
class RacingFiles : public fakes::ForwardingFiles {
public:
    bool rename(const QString& from, const QString& to) override {
        raw::write(to, "theirs");
        return ForwardingFiles::rename(from, to);
    }
};

// Makes "name" (its content is its name), "name -> target" (a link) or "name = other" (a
// hard link of other) in `folder`.
void make(const QString& folder, const QString& entry) {
    const QStringList link = entry.split(" -> "), hard = entry.split(" = ");
    if (link.size() == 2)
        ASSERT_TRUE(raw::link(link[1], folder + '/' + link[0]));
    else if (hard.size() == 2)
        ASSERT_EQ(::link(raw::bytes(folder + '/' + hard[1]), raw::bytes(folder + '/' + hard[0])),
                  0);
    else
        ASSERT_TRUE(raw::write(folder + '/' + entry, entry.toUtf8()));
}

// What a rename moves and what it never touches: the next free name when the new one (or
// its picture's) is taken in any letter case, twins following, names that would leave the
// folder refused. A link and its target, or two hard links of one file, are two entries: a
// rename from one to the other's name never replaces it, and what is reported is what
// happened.
TEST(RenameGameFile, NamesTwinsClashesAndLinks) {
    struct Case {
        const char* what;
        QStringList roms, shots;  // as make() takes them
        QString shotOf;           // the picture the finder reports for the old name
        QString from, to;
        std::optional<QString> given;
        QStringList romsAfter, shotsAfter;  // as raw::tree gives them
    };
    const auto none = std::nullopt;
    // clang-format off
    const Case cases[] = {
        {"a taken name", {"x.smc", "y.smc"}, {}, "", "x.smc", "y.smc", "y(1).smc",
         {"y(1).smc: x.smc", "y.smc: y.smc"}, {}},
        {"numbered again", {"x.smc", "y.smc", "y(1).smc"}, {}, "", "x.smc", "y.smc", "y(1)(2).smc",
         {"y(1)(2).smc: x.smc", "y(1).smc: y(1).smc", "y.smc: y.smc"}, {}},
        {"letter case only", {"game.smc"}, {}, "", "game.smc", "Game.smc", "Game.smc",
         {"Game.smc: game.smc"}, {}},
        {"taken in another letter case", {"a.smc", "b.smc"}, {}, "", "a.smc", "B.smc", "B(1).smc",
         {"B(1).smc: a.smc", "b.smc: b.smc"}, {}},
        {"the picture's new name is taken: the game takes the next free name with it", {"x.smc"},
         {"x.gif", "y.gif"}, "x.gif", "x.smc", "y.smc", "y(1).smc", {"y(1).smc: x.smc"},
         {"y(1).gif: x.gif", "y.gif: y.gif"}},
        {"a picture that cannot follow keeps the game under its old name", {"x.smc"}, {},
         "gone.png", "x.smc", "y.smc", none, {"x.smc: x.smc"}, {}},
        {"the descriptor's new name is taken", {"a.JAR", "a.Jad", "b.jad"}, {}, "", "a.JAR",
         "b.JAR", "b(1).JAR", {"b(1).JAR: a.JAR", "b(1).jad: a.Jad", "b.jad: b.jad"}, {}},
        {"A.jad is A.jar's, not a.jar's", {"a.jar", "A.jar", "A.jad"}, {}, "", "a.jar", "c.jar",
         "c.jar", {"A.jad: A.jad", "A.jar: A.jar", "c.jar: a.jar"}, {}},
        {"out of the folder", {"x.smc"}, {}, "", "x.smc", "../x.smc", none, {"x.smc: x.smc"}, {}},
        {"into a subfolder", {"x.smc"}, {}, "", "x.smc", "sub/x.smc", none, {"x.smc: x.smc"}, {}},
        {"the parent folder", {"x.smc"}, {}, "", "x.smc", "..", none, {"x.smc: x.smc"}, {}},
        {"gone meanwhile", {"x.smc"}, {}, "", "gone.smc", "y.smc", none, {"x.smc: x.smc"}, {}},
        {"quotes, wildcards, dashes", {"-x \"q\" *?.smc"}, {}, "", "-x \"q\" *?.smc",
         "-y [!] é.smc", "-y [!] é.smc", {"-y [!] é.smc: -x \"q\" *?.smc"}, {}},
        {"a link renamed onto its target", {"GAME.smc", "game.smc -> GAME.smc"}, {}, "",
         "game.smc", "GAME.smc", "GAME(1).smc",
         {"GAME(1).smc -> GAME.smc", "GAME.smc: GAME.smc"}, {}},
        {"the picture's new name is the link's target", {"x.smc"},
         {"y.png", "x.png -> y.png"}, "x.png", "x.smc", "y.smc", "y(1).smc",
         {"y(1).smc: x.smc"}, {"y(1).png -> y.png", "y.png: y.png"}},
        {"letter case only; the finder reports the link", {"mario.smc"},
         {"MARIO.png", "mario.png -> MARIO.png"}, "mario.png", "mario.smc", "MARIO.smc",
         "MARIO(1).smc", {"MARIO(1).smc: mario.smc"},
         {"MARIO(1).png -> MARIO.png", "MARIO.png: MARIO.png"}},
        {"letter case only; the finder reports the picture", {"mario.smc"},
         {"MARIO.png", "mario.png -> MARIO.png"}, "MARIO.png", "mario.smc", "MARIO.smc",
         "MARIO.smc", {"MARIO.smc: mario.smc"},
         {"MARIO.png: MARIO.png", "mario.png -> MARIO.png"}},
        {"hard links, letter case only", {"game.smc", "GAME.smc = game.smc"}, {}, "",
         "game.smc", "GAME.smc", "GAME(1).smc",
         {"GAME(1).smc: game.smc", "GAME.smc: game.smc"}, {}},
        {"a game that is a link moves as the link", {"real.smc", "a.smc -> real.smc"}, {}, "",
         "a.smc", "b.smc", "b.smc", {"b.smc -> real.smc", "real.smc: real.smc"}, {}},
        {"the listed spelling is gone, another came", {"GAME.smc"}, {}, "", "game.smc",
         "x.smc", none, {"GAME.smc: GAME.smc"}, {}},
    };
    // clang-format on
    platform::LocalFileOperations files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder t;
        const QString roms = t.mkdir("roms"), shots = t.mkdir("shots");
        for (const QString& r : c.roms)
            make(roms, r);
        for (const QString& s : c.shots)
            make(shots, s);
        const QString shot = c.shotOf.isEmpty() ? QString() : shots + '/' + c.shotOf;
        const auto given =
            renameGameFile(files, roms + '/', c.from, c.to, onlyPicture(c.from, shot));
        EXPECT_EQ(given, c.given);
        EXPECT_EQ(raw::tree(roms), c.romsAfter);
        EXPECT_EQ(raw::tree(shots), c.shotsAfter);
    }
}

TEST(RenameGameFile, NamesThatAreNotUtf8AndATargetTakenMeanwhile) {
    TempFolder t;
    raw::RemoveTree clean{t.path()};
    const QString odd = platform::decodeName("\xff game.smc");
    const QString odder = platform::decodeName("\xfe.smc");
    ASSERT_TRUE(raw::write(t.file(odd), "mine"));
    platform::LocalFileOperations files;
    EXPECT_EQ(renameGameFile(files, t.path() + "/", odd, odder, {}), odder);
    EXPECT_EQ(raw::read(t.file(odder)), "mine");

    t.write("a.smc", "mine");
    RacingFiles racing;
    EXPECT_EQ(renameGameFile(racing, t.path() + "/", "a.smc", "b.smc", {}), std::nullopt);
    EXPECT_EQ(t.read("a.smc"), "mine");
    EXPECT_EQ(t.read("b.smc"), "theirs");
}

// A batch keeps every rule of renaming one game after another, with the folders listed once:
// the names its own renames took or freed count as they would on disk.
TEST(RenameGameFiles, SameAsOneAfterAnotherWithNoOverwriteAndTwinsFollowing) {
    struct Case {
        QStringList roms, shots;  // each file's content is its name
        std::vector<GameRename> wanted;
        std::vector<GameRename> given;
        QStringList after;  // "path: content" of every file
    };
    // clang-format off
    const Case cases[] = {
        // Three games become one name: the first takes it, the others the next free ones;
        // a name the batch took a moment ago is taken.
        {{"Combat.bin", "Combat_Atari.bin", "Combat_ATARI.bin"}, {},
         {{"Combat_Atari.bin", "Combat.bin"}, {"Combat_ATARI.bin", "Combat.bin"}},
         {{"Combat_Atari.bin", "Combat(1).bin"}, {"Combat_ATARI.bin", "Combat(1)(2).bin"}},
         {"roms/Combat(1)(2).bin: Combat_ATARI.bin", "roms/Combat(1).bin: Combat_Atari.bin",
          "roms/Combat.bin: Combat.bin"}},
        // Screenshots go with their games, each in its own type.
        {{"x_A.smc", "y_A.smc"}, {"x_A.png", "y_A.jpg"},
         {{"y_A.smc", "y.smc"}, {"x_A.smc", "x.smc"}},
         {{"y_A.smc", "y.smc"}, {"x_A.smc", "x.smc"}},
         {"roms/x.smc: x_A.smc", "roms/y.smc: y_A.smc", "shots/x.png: x_A.png",
          "shots/y.jpg: y_A.jpg"}},
        // A name the batch freed is free for the next game.
        {{"a.smc", "b.smc"}, {"b.png"},
         {{"b.smc", "c.smc"}, {"a.smc", "b.smc"}},
         {{"b.smc", "c.smc"}, {"a.smc", "b.smc"}},
         {"roms/b.smc: a.smc", "roms/c.smc: b.smc", "shots/c.png: b.png"}},
        // A game given another game's name takes the next free one, its picture with it,
        // and the other game then renames as usual.
        {{"Pac.smc", "Pac_A.smc"}, {"Pac_A.png"},
         {{"Pac_A.smc", "Pac.smc"}, {"Pac.smc", "Man.smc"}},
         {{"Pac_A.smc", "Pac(1).smc"}, {"Pac.smc", "Man.smc"}},
         {"roms/Man.smc: Pac.smc", "roms/Pac(1).smc: Pac_A.smc", "shots/Pac(1).png: Pac_A.png"}},
        // Two spellings of one name: the other one still counts as taken.
        {{"a.smc", "A.smc", "q.smc"}, {},
         {{"a.smc", "z.smc"}, {"q.smc", "a.smc"}},
         {{"a.smc", "z.smc"}, {"q.smc", "a(1).smc"}},
         {"roms/A.smc: A.smc", "roms/a(1).smc: q.smc", "roms/z.smc: a.smc"}},
        // A picture other listed games show too stays where it is.
        {{"Game (U)_A.smc", "Game (E)_A.smc"}, {"Game.png"},
         {{"Game (U)_A.smc", "Game (U).smc"}, {"Game (E)_A.smc", "Game (E).smc"}},
         {{"Game (U)_A.smc", "Game (U).smc"}, {"Game (E)_A.smc", "Game (E).smc"}},
         {"roms/Game (E).smc: Game (E)_A.smc", "roms/Game (U).smc: Game (U)_A.smc",
          "shots/Game.png: Game.png"}},
    };
    // clang-format on
    platform::LocalFileOperations files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.roms.join(" | ").toStdString());
        TempFolder batch, single;
        for (TempFolder* t : {&batch, &single}) {
            for (const QString& r : c.roms)
                t->write("roms/" + r, r.toUtf8());
            t->mkdir("shots");
            for (const QString& s : c.shots)
                t->write("shots/" + s, s.toUtf8());
        }
        const auto foldersOf = [](const TempFolder& t) {
            return QStringList{t.file("shots/"), t.file("roms/")};
        };

        ScreenshotSearch batchShots;
        RenameBatchHooks hooks;
        hooks.moved = [&](const QString& from, const QString& to) { batchShots.moved(from, to); };
        batchShots.holdListings();
        const auto given = renameGameFiles(files, batch.file("roms/"), c.wanted,
                                           picturesIn(batchShots, foldersOf(batch)), hooks);
        batchShots.releaseListings();
        EXPECT_EQ(given, c.given);
        EXPECT_EQ(filesUnder(batch.path()), c.after);

        // The same renames one at a time, each looking at the folders afresh.
        ScreenshotSearch singleShots;
        std::vector<GameRename> one;
        for (const GameRename& w : c.wanted) {
            const auto name = renameGameFile(files, single.file("roms/"), w.oldName, w.newName,
                                             picturesIn(singleShots, foldersOf(single)));
            if (name) one.push_back({w.oldName, *name});
        }
        EXPECT_EQ(given, one);
        EXPECT_EQ(filesUnder(single.path()), c.after);
    }
}

TEST(RenameGameFiles, ReportsProgressAfterEachGameAndStopsWhenAsked) {
    TempFolder t;
    for (const char* r : {"a_X.smc", "b_X.smc", "c_X.smc"})
        t.write(QString("roms/") + r, r);
    platform::LocalFileOperations files;
    std::vector<std::pair<int, int>> seen;
    RenameBatchHooks hooks;
    hooks.progress = [&](int done, int total) {
        seen.emplace_back(done, total);
        return done < 2;
    };
    const auto given = renameGameFiles(
        files, t.file("roms/"), {{"c_X.smc", "c.smc"}, {"gone.smc", "g.smc"}, {"a_X.smc", "a.smc"}},
        {}, hooks);
    EXPECT_EQ(given, (std::vector<GameRename>{{"c_X.smc", "c.smc"}}));
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}}));
    EXPECT_EQ(filesUnder(t.path()), (QStringList{"roms/a_X.smc: a_X.smc", "roms/b_X.smc: b_X.smc",
                                                 "roms/c.smc: c_X.smc"}));
}

// What goes with a renamed game: only the pictures named after it, from whichever picture
// folder holds them, and never one that another game of its folder is shown, whether the
// list shows that game or not; and both halves of a ".jar"/".jad" pair, or neither.
TEST(RenameGameFile, TakesOnlyItsOwnPicturesAndBothHalvesOfAPairOrNeither) {
    struct Case {
        const char* what;
        QStringList files;  // relative to the emulator folder; each file's content is its name
        QString from, to;
        std::optional<QString> given;
        QStringList after;  // "path: content", sorted
    };
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

// Ctrl (2) and Alt (4) alone choose the bad-dump tags; every other state, Ctrl+Alt
// included, the good-dump tag.
TEST(NameRules, DumpTagForEachModifierState) {
    const char* const tags[8] = {" [!]", " [!]", " [b1]", " [!]", " [b2]", " [!]", " [!]", " [!]"};
    for (int shift = 0; shift < 8; ++shift) {
        const QString tagged = "Game (U)" + QString(tags[shift]) + ".smc";
        EXPECT_EQ(dumpTagName("Game (U).smc", shift), tagged) << shift;
        EXPECT_EQ(dumpTagName(tagged, shift), "Game (U).smc") << shift;
    }
}

TEST(NameRules, DumpTagsAndStrippedText) {
    struct Case {
        const char* name;
        int shift;  // -1: strip "text" instead
        const char *text, *expected;
    };
    // clang-format off
    const Case cases[] = {
        // (Each modifier state's tag on a plain name is the test above.)
        {"Game [b1].smc", 4, "", "Game [b1] [b2].smc"}, {"Game", 0, "", "Game [!]"},
        {"A [!] B [!].smc", 0, "", "A B.smc"},
        {"Super_Mario.World_(J).smc", -1, "(J)", "Super Mario World.smc"},
        {"Mario_Kart.smc", -1, "_", "Mario Kart.smc"}, {"a.b.c.smc", -1, ".", "a b c.smc"},
        {"Game (j) .smc", -1, "(J)", "Game.smc"},      {"README", -1, "me", "READ"},
        // What the removed text leaves: no blank before the extension, none doubled, none
        // leading; a name with nothing left before its extension stays as it is.
        {"Combat_(1977)_Atari.bin", -1, "Atari", "Combat (1977).bin"},
        {"Combat_Atari_(1977).bin", -1, "Atari", "Combat (1977).bin"},
        {"Atari_Combat.bin", -1, "atari", "Combat.bin"},
        {"Combat  Atari   1977.bin", -1, "Atari", "Combat 1977.bin"},
        {"Combat_Atari", -1, "Atari", "Combat"},
        {"Atari.bin", -1, "Atari", "Atari.bin"},
        {"_Atari_.bin", -1, "Atari", "_Atari_.bin"},
        {"Pitfall!_(1982)_(Activision).a26", -1, "(Activision)", "Pitfall! (1982).a26"},
        // The text is tidied as the name is: its dots and underscores are blanks there.
        {"River Raid [www.site.example].a26", -1, "[www.site.example]", "River Raid.a26"},
        {"River_Raid_[www_site_example].a26", -1, "[WWW.site.example]", "River Raid.a26"},
        {"Game (v1.1).a26", -1, "(v1.1)", "Game.a26"},
        // A text that tidies to blanks alone only tidies: it must not join the words.
        {"Super Mario World.smc", -1, "._", "Super Mario World.smc"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const QString got =
            c.shift < 0 ? strippedName(c.name, c.text) : dumpTagName(c.name, c.shift);
        EXPECT_EQ(got, QString::fromUtf8(c.expected)) << c.name << " " << c.shift;
    }
}

TEST(NameRules, StripTextTakesTheNamesHoldingTheTextAsTypedOrTidied) {
    struct Case {
        const char *name, *text;
        bool holds;
    };
    const Case cases[] = {
        {"Game [www.site.example].a26", "[www.site.example]", true},
        {"Game_[www_site_example].a26", "[www.site.example]", true},
        {"Game_(J).smc", "_(j)", true},
        {"Game (J).smc", "_(J)", true},
        {"Game.a26", "e.a", true},  // as typed: the name is tidied, the text not found
        {"Game.a26", "(J)", false},
        {"Super Mario.smc", "_", false},
        {"Super Mario.smc", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nameHoldsText(c.name, c.text), c.holds) << c.name << " " << c.text;
}

// A batch's closing words: the count in the right number, and every game that was given
// another name than it asked for, so that no numbered name is given silently.
TEST(NameRules, ABatchSaysHowManyAndWhichNamesWereNumbered) {
    const std::vector<GameRename> asked{{"a_x.bin", "a.bin"}, {"b_x.bin", "b.bin"}};
    EXPECT_EQ(renamedCountText(asked, {}), "0 Files Renamed");
    EXPECT_EQ(renamedCountText(asked, {{"a_x.bin", "a.bin"}}), "1 File Renamed");
    EXPECT_EQ(renamedCountText(asked, {{"a_x.bin", "a.bin"}, {"b_x.bin", "b(1).bin"}}),
              "2 Files Renamed\n'b.bin' is taken, and nothing is ever overwritten: 'b_x.bin' is "
              "now 'b(1).bin'.");

    std::vector<GameRename> many, given;
    for (int i = 0; i < 12; ++i) {
        const QString n = QString::number(i);
        many.push_back({n + "_x.bin", "g.bin"});
        given.push_back({n + "_x.bin", "g(" + n + ").bin"});
    }
    const QStringList lines = renamedCountText(many, given).split('\n');
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines.first(), "12 Files Renamed");
    EXPECT_EQ(lines.last(), "... and 2 more were given another name.");
}

}  // namespace
