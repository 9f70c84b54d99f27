// Renaming on real folders: what belongs to a game goes with it, a killed batch is put right.

#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/CanonicalName.h"
#include "launcher/maintenance/FileRenaming.h"
#include "launcher/maintenance/RenameJournal.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "support/FakeFolderIdentifier.h"
#include "support/Forked.h"
#include "support/ForwardingFiles.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <QDir>

#include <gtest/gtest.h>

#include <csignal>

namespace {

using fakes::FailingFiles;
using fakes::identification;
using identify::Verdict;

platform::LocalFileOperations files;

// Writes each of `files` under `folder`: "name" holding its own name, or "name: content".
void fill(TempFolder& t, const QString& folder, const QStringList& files) {
    t.mkdir(folder);
    for (const QString& f : files) {
        if (f.contains(": "))
            t.write(folder + f.section(": ", 0, 0), f.section(": ", 1).toUtf8());
        else
            t.write(folder + f, f.toUtf8());
    }
}

// The window's picture folders for the games in `emu`'s "roms".
GamePictures windowPictures(ScreenshotSearch& search, const TempFolder& emu) {
    const QString root = emu.path() + '/';
    return picturesIn(search, screenshotFoldersOf({}, root, root + "roms"));
}

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

// Makes "name" (holding its name), "name -> target" (a link) or "name = other" (a hard link).
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

// Taken names (in any case) give the next free one, twins follow, links are entries of their own.
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
    EXPECT_EQ(renameGameFile(files, t.path() + "/", odd, odder, {}), odder);
    EXPECT_EQ(raw::read(t.file(odder)), "mine");

    t.write("a.smc", "mine");
    RacingFiles racing;
    EXPECT_EQ(renameGameFile(racing, t.path() + "/", "a.smc", "b.smc", {}), std::nullopt);
    EXPECT_EQ(t.read("a.smc"), "mine");
    EXPECT_EQ(t.read("b.smc"), "theirs");
}

TEST(RenameGameFiles, SameAsOneAfterAnotherWithNoOverwriteAndTwinsFollowing) {
    // The games and pictures (each file holding its name), the renames wanted, the files after.
    // clang-format off
    const std::tuple<QStringList, QStringList, std::vector<GameRename>, QStringList> cases[] = {
        // Three games become one name; a name the batch took a moment ago is taken.
        {{"Combat.bin", "Combat_Atari.bin", "Combat_ATARI.bin"}, {},
         {{"Combat_Atari.bin", "Combat.bin"}, {"Combat_ATARI.bin", "Combat.bin"}},
         {"roms/Combat(1)(2).bin: Combat_ATARI.bin", "roms/Combat(1).bin: Combat_Atari.bin",
          "roms/Combat.bin: Combat.bin"}},
        // Screenshots go with their games, each in its own type.
        {{"x_A.smc", "y_A.smc"}, {"x_A.png", "y_A.jpg"},
         {{"y_A.smc", "y.smc"}, {"x_A.smc", "x.smc"}},
         {"roms/x.smc: x_A.smc", "roms/y.smc: y_A.smc", "shots/x.png: x_A.png",
          "shots/y.jpg: y_A.jpg"}},
        // A name the batch freed is free for the next game.
        {{"a.smc", "b.smc"}, {"b.png"},
         {{"b.smc", "c.smc"}, {"a.smc", "b.smc"}},
         {"roms/b.smc: a.smc", "roms/c.smc: b.smc", "shots/c.png: b.png"}},
        // A game given another game's name takes the next free one, before the other renames.
        {{"Pac.smc", "Pac_A.smc"}, {"Pac_A.png"},
         {{"Pac_A.smc", "Pac.smc"}, {"Pac.smc", "Man.smc"}},
         {"roms/Man.smc: Pac.smc", "roms/Pac(1).smc: Pac_A.smc", "shots/Pac(1).png: Pac_A.png"}},
        // Two spellings of one name: the other one still counts as taken.
        {{"a.smc", "A.smc", "q.smc"}, {},
         {{"a.smc", "z.smc"}, {"q.smc", "a.smc"}},
         {"roms/A.smc: A.smc", "roms/a(1).smc: q.smc", "roms/z.smc: a.smc"}},
        // A picture other listed games show too stays where it is.
        {{"Game (U)_A.smc", "Game (E)_A.smc"}, {"Game.png"},
         {{"Game (U)_A.smc", "Game (U).smc"}, {"Game (E)_A.smc", "Game (E).smc"}},
         {"roms/Game (E).smc: Game (E)_A.smc", "roms/Game (U).smc: Game (U)_A.smc",
          "shots/Game.png: Game.png"}},
    };
    // clang-format on
    for (const auto& [roms, shots, wanted, after] : cases) {
        SCOPED_TRACE(roms.join(" | ").toStdString());
        TempFolder batch, single;
        for (TempFolder* t : {&batch, &single}) {
            fill(*t, "roms/", roms);
            fill(*t, "shots/", shots);
        }
        const auto foldersOf = [](const TempFolder& t) {
            return QStringList{t.file("shots/"), t.file("roms/")};
        };

        ScreenshotSearch batchShots;
        RenameBatchHooks hooks;
        hooks.moved = [&](const QString& from, const QString& to) { batchShots.moved(from, to); };
        batchShots.holdListings();
        const auto given = renameGameFiles(files, batch.file("roms/"), wanted,
                                           picturesIn(batchShots, foldersOf(batch)), hooks);
        batchShots.releaseListings();
        EXPECT_EQ(filesUnder(batch.path()), after);

        ScreenshotSearch singleShots;
        std::vector<GameRename> one;
        for (const GameRename& w : wanted) {
            const auto name = renameGameFile(files, single.file("roms/"), w.oldName, w.newName,
                                             picturesIn(singleShots, foldersOf(single)));
            if (name) one.push_back({w.oldName, *name});
        }
        EXPECT_EQ(given, one);
        EXPECT_EQ(filesUnder(single.path()), after);
    }
}

