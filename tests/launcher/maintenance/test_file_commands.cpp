// Renaming and trashing on real folders: what belongs to a game goes with it, a disc game whole
// or not at all, and nothing is ever overwritten.

#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/CanonicalName.h"
#include "launcher/maintenance/DiscPlaylist.h"
#include "launcher/maintenance/DiscSetCommands.h"
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

// The platform's operations, with the n-th rename, removal or rewrite failing.
class FailingFiles : public fakes::ForwardingFiles {
public:
    explicit FailingFiles(platform::TrashPlaces trash = {})
        : ForwardingFiles(real), real(std::move(trash)) {}
    bool rename(const QString& from, const QString& to) override {
        return --renamesLeft != 0 && real.rename(from, to);
    }
    bool remove(const QString& p) override { return --removesLeft != 0 && real.remove(p); }
    bool restore(const QString& p) override { return real.restore(p); }
    bool replaceContent(const QString& p, const QByteArray& bytes) override {
        return --rewritesLeft != 0 && real.replaceContent(p, bytes);
    }
    int renamesLeft = -1, removesLeft = -1, rewritesLeft = -1;
    platform::LocalFileOperations real;
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

// Ctrl (2) and Alt (4) alone choose the bad-dump tags; every other state the good-dump tag.
TEST(NameRules, DumpTagForEachModifierState) {
    const char* const tags[8] = {" [!]", " [!]", " [b1]", " [!]", " [b2]", " [!]", " [!]", " [!]"};
    for (int shift = 0; shift < 8; ++shift) {
        const QString tagged = "Game (U)" + QString(tags[shift]) + ".smc";
        EXPECT_EQ(dumpTagName("Game (U).smc", shift), tagged) << shift;
        EXPECT_EQ(dumpTagName(tagged, shift), "Game (U).smc") << shift;
    }
}

TEST(NameRules, DumpTagsAndStrippedText) {
    // The name, the modifier state (-1: strip the text instead), the text, the name wanted.
    // clang-format off
    const std::tuple<const char*, int, const char*, const char*> cases[] = {
        {"Game [b1].smc", 4, "", "Game [b1] [b2].smc"}, {"Game", 0, "", "Game [!]"},
        {"A [!] B [!].smc", 0, "", "A B.smc"},
        {"Super_Mario.World_(J).smc", -1, "(J)", "Super Mario World.smc"},
        {"Mario_Kart.smc", -1, "_", "Mario Kart.smc"}, {"a.b.c.smc", -1, ".", "a b c.smc"},
        {"Game (j) .smc", -1, "(J)", "Game.smc"},      {"README", -1, "me", "READ"},
        // No blank left before the extension, doubled or leading; a name left empty stays.
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
    for (const auto& [name, shift, text, expected] : cases) {
        const QString got = shift < 0 ? strippedName(name, text) : dumpTagName(name, shift);
        EXPECT_EQ(got, QString::fromUtf8(expected)) << name << " " << shift;
    }
}

TEST(NameRules, StripTextTakesTheNamesHoldingTheTextAsTypedOrTidied) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"Game [www.site.example].a26", "[www.site.example]", true},
        {"Game_[www_site_example].a26", "[www.site.example]", true},
        {"Game_(J).smc", "_(j)", true},
        {"Game (J).smc", "_(J)", true},
        {"Game.a26", "e.a", true},  // as typed: the name is tidied, the text not found
        {"Game.a26", "(J)", false},
        {"Super Mario.smc", "_", false},
        {"Super Mario.smc", "", false},
    };
    for (const auto& [name, text, holds] : cases)
        EXPECT_EQ(nameHoldsText(name, text), holds) << name << " " << text;
}

// A batch's closing words: how many, and every name numbered, so that none is given silently.
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

