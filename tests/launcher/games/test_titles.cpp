// Game titles: the zinc builds' numbering, the arcade game list and the cleaning of names.
// A game list or zinc program that is no regular file (a FIFO, a device) must never hang
// the run; the test run's time limit catches one that does.

#include "launcher/PathHelpers.h"
#include "launcher/emulators/ZincTables.h"
#include "launcher/games/GameTitle.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDateTime kThreshold(QDate(2004, 10, 24), QTime(7, 19, 0));

TEST(ZincTables, TheBuildIsToldApartBySizeAndDate) {
    struct Case {
        std::optional<qint64> size;
        QDateTime date;
        ZincVariant expected;
    };
    using V = ZincVariant;
    // clang-format off
    const Case cases[] = {
        {647168, kThreshold.addSecs(1), V::A1}, {647168, kThreshold, V::A2},
        {647168, kThreshold.addMSecs(900), V::A2},  // file times count in seconds
        {647168, kThreshold.addSecs(-1), V::A2}, {647168, QDateTime(), V::A2},
        {647169, kThreshold.addSecs(-1), V::B1}, {647169, kThreshold, V::B2},
        {647167, kThreshold.addYears(3), V::B2},
        {std::nullopt, kThreshold.addSecs(1), V::B2}, {std::nullopt, QDateTime(), V::B1},
        // The comparison is in local time, whatever zone the date came in.
        {647168, kThreshold.addSecs(1).toUTC(), V::A1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(chooseZincVariant(c.size, c.date), c.expected);
    }
}

// A zinc program of the given size and date in a temporary emulator folder.
struct ZincFolder {
    TempFolder emu;
    TitleContext context;
    ZincFolder(qint64 size, const QDateTime& date) {
        emu.sparse("zinc.exe", size);
        emu.touch("zinc.exe", date);
        context = {"zinc.exe", emu.path() + '/', "Arcade Emulator"};
    }
};

TEST(GameTitles, ZincGivesTheFirstEntryHoldingTheShortName) {
    struct Case {
        qint64 size;
        QDateTime date;
        QString file, title, number;
    };
    const Case cases[] = {
        {647168, kThreshold.addDays(1), "sfex.zip", "Street Fighter EX (US)", "2"},
        // The key sfexj holds sfex.
        {647168, kThreshold.addDays(-1), "sfex.zip", "Street Fighter EX (JP)", "2"},
        // tekkenb comes before tekken.
        {647168, kThreshold.addDays(1), "tekken.zip", "Tekken (JP) Ver. B", "42"},
        {647168, kThreshold.addDays(1), "TEKKEN2.ZIP", "Tekken 2 (JP) Ver. B", "45"},
        // Each build words some titles its own way.
        {647168, kThreshold.addDays(-1), "hvnsgate.zip", "Heaven 's Gate", "70"},
        {1000, kThreshold.addDays(1), "sfexpu1.zip", "Street Fighter EX Plus (US 970311)", "6"},
        // A title can hold the name too.
        {1000, kThreshold.addDays(-1), "Angel.zip", "Kosodate Quiz My Angel 3 (JP) Ver. A", "26"},
        {1000, kThreshold.addDays(1), "unknown_game.zip", "unknown game", ""},
        {1000, kThreshold.addDays(1), "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        ZincFolder zinc(c.size, c.date);
        GameTitles titles;
        const GameTitleResult r = titles.titleOfGame(c.file, zinc.context);
        EXPECT_EQ(r.title, c.title);
        EXPECT_EQ(r.gameNumber, c.number);
    }
}

// The build is chosen once and kept; a program that is no regular file counts as missing.
TEST(GameTitles, TheZincBuildIsChosenOnceAndKeptAndAFifoCountsAsMissing) {
    ZincFolder zinc(647168, kThreshold.addDays(1));
    GameTitles titles;
    const GameTitleResult known = titles.titleOfGame("ehrgeiz.zip", zinc.context);
    EXPECT_EQ(known.title, "Ehrgeiz (US) Ver. A");
    EXPECT_EQ(titles.zincGameCount(), 69);
    zinc.emu.touch("zinc.exe", kThreshold.addDays(-1));
    EXPECT_EQ(titles.titleOfGame("ehrgeiz.zip", zinc.context).gameNumber, "59");
    EXPECT_EQ(titles.zincGameCount(), 69);

    TempFolder emu, none;
    ASSERT_EQ(::mkfifo(emu.file("zinc.exe").toUtf8().constData(), 0644), 0);
    const TitleContext fifo{"zinc.exe", emu.path() + '/', "Arcade Emulator"};
    const TitleContext missing{"zinc.exe", none.path() + '/', "Arcade Emulator"};
    GameTitles a, b;
    EXPECT_EQ(a.titleOfGame("sfex.zip", fifo).gameNumber,
              b.titleOfGame("sfex.zip", missing).gameNumber);
    EXPECT_EQ(a.zincGameCount(), b.zincGameCount());
    // The plain program of a known build picks another table.
    EXPECT_NE(known.gameNumber, a.titleOfGame("ehrgeiz.zip", fifo).gameNumber);
}

// A game line: the title in characters 2 to 35, the short name behind "| " at `at`.
QString gameLine(const QString& title, const QString& key, int at = 41) {
    QString line = '|' + title.leftJustified(34, ' ', true) + '|';
    line += QString(at - 1 - line.size(), 'x') + '|';
    return line + ' ' + key + " |a|b|c|";
}

TEST(GameTitles, ArcadeTitlesComeFromTheEmulatorsGameList) {
    ASSERT_EQ(gameLine("T", "k").indexOf("| k"), 40);
    struct Case {
        const char* what;
        QByteArray list;
        QString file, title;
    };
    const QByteArray list =
        (gameLine("Street Fighter Alpha (Euro 950727)", "sfa") + "\r\n" +
         gameLine("  Galaga (Namco rev. B)  ", "galaga") + "\n" +
         gameLine("Galaxian (J)", "galaxian") + "\r" + gameLine("Early column", "early", 38) +
         "\n" + gameLine("Too early", "tooearly", 37) + "\n" + "| not a game line | galaga2 |\n")
            .toUtf8();
    const Case cases[] = {
        {"title trimmed, case ignored", list, "GALAGA.zip", "Galaga (Namco rev. B)"},
        {"the first line holding the name", list, "sfa.zip", "Street Fighter Alpha (Euro 950727)"},
        {"cleaned afterwards", list, "galaxian.zip", "Galaxian"},
        {"short name at character 38", list, "early.zip", "Early column"},
        {"short name before character 38", list, "tooearly.zip", "tooearly"},
        {"lines of another shape", list, "galaga2.zip", "galaga2"},
        {"latin-1 titles", gameLine(QString::fromLatin1("Pok\xe9mon"), "pkmn").toLatin1(),
         "pkmn.zip", "Pok\u00e9mon"},
        {"binary bytes",
         QByteArray("\0\xff\xfe|||||||\n\x01\x02\n", 14) + gameLine("Q", "q").toUtf8(), "q.zip",
         "Q"},
        {"one long line", QByteArray(3 << 20, '|') + "\n" + gameLine("Long", "long").toUtf8(),
         "long.zip", "Long"},
        {"no game lines", QByteArray(100000 * 10, 'a').replace(8, 1, "\n"), "x_y.zip", "x y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder emu;
        emu.write("GameList.txt", c.list);
        GameTitles titles;
        const TitleContext context{"mame.exe", emu.path() + '/', "Arcade Emulator"};
        const GameTitleResult r = titles.titleOfGame(c.file, context);
        EXPECT_EQ(r.title, c.title);
        EXPECT_EQ(r.gameNumber, QString());
    }
}

// The list is read once, at most ten thousand lines of it, and kept for the rest of the run.
// Missing, or made as a FIFO, a link to /dev/zero or a folder, it is not read and is looked
// for again at the next title.
TEST(GameTitles, TheGameListIsReadOnceWhenItIsAFileAndAtMostTenThousandLines) {
    QByteArray list;
    for (int i = 0; i < 10001; ++i)
        list += gameLine(QStringLiteral("Game %1").arg(i), QStringLiteral("g%1x").arg(i)).toUtf8() +
                '\n';
    for (const int kind : {0, 1, 2, 3}) {
        SCOPED_TRACE(kind);
        TempFolder emu;
        const QString path = emu.file("gamelist.txt");
        const QByteArray bytes = path.toUtf8();
        ASSERT_TRUE(kind == 0   ? true
                    : kind == 1 ? ::mkfifo(bytes.constData(), 0644) == 0
                    : kind == 2 ? ::symlink("/dev/zero", bytes.constData()) == 0
                                : !emu.mkdir("gamelist.txt").isEmpty());
        EXPECT_EQ(readGameList(path), std::nullopt);
        const TitleContext context{"mame.exe", emu.path() + '/', "Arcade Emulator"};
        GameTitles titles;
        EXPECT_EQ(titles.titleOfGame("g1x.zip", context).title, "g1x");
        QFile::remove(path);
        QDir(path).removeRecursively();
        emu.write("gamelist.txt", list);
        EXPECT_EQ(titles.titleOfGame("g9999x.zip", context).title, "Game 9999");
        EXPECT_EQ(titles.arcadeGameCount(), 10000);
        EXPECT_EQ(titles.titleOfGame("g10000x.zip", context).title, "g10000x");
        emu.write("gamelist.txt", gameLine("Other", "g1x").toUtf8());
        EXPECT_EQ(titles.titleOfGame("g1x.zip", context).title, "Game 1");
        // Another system does not look at it.
        const TitleContext other{"mame.exe", emu.path() + '/', "Nintendo SNES"};
        EXPECT_EQ(titles.titleOfGame("g1x.zip", other).title, "g1x");
    }
}

TEST(GameTitles, AGameLineHasBarsFirstAndLastAndSevenAtLeast) {
    struct Case {
        const char* line;
        bool game;
    };
    // clang-format off
    const Case cases[] = {
        {"|||||||", true}, {"||||||", false},
        {"|t|a|b|c|d|e|", true}, {"|t|a|b|c|d|", false},  // seven bars, six bars
        {"|t|a|b|c|d|e|f|g|", true},
        {" |t|a|b|c|d|e|", false}, {"|t|a|b|c|d|e| ", false}, {"x|t|a|b|c|d|e|", false},
        {"|t|a|b|c|d|ex", false}, {"", false},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(isGameListLine(QString::fromLatin1(c.line)), c.game) << c.line;
}

TEST(GameTitles, OverlongLinesAreSkippedAndAHugeListIsReadOnlyInPart) {
    const QByteArray game = gameLine("Galaga", "galaga").toUtf8() + '\n';
    // A line of game shape, too long to be one: its bars are all there.
    const QByteArray longGame = gameLine("Long", QString(5000, 'l')).toUtf8() + '\n';
    ASSERT_GT(longGame.size(), 4096);
    const QByteArray filler = QByteArray(1023, 'x') + '\n';
    struct Case {
        const char* what;
        QByteArray list;
        qsizetype lines;
    };
    const Case cases[] = {
        {"a game line a little too long", longGame + game, 1},
        {"a line of a gigabyte's kind", QByteArray(20 << 20, 'y') + '\n' + game, 0},
        {"games within the first 16 MiB", filler.repeated(16 * 1024 - 2) + game + game, 2},
        {"games after the first 16 MiB", filler.repeated(16 * 1024) + game, 0},
        // Its first part alone would pass for a game line.
        {"a line cut at 16 MiB",
         filler.repeated(16 * 1024 - 1) + QByteArray(1008, 'z') + '\n' + "|a|b|c|d|e|f|g|" + "h|\n",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder emu;
        const QString list = emu.write("gamelist.txt", c.list);
        const std::optional<QStringList> lines = readGameList(list);
        ASSERT_TRUE(lines);
        EXPECT_EQ(lines->size(), c.lines);
        for (const QString& line : *lines)
            EXPECT_EQ(line + '\n', QString::fromUtf8(game));
    }
}

TEST(GameTitles, NamesAreCleanedInOrder) {
    struct Case {
        QString file, title;
    };
    // clang-format off
    const Case cases[] = {
        {"Super Mario World (U) [!].smc", "Super Mario World"}, {"Game (J).zip", "Game"},
        {"Street Fighter EX (JP).zip", "Street Fighter EX (JP)"}, {"Game_(u)_[B1].zip", "Game"},
        // "[!]" goes before the other tags, so it can reveal one.
        {"Game [[!]b1].zip", "Game"},
        {"Game [c] [h4] [T4] [o1] [f1] [b2] [b3] [b4] [h1] (e).gen", "Game"},
        {"Game (Unl).zip", "Game (Unl)"}, {"Game.tar.gz", "Game.tar"}, {"  spaced  .zip", "spaced"},
    };
    // clang-format on
    GameTitles titles;
    const TitleContext snes{"snes9x.exe", "/nowhere/", "Nintendo SNES"};
    for (const Case& c : cases)
        EXPECT_EQ(titles.titleOfGame(c.file, snes).title, c.title) << c.file.toStdString();
}

}  // namespace

// A title fits its panel: no line wider than the panel, no more lines than it has room
// for, and what does not fit ends in an ellipsis rather than being cut off unseen.
TEST(FittedTitle, WrapsAndElidesWithinThePanel) {
    const auto tenPerChar = [](const QString& line) { return int(line.size()) * 10; };
    struct Case {
        const char* title;
        int width, maxLines;
        const char* fitted;
    };
    const Case cases[] = {
        {"Zelda", 100, 2, "Zelda"},
        {"  Pac   Man ", 100, 1, "Pac Man"},
        {"Super Mario Bros 3", 120, 2, "Super Mario\nBros 3"},
        {"Super Mario Bros 3", 100, 2, "Super\nMario Bro\u2026"},
        {"Super Mario Bros 3", 100, 1, "Super Mar\u2026"},
        {"Supercalifragilistic", 100, 3, "Supercalif\nragilistic"},
        {"Supercalifragilistic", 100, 1, "Supercali\u2026"},
        {"Game", 0, 2, "Game"},  // not laid out yet: nothing to fit
    };
    for (const Case& c : cases)
        EXPECT_EQ(fittedTitle(c.title, c.width, c.maxLines, tenPerChar),
                  QString::fromUtf8(c.fitted))
            << c.title << " " << c.width << " " << c.maxLines;
}