TEST(RenameGameFiles, ReportsProgressAfterEachGameAndStopsWhenAsked) {
    TempFolder t;
    fill(t, "roms/", {"a_X.smc", "b_X.smc", "c_X.smc"});
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

TEST(RenameGameFile, TakesOnlyItsOwnPicturesAndBothHalvesOfAPairOrNeither) {
    // The emulator folder's files (as fill() takes them), the rename, the name given, the files.
    const auto none = std::nullopt;
    // clang-format off
    const std::tuple<const char*, QStringList, QString, QString, std::optional<QString>,
                     QStringList> cases[] = {
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
         {"roms/Game.bin", "roms/Game (Rev 1).bin", "roms/.hidden: Game (Rev 1).bin\n",
          "roms/Game (Beta).zip", "shots/Game.png"},
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
        {"a folder under a picture's new name counts as taken",
         {"roms/Game.bin", "shots/Game.png", "shots/Hero.png/in a folder"}, "Game.bin",
         "Hero.bin", "Hero(1).bin",
         {"roms/Hero(1).bin: roms/Game.bin", "shots/Hero(1).png: shots/Game.png",
          "shots/Hero.png/in a folder: shots/Hero.png/in a folder"}},
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
    for (const auto& [what, entries, from, to, given, after] : cases) {
        SCOPED_TRACE(what);
        TempFolder emu;
        fill(emu, "", entries);
        ScreenshotSearch search;
        EXPECT_EQ(renameGameFile(files, emu.file("roms/"), from, to, windowPictures(search, emu)),
                  given);
        EXPECT_EQ(filesUnder(emu.path()), after);
    }
}

// Both halves of a pair asked for: the first takes the other, which counts as renamed too.
TEST(RenameGameFiles, BothHalvesOfAPairAskedForAreOneRename) {
    const std::vector<GameRename> wanted[] = {{{"foo.jar", "Bar.jar"}, {"foo.jad", "Bar.jad"}},
                                              {{"foo.jad", "Baz.jad"}, {"foo.jar", "Bar.jar"}}};
    for (const auto& w : wanted) {
        SCOPED_TRACE(w.front().newName.toStdString());
        TempFolder emu;
        fill(emu, "roms/", {"foo.jar: jar", "foo.jad: jad"});
        const QString stem = w.front().newName.chopped(4);
        ScreenshotSearch search;
        const auto given =
            renameGameFiles(files, emu.file("roms/"), w, picturesIn(search, {emu.file("shots/")}));
        EXPECT_EQ(given, (std::vector<GameRename>{{w[0].oldName, w[0].newName},
                                                  {w[1].oldName, stem + w[1].oldName.right(4)}}));
        EXPECT_EQ(filesUnder(emu.path()),
                  (QStringList{"roms/" + stem + ".jad: jad", "roms/" + stem + ".jar: jar"}));
    }
}

TEST(RenameToCanonicalName, MovesTheGameAndItsScreenshotNeverOverAnotherFile) {
    struct Case {
        const char* what;
        QStringList roms;  // each file's content is its name
        bool picturesStuck = false;
        std::optional<QString> given;
        QStringList after;
        Verdict verdict = Verdict::Verified;
    };
    const QStringList stay{"roms/game.nes: game.nes", "shots/game.png: picture"};
    // clang-format off
    const Case cases[] = {
        {"plain", {"game.nes"}, false, "Mario.nes",
         {"roms/Mario.nes: game.nes", "shots/Mario.png: picture"}},
        // A taken name gives the next free one, as with F2.
        {"taken", {"game.nes", "Mario.nes"}, false, "Mario(1).nes",
         {"roms/Mario(1).nes: game.nes", "roms/Mario.nes: Mario.nes", "shots/Mario(1).png: picture"}},
        {"picture stuck", {"game.nes"}, true, std::nullopt, stay},
        {"crc only", {"game.nes"}, false, std::nullopt, stay, Verdict::CrcOnly},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder emu;
        fill(emu, "roms/", c.roms);
        emu.write("shots/game.png", "picture");
        ScreenshotSearch search;
        FailingFiles used;
        used.renamesLeft = c.picturesStuck ? 2 : -1;  // the game moves first, its picture next
        const CanonicalRename done = renameGameToCanonicalName(
            used, emu.file("roms/game.nes"), identification(c.verdict, "Mario.nes"),
            picturesIn(search, {emu.file("shots/")}));
        EXPECT_EQ(done.given, c.given);
        EXPECT_EQ(done.whyNot.isEmpty(), c.given.has_value()) << (done.whyNot).toStdString();
        EXPECT_EQ(filesUnder(emu.path()), c.after);
    }
}

QStringList notes() {
    return QDir(RenameJournal::defaultFolder()).entryList(QDir::Files | QDir::Hidden);
}

// F8 killed after its `killAt`th move (a.jar, its picture and .jad, b_X.bin), then a new start.
TEST(RenameJournal, AKilledBatchIsPutRightAtTheNextStart) {
    // The move killed after, and the files it leaves for the next start.
    const std::pair<int, QStringList> cases[] = {
        {1,
         {"roms/Hero.jar: a.jar", "roms/a.jad: a.jad", "roms/b_X.bin: b", "shots/a.png: pa",
          "shots/b_X.png: pb"}},
        {4,
         {"roms/Hero.jad: a.jad", "roms/Hero.jar: a.jar", "roms/b.bin: b", "shots/Hero.png: pa",
          "shots/b_X.png: pb"}},
    };
    const QStringList together{"roms/Hero.jad: a.jad", "roms/Hero.jar: a.jar", "roms/b.bin: b",
                               "shots/Hero.png: pa", "shots/b.png: pb"};
    for (const auto& [killAt, before] : cases) {
        SCOPED_TRACE(killAt);
        TempFolder emu;
        fill(emu, "",
             {"roms/a.jar: a.jar", "roms/a.jad: a.jad", "roms/b_X.bin: b", "shots/a.png: pa",
              "shots/b_X.png: pb"});
        const support::Forked killed = support::runForked([&](int) {
            ScreenshotSearch search;
            int moves = 0;
            RenameBatchHooks hooks;
            hooks.moved = [&](const QString&, const QString&) {
                if (++moves == killAt) ::raise(SIGKILL);
            };
            renameGameFiles(files, emu.file("roms/"), {{"a.jar", "Hero.jar"}, {"b_X.bin", "b.bin"}},
                            windowPictures(search, emu), hooks);
            return 0;
        });
        ASSERT_EQ(killed.status, -1);
        EXPECT_EQ(filesUnder(emu.path()), before);
        ASSERT_EQ(notes().size(), 1);

        recoverInterruptedRenames(files);
        // The pair killed half-way is whole again; the game not begun keeps its old name.
        QStringList expected = together;
        if (killAt < 4) {
            expected.replaceInStrings("roms/b.bin", "roms/b_X.bin");
            expected.replaceInStrings("shots/b.png", "shots/b_X.png");
            expected.sort();
        }
        EXPECT_EQ(filesUnder(emu.path()), expected);
        EXPECT_EQ(notes(), QStringList());
    }
}

TEST(RenameJournal, FinishesOrUndoesEachHalfDoneRenameAndNeverOverwrites) {
    // Renaming game.bin to Hero.bin with game.png: left, after, moves completed, undone, apart.
    // clang-format off
    const std::tuple<const char*, QStringList, QStringList, int, int, int> cases[] = {
        {"the game moved, its picture not: the picture follows",
         {"roms/Hero.bin: g", "shots/game.png: p"},
         {"roms/Hero.bin: g", "shots/Hero.png: p"}, 1, 0, 0},
        {"the picture's new name was taken since: the game goes back",
         {"roms/Hero.bin: g", "shots/game.png: p", "shots/Hero.png: other"},
         {"roms/game.bin: g", "shots/Hero.png: other", "shots/game.png: p"}, 0, 1, 0},
        {"its old name taken by another file too: nothing can tell, nothing is touched",
         {"roms/Hero.bin: g", "roms/game.bin: new", "shots/game.png: p", "shots/Hero.png: other"},
         {"roms/Hero.bin: g", "roms/game.bin: new", "shots/Hero.png: other", "shots/game.png: p"},
         0, 0, 0},
        {"killed before the game moved", {"roms/game.bin: g", "shots/game.png: p"},
         {"roms/game.bin: g", "shots/game.png: p"}, 0, 0, 0},
        {"killed after the last move", {"roms/Hero.bin: g", "shots/Hero.png: p"},
         {"roms/Hero.bin: g", "shots/Hero.png: p"}, 0, 0, 0},
        {"the picture went by other hands", {"roms/Hero.bin: g"}, {"roms/Hero.bin: g"}, 0, 0, 0},
    };
    // clang-format on
    for (const auto& [what, left, after, completed, undone, apart] : cases) {
        SCOPED_TRACE(what);
        TempFolder emu;
        fill(emu, "", left);
        const PlannedMoves moves{{emu.file("roms/game.bin"), emu.file("roms/Hero.bin")},
                                 {emu.file("shots/game.png"), emu.file("shots/Hero.png")}};
        // A run that wrote its note and died.
        support::runForked([&](int) { return (new RenameJournal())->begin(moves) ? 0 : 1; });

        const RecoveredRenames done = recoverInterruptedRenames(files);
        EXPECT_EQ(filesUnder(emu.path()), after);
        EXPECT_EQ(int(done.completed.size()), completed);
        EXPECT_EQ(int(done.undone.size()), undone);
        EXPECT_EQ(done.leftApart, apart);
        EXPECT_EQ(notes(), QStringList());
    }
}

// Killed while taking moves back: the game goes back last, so the next start still parts
// nothing.
TEST(RenameJournal, AKillWhileUndoingLeavesTheGameWithItsPicture) {
    TempFolder emu;
    fill(emu, "",
         {"roms/Hero.bin: g", "shots/Hero.png: p", "roms/game.jad: d", "roms/Hero.jad: other"});
    const PlannedMoves moves{{emu.file("roms/game.bin"), emu.file("roms/Hero.bin")},
                             {emu.file("shots/game.png"), emu.file("shots/Hero.png")},
                             {emu.file("roms/game.jad"), emu.file("roms/Hero.jad")}};
    support::runForked([&](int) { return (new RenameJournal())->begin(moves) ? 0 : 1; });
    const support::Forked killed = support::runForked([&](int) {
        struct KilledAfterOneMove : fakes::ForwardingFiles {
            bool rename(const QString& from, const QString& to) override {
                if (ForwardingFiles::rename(from, to)) ::raise(SIGKILL);
                return false;
            }
        } dying;
        recoverInterruptedRenames(dying);
        return 0;
    });
    ASSERT_EQ(killed.status, -1);
    recoverInterruptedRenames(files);
    EXPECT_EQ(filesUnder(emu.path()), (QStringList{"roms/Hero.jad: other", "roms/game.bin: g",
                                                   "roms/game.jad: d", "shots/game.png: p"}));
    EXPECT_EQ(notes(), QStringList());
}

// Another run's note is left alone while that run lives: its moves are under way.
TEST(RenameJournal, ALiveRunsNoteIsNotTouched) {
    TempFolder emu;
    fill(emu, "", {"roms/Hero.bin: g", "shots/game.png: p"});
    {
        RenameJournal live;
        ASSERT_TRUE(live.begin({{emu.file("roms/game.bin"), emu.file("roms/Hero.bin")},
                                {emu.file("shots/game.png"), emu.file("shots/Hero.png")}}));
        EXPECT_TRUE(recoverInterruptedRenames(files).completed.empty());
        EXPECT_EQ(filesUnder(emu.path()), (QStringList{"roms/Hero.bin: g", "shots/game.png: p"}));
        EXPECT_EQ(notes().size(), 1);
    }
    EXPECT_EQ(notes(), QStringList());
}

}  // namespace