TEST(CanonicalNameFor, OnlyVerifiedGamesWithUsableNames) {
    const auto verified = [](const QString& name, const QString& member = {}) {
        return identification(Verdict::Verified, name, member);
    };
    identify::Identification noEntry;
    noEntry.verdict = Verdict::Verified;
    identify::Identification unreadable;
    unreadable.problem = "Permission denied";
    const QString e125 = QString(125, u'\u00e9') + ".nes";
    // What was found, the name it gives (empty: refused) and a part of the reason.
    // clang-format off
    const std::tuple<const char*, identify::Identification, QString, QString> cases[] = {
        {"verified", verified("Mario (World).nes"), "Mario (World).nes", ""},
        {"name as it stands", verified("mario.NES"), "mario.NES", ""},
        {"zip: stem + .zip", verified("Mario (World).nes", "x.nes"), "Mario (World).zip", ""},
        {"zip, dot in the title", verified("Mario Bros. (W)", "x"), "Mario Bros. (W).zip", ""},
        {"crc only", identification(Verdict::CrcOnly, "m.nes"), "", "SHA-1 differs"},
        {"bad dump", identification(Verdict::BadDump, "m.nes"), "", "bad dump of nes/smb"},
        {"unknown", identify::Identification(), "", "matches no entry"},
        {"unreadable", unreadable, "", "Permission denied"},
        {"no entry", noEntry, "", "no entry"},
        {"own name", verified("game.nes"), "", "already has"},
        {"empty", verified(""), "", "empty"},
        {"slash", verified("roms/m.nes"), "", "separator"},
        {"backslash", verified("roms\\m.nes"), "", "separator"},
        {"dot", verified("."), "", "folder"},
        {"dot dot", verified(".."), "", "folder"},
        {"hidden", verified(".m.nes"), "", "hide"},
        {"zip of a dot name", verified(".nes", "x"), "", "empty"},
        {"control", verified("m\tx.nes"), "", "control"},
        // Counted in bytes: 134 characters, 264 bytes; then 254 bytes.
        {"too long", verified(QString(130, u'\u00e9') + ".nes"), "", "too long"},
        {"long enough", verified(e125), e125, ""},
    };
    // clang-format on
    for (const auto& [what, found, name, saying] : cases) {
        SCOPED_TRACE(what);
        const CanonicalName got = canonicalNameFor("game.nes", found);
        EXPECT_EQ(got.name, name);
        EXPECT_EQ(got.ok(), !name.isEmpty());
        if (!saying.isEmpty()) {
            EXPECT_TRUE(got.whyNot.contains(saying)) << got.whyNot.toStdString();
        }
    }
}

