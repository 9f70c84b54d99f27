// Game titles: zinc numbering, the arcade game list, cleaned names; FIFOs never hang the run.

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
    using V = ZincVariant;
    // clang-format off
    const std::tuple<std::optional<qint64>, QDateTime, V> cases[] = {
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
    for (const auto& [size, date, expected] : cases)
        EXPECT_EQ(chooseZincVariant(size, date), expected)
            << date.toString(Qt::ISODate).toStdString();
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
    // The zinc program's size and date, the game's file, its title and number.
    const std::tuple<qint64, QDateTime, QString, QString, QString> cases[] = {
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
    for (const auto& [size, date, file, title, number] : cases) {
        ZincFolder zinc(size, date);
        const GameTitleResult r = GameTitles().titleOfGame(file, zinc.context);
        EXPECT_EQ(r.title, title);
        EXPECT_EQ(r.gameNumber, number) << file.toStdString();
    }
}

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

TitleContext arcade(const TempFolder& emu) {
    return {"mame.exe", emu.path() + '/', "Arcade Emulator"};
}

// A game line: the title in characters 2 to 35, the short name behind "| " at `at`.
QString gameLine(const QString& title, const QString& key, int at = 41) {
    QString line = '|' + title.leftJustified(34, ' ', true) + '|';
    line += QString(at - 1 - line.size(), 'x') + '|';
    return line + ' ' + key + " |a|b|c|";
}

TEST(GameTitles, ArcadeTitlesComeFromTheEmulatorsGameList) {
    const QByteArray list =
        (gameLine("Street Fighter Alpha (Euro 950727)", "sfa") + "\r\n" +
         gameLine("  Galaga (Namco rev. B)  ", "galaga") + "\n" +
         gameLine("Galaxian (J)", "galaxian") + "\r" + gameLine("Early column", "early", 38) +
         "\n" + gameLine("Too early", "tooearly", 37) + "\n" + "| not a game line | galaga2 |\n")
            .toUtf8();
    const std::tuple<const char*, QByteArray, QString, QString> cases[] = {
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
    for (const auto& [what, bytes, file, title] : cases) {
        TempFolder emu;
        emu.write("GameList.txt", bytes);
        const GameTitleResult r = GameTitles().titleOfGame(file, arcade(emu));
        EXPECT_EQ(r.title, title) << what;
        EXPECT_EQ(r.gameNumber, QString()) << what;
    }
}

// The list is read once (10,000 lines at most); if no file, it is looked for at the next title.
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
        const TitleContext context = arcade(emu);
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
    // clang-format off
    const std::pair<const char*, bool> cases[] = {
        {"|||||||", true}, {"||||||", false},
        {"|t|a|b|c|d|e|", true}, {"|t|a|b|c|d|", false},  // seven bars, six bars
        {"|t|a|b|c|d|e|f|g|", true},
        {" |t|a|b|c|d|e|", false}, {"|t|a|b|c|d|e| ", false}, {"x|t|a|b|c|d|e|", false},
        {"|t|a|b|c|d|ex", false}, {"", false},
    };
    // clang-format on
    for (const auto& [line, game] : cases)
        EXPECT_EQ(isGameListLine(QString::fromLatin1(line)), game) << line;
}

TEST(GameTitles, OverlongLinesAreSkippedAndAHugeListIsReadOnlyInPart) {
    const QByteArray game = gameLine("Galaga", "galaga").toUtf8() + '\n';
    // A line of game shape, too long to be one: its bars are all there.
    const QByteArray longGame = gameLine("Long", QString(5000, 'l')).toUtf8() + '\n';
    ASSERT_GT(longGame.size(), 4096);
    const QByteArray filler = QByteArray(1023, 'x') + '\n';
    // The list and how many game lines are read of it.
    const std::tuple<const char*, QByteArray, qsizetype> cases[] = {
        {"a game line a little too long", longGame + game, 1},
        {"a line of a gigabyte's kind", QByteArray(20 << 20, 'y') + '\n' + game, 0},
        {"games within the first 16 MiB", filler.repeated(16 * 1024 - 2) + game + game, 2},
        {"games after the first 16 MiB", filler.repeated(16 * 1024) + game, 0},
        // Its first part alone would pass for a game line.
        {"a line cut at 16 MiB",
         filler.repeated(16 * 1024 - 1) + QByteArray(1008, 'z') + '\n' + "|a|b|c|d|e|f|g|" + "h|\n",
         0},
    };
    for (const auto& [what, bytes, count] : cases) {
        SCOPED_TRACE(what);
        TempFolder emu;
        const std::optional<QStringList> lines = readGameList(emu.write("gamelist.txt", bytes));
        ASSERT_TRUE(lines);
        EXPECT_EQ(*lines, QStringList(count, QString::fromUtf8(game.chopped(1))));
    }
}

TEST(GameTitles, NamesAreCleanedInOrder) {
    // clang-format off
    const std::pair<QString, QString> cases[] = {
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
    for (const auto& [file, title] : cases)
        EXPECT_EQ(titles.titleOfGame(file, snes).title, title) << file.toStdString();
}

}  // namespace

TEST(FittedTitle, WrapsAndElidesWithinThePanel) {
    const auto tenPerChar = [](const QString& line) { return int(line.size()) * 10; };
    // The title, the panel's width and lines, the title fitted.
    const std::tuple<const char*, int, int, const char*> cases[] = {
        {"Zelda", 100, 2, "Zelda"},
        {"  Pac   Man ", 100, 1, "Pac Man"},
        {"Super Mario Bros 3", 120, 2, "Super Mario\nBros 3"},
        {"Super Mario Bros 3", 100, 2, "Super\nMario Bro\u2026"},
        {"Super Mario Bros 3", 100, 1, "Super Mar\u2026"},
        {"Supercalifragilistic", 100, 3, "Supercalif\nragilistic"},
        {"Supercalifragilistic", 100, 1, "Supercali\u2026"},
        {"Game", 0, 2, "Game"},  // not laid out yet: nothing to fit
    };
    for (const auto& [title, width, maxLines, fitted] : cases)
        EXPECT_EQ(fittedTitle(title, width, maxLines, tenPerChar), QString::fromUtf8(fitted))
            << title << " " << width << " " << maxLines;
}