// Ctrl+N's question names the entry beside the new name; nothing of it repeats the title.
TEST(CanonicalNameFor, TheEntryIsNamedWithoutRepeatingTheTitle) {
    const char* const cases[][4] = {
        // software, description, target, shown
        {"smb", "Super Mario Bros.", "Super Mario Bros. (World).nes",
         "nes/smb (Super Mario Bros.)"},
        {"Pitfall! (USA)", "Pitfall! (USA)", "Pitfall! (USA).a26", "nes"},
        {"pitfall", "Pitfall! (USA)", "Pitfall! (USA).zip", "nes/pitfall"},
        {"Pitfall (USA)", "pitfall (usa)", "Other.a26", "nes/Pitfall (USA)"},
        {"pitfall", "", "Pitfall! (USA).a26", "nes/pitfall"},
    };
    for (const auto& [software, description, target, shown] : cases) {
        identify::RomEntry entry;
        entry.source = "nes";
        entry.software = software;
        entry.description = description;
        EXPECT_EQ(entryNameText(entry, target), shown) << target;
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

TEST(RenamedReferences, RewriteOnlyTheNamesThatMove) {
    const QHash<QString, QString> renamed{
        {"beta (track 1).bin", "Gamma (Track 1).bin"},
        {"beta.bin", "Gamma X.bin"},
        {platform::foldName(platform::decodeName("Beta \xff.bin")),
         platform::decodeName("Gamma \xff.bin")},
        {"beta (disc 1).cue", "Gamma (Disc 1).cue"},
        {"beta.raw", "Gamma.raw"}};
    // clang-format off
    // The set file, its text and the text rewritten.
    const std::tuple<const char*, QByteArray, QByteArray> cases[] = {
        // Quoted, CRLF, the lines around untouched.
        {"a.cue", "REM x\r\nFILE \"Beta (Track 1).bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n",
                  "REM x\r\nFILE \"Gamma (Track 1).bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n"},
        // A name given blanks is quoted where it was not; "./" and ".\" stay.
        {"a.cue", "FILE Beta.bin BINARY\nFILE ./Beta.bin BINARY\nFILE .\\Beta.bin BINARY\n",
                  "FILE \"Gamma X.bin\" BINARY\nFILE \"./Gamma X.bin\" BINARY\nFILE \".\\Gamma X.bin\" BINARY\n"},
        // Bytes that are not UTF-8 stay as they were; another folder's file is not the set's.
        {"a.cue", "FILE \"Beta \xff.bin\" BINARY\nFILE \"sub/Beta.bin\" BINARY\nREM \xfe\n",
                  "FILE \"Gamma \xff.bin\" BINARY\nFILE \"sub/Beta.bin\" BINARY\nREM \xfe\n"},
        // Letter case ignored: written as the folder spells the new name.
        {"a.gdi", "2\n1 0 4 2352 beta.raw 0\n2 600 0 2352 \"other.raw\" 0\n",
                  "2\n1 0 4 2352 Gamma.raw 0\n2 600 0 2352 \"other.raw\" 0\n"},
        // A playlist line is the name, blanks and all; comments and the byte order mark stay.
        {"a.m3u", "\xEF\xBB\xBF#EXTM3U\r\nBeta (Disc 1).cue\r\nBeta (Disc 2).cue",
                  "\xEF\xBB\xBF#EXTM3U\r\nGamma (Disc 1).cue\r\nBeta (Disc 2).cue"},
    };
    // clang-format on
    for (const auto& [setFile, before, after] : cases)
        EXPECT_EQ(renamedReferences(setFile, before, renamed), after) << before.constData();
}

// Beta: two discs (a .cue, two tracks), an .m3u, a screenshot and a member named otherwise.
struct BetaGame {
    BetaGame() {
        for (int d = 1; d <= 2; ++d) {
            QByteArray cue;
            for (int t = 1; t <= 2; ++t) {
                const QString track = QStringLiteral("Beta (Disc %1) (Track %2).bin").arg(d).arg(t);
                dir.write("roms/" + track, track.toUtf8());
                cue += "FILE \"" + track.toUtf8() + "\" BINARY\r\n";
            }
            if (d == 2) cue += "FILE \"shared.bin\" BINARY\r\n";
            dir.write(QStringLiteral("roms/Beta (Disc %1).cue").arg(d), cue);
        }
        dir.write("roms/shared.bin", "shared");
        dir.write("roms/Beta.m3u", "Beta (Disc 1).cue\nBeta (Disc 2).cue\n");
        dir.write("roms/Other.bin", "other");
        dir.write("shots/Beta.png", "picture");
    }
    QString roms() const { return dir.file("roms/"); }
    DiscSet set() const { return *discSetHeadedBy(roms(), "Beta.m3u"); }
    GamePictures pictures() const {
        const QString shot = dir.file("shots/Beta.png");
        return {[=](const QString& name) {
                    return name.startsWith("Beta") && QFile::exists(shot) ? shot : QString();
                },
                [=](const QString& name) {
                    return name == "Beta.m3u" && QFile::exists(shot) ? QStringList{shot}
                                                                     : QStringList();
                }};
    }
    TempFolder dir;
};

TEST(DiscSetRename, RenamesEveryFileOfTheGameAndItsReferences) {
    // A file already there (or nothing), the new name asked for and the one given.
    const std::tuple<const char*, QString, std::optional<QString>> cases[] = {
        {nullptr, "Gamma.m3u", "Gamma.m3u"},
        // One member's new name is taken: the whole game is numbered, as F2 numbers a file.
        {"roms/Gamma (Disc 2) (Track 1).bin", "Gamma.m3u", "Gamma(1).m3u"},
        {"shots/Gamma.png", "Gamma.m3u", "Gamma(1).m3u"},
        // The row's type is the set's.
        {nullptr, "Gamma.cue", std::nullopt},
    };
    for (const auto& [taken, newTop, expected] : cases) {
        BetaGame game;
        TempFolder& dir = game.dir;
        const QString roms = game.roms();
        if (taken) dir.write(taken, "theirs");
        const QStringList before = filesUnder(dir.path());
        QString why;
        const auto given = renameDiscSet(files, roms, game.set(), newTop, game.pictures(), &why);
        ASSERT_EQ(given, expected) << qPrintable(newTop);
        if (taken) {
            EXPECT_EQ(dir.read(taken), "theirs");
        }
        if (!given) {
            EXPECT_EQ(filesUnder(dir.path()), before);
            EXPECT_FALSE(why.isEmpty());
            continue;
        }
        const QString stem = given->chopped(4);
        const QStringList names = QDir(roms).entryList(QDir::Files, QDir::Name);
        for (const QString& left : names)
            EXPECT_FALSE(left.startsWith("Beta")) << qPrintable(left);
        EXPECT_TRUE(names.contains("shared.bin") && names.contains("Other.bin"));
        EXPECT_EQ(dir.read("roms/" + *given),
                  (stem + " (Disc 1).cue\n" + stem + " (Disc 2).cue\n").toUtf8());
        EXPECT_EQ(dir.read("roms/" + stem + " (Disc 2).cue"),
                  ("FILE \"" + stem + " (Disc 2) (Track 1).bin\" BINARY\r\nFILE \"" + stem +
                   " (Disc 2) (Track 2).bin\" BINARY\r\nFILE \"shared.bin\" BINARY\r\n")
                      .toUtf8());
        EXPECT_TRUE(dir.exists("shots/" + stem + ".png"));
        const DiscSet renamed = *discSetHeadedBy(roms, *given);
        EXPECT_TRUE(renamed.missing.isEmpty());
        EXPECT_EQ(renamed.members.size(), 7);
    }
}

TEST(DiscSetRename, UndoesEveryStepWhenOneFails) {
    BetaGame game;
    // The failing rename or rewrite: the top moves first, the picture last, then three rewrites.
    const std::pair<int, int> cases[] = {{1, -1}, {4, -1}, {8, -1}, {-1, 1}, {-1, 3}};
    for (const auto& [rename, rewrite] : cases) {
        const QStringList before = filesUnder(game.dir.path());
        FailingFiles failing;
        failing.renamesLeft = rename;
        failing.rewritesLeft = rewrite;
        QString why;
        EXPECT_EQ(
            renameDiscSet(failing, game.roms(), game.set(), "Gamma.m3u", game.pictures(), &why),
            std::nullopt);
        EXPECT_TRUE(why.contains("Nothing was renamed")) << qPrintable(why);
        EXPECT_EQ(filesUnder(game.dir.path()), before) << rename << " " << rewrite;
    }
}

TEST(DiscSetTrash, TrashesTheWholeGameOrNone) {
    for (const int failing : {4, 1, -1}) {
        BetaGame game;
        const QString trash = game.dir.file("Trash");
        const QStringList before = QDir(game.roms()).entryList(QDir::Files, QDir::Name);
        FailingFiles files(platform::TrashPlaces{trash, false});
        files.removesLeft = failing;
        QString why;
        const bool trashed = trashDiscSet(files, game.roms(), game.set(), &why);
        EXPECT_EQ(trashed, failing < 0);
        const QStringList after = QDir(game.roms()).entryList(QDir::Files, QDir::Name);
        if (trashed) {
            EXPECT_EQ(after, QStringList({"Other.bin"}));
            EXPECT_EQ(QDir(trash + "/files").entryList(QDir::Files).size(), 8);
        } else {
            EXPECT_EQ(after, before);
            EXPECT_TRUE(why.contains("None of the game's files")) << qPrintable(why);
            EXPECT_TRUE(QDir(trash + "/info").entryList(QDir::Files).isEmpty());
        }
    }
}

TEST(DiscPlaylist, FindsTheDiscsOfTheSelectedGameInOrder) {
    // clang-format off
    const QStringList listed{
        "Beta (Disc 2).cue", "Beta (Disc 10).cue", "beta (disc 1).cue", "Beta (Disc 3).chd",
        "Beta.cue", "Beta II (Disc 1).cue", "Gamma (Disc 1 of 2) (USA).chd",
        "Gamma (Disc 2 of 2) (USA).chd", "Delta (Disc 1).cue", "Delta (Disc 1) [!].cue",
        "Delta (Disc 2).cue", "Epsilon (Disc 1).cue"};
    // clang-format on
    // The playlist's name, then its discs; none for a game without one.
    const auto playlist = [](const QString& selected, const QStringList& listed) {
        const auto p = playlistFor(selected, listed);
        return p ? QStringList{p->name} + p->discs : QStringList();
    };
    // clang-format off
    const std::pair<QString, QStringList> cases[] = {
        // Disc order by number; other types, other games and a name without a disc stay out.
        {"Beta (Disc 2).cue", {"Beta.m3u", "beta (disc 1).cue", "Beta (Disc 2).cue", "Beta (Disc 10).cue"}},
        {"Gamma (Disc 2 of 2) (USA).chd", {"Gamma (USA).m3u", "Gamma (Disc 1 of 2) (USA).chd", "Gamma (Disc 2 of 2) (USA).chd"}},
        {"Beta.cue", {}},
        {"Epsilon (Disc 1).cue", {}},  // one disc is no game of several
        {"Delta (Disc 2).cue", {"Delta.m3u", "Delta (Disc 1).cue", "Delta (Disc 2).cue"}},
    };
    // clang-format on
    for (const auto& [selected, expected] : cases)
        EXPECT_EQ(playlist(selected, listed), expected) << qPrintable(selected);
    // Two discs of one number: which one is meant is not known.
    EXPECT_EQ(playlist("Beta (Disc 2).cue", listed + QStringList{"Beta (Disc 02).cue"}),
              QStringList());
}

TEST(DiscPlaylist, EmulatorsReadThemByTheirMasks) {
    EXPECT_TRUE(readsPlaylists("*.cue;*.M3U;*.chd"));
    EXPECT_TRUE(readsPlaylists(" *.m3u "));
    EXPECT_FALSE(readsPlaylists("*.cue;*.m3u8;*.bin"));
    EXPECT_FALSE(readsPlaylists("*.*"));
}

TEST(DiscPlaylist, IsWrittenBesideTheDiscsAndNeverOverAFile) {
    TempFolder dir;
    const Playlist playlist{"Beta.m3u", {"Beta (Disc 1).cue", "Beta (Disc 2).cue"}};
    ASSERT_TRUE(writePlaylistFile(dir.file(""), playlist));
    EXPECT_EQ(dir.read("Beta.m3u"), "Beta (Disc 1).cue\nBeta (Disc 2).cue\n");
    dir.write("Beta.m3u", "mine");
    QString why;
    EXPECT_FALSE(writePlaylistFile(dir.file(""), playlist, &why));
    EXPECT_EQ(why, "that name is already taken");
    EXPECT_EQ(filesUnder(dir.path()), QStringList{"Beta.m3u: mine"});
}

}  // namespace
