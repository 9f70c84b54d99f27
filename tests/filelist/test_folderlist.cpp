#include "filelist/ColumnFit.h"
#include "filelist/FileFormats.h"
#include "filelist/FolderList.h"
#include "filelist/FolderListing.h"
#include "filelist/ListModel.h"
#include "filelist/PlayFacts.h"

#include "filelist/ListRows.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A folder list over a temporary folder.
class FolderListTest : public ::testing::Test {
protected:
    FolderListTest() {
        files.onBusy = [this](bool busy) { busyCalls.append(busy); };
    }
    QStringList names() const { return listNames(model); }
    TempFolder dir;
    ListModel model;
    FolderList files{model};
    QList<bool> busyCalls;
};

}  // namespace

TEST_F(FolderListTest, PathLetListsOnlyWhenTheFolderChanges) {
    dir.write("a.zip", "1");
    dir.write("b.zip", "22");
    dir.write("c.sms", "333");
    const QString bare = dir.path();
    files.setPattern("*.zip;*.sms");  // no folder yet: nothing listed
    EXPECT_EQ(model.columnCount(), 0);

    files.setPath(bare);
    EXPECT_EQ(files.path(), bare + "/");
    EXPECT_EQ(model.count(), 3);
    EXPECT_EQ(busyCalls, (QList<bool>{true, false}));

    // Listed again only when the text differs, letter case included.
    files.sortFilesByColumnClick(0);
    files.sortFilesByColumnClick(0);
    files.setPath(bare + "/");
    EXPECT_EQ(names(), (QStringList{"c.sms", "b.zip", "a.zip"}));  // still sorted: not listed again
    files.setPath(bare.toUpper() + "/");
    EXPECT_EQ(files.path(), bare.toUpper() + "/");
    EXPECT_EQ(model.count(), 0);  // that spelling names no folder here

    files.setPath(bare);
    EXPECT_EQ(model.count(), 3);
    model.setListIndex(1);
    files.refresh();
    // After a listing nothing is chosen and the first row has the focus.
    EXPECT_EQ(model.listIndex(), -1);
    EXPECT_EQ(model.itemFindState(-1, ListModel::kSelected), -1);
    EXPECT_EQ(model.itemFindState(-1, ListModel::kFocused), 0);
    // An empty pattern or folder: no files, the columns stay.
    files.setPattern(QString());
    EXPECT_EQ(model.count(), 0);
    files.setPattern("*.zip");
    files.setPath(QString());
    EXPECT_EQ(files.path(), QString());
    EXPECT_EQ(model.count(), 0);
    EXPECT_EQ(model.columnCount(), 9);
    dir.write("d.zip");
    files.refresh();
    EXPECT_EQ(model.count(), 0);
}

// Lengths and dates are read when a row is first shown or sorted, not at the listing: the
// texts must be those a listing that read every file gives, for every kind of entry.
TEST_F(FolderListTest, CellsReadLateAreTheCellsReadAtTheListing) {
    dir.write("Game.Zip", QByteArray(1536, 'x'));
    dir.sparse("disc.iso", 5LL * 1024 * 1024 * 1024);
    dir.write("empty.bin");
    dir.touch("Game.Zip", QDateTime(QDate(2023, 3, 9), QTime(15, 4)));
    dir.mkdir("folder.bin");
    QFile::link(dir.file("Game.Zip"), dir.file("link.zip"));
    QFile::link(dir.file("nowhere"), dir.file("dangling.zip"));
    QFile::link(dir.file("folder.bin"), dir.file("folderlink.bin"));
    files.setPath(dir.path());
    ListModel eager;
    eager.appendFiles(listFolder(dir.path(), {"*.*"}), 5);
    ASSERT_EQ(names(), listNames(eager));
    EXPECT_EQ(names(),
              QStringList({"dangling.zip", "disc.iso", "empty.bin", "Game.Zip", "link.zip"}));
    for (int row = 0; row < model.count(); ++row)
        for (int c = 1; c < 5; ++c)
            EXPECT_EQ(model.subItemText(row, c), eager.subItemText(row, c)) << row << " " << c;
    // A file, one past 4 GiB ("*": its date is now), and a link to nothing: a file gone
    // between the folder's names and its facts keeps its row, with only its type.
    const QStringList cells[] = {{"dangling.zip", "", "ZIP Archive", "", ""},
                                 {"disc.iso", "5.00GB", "ISO Image", "*", "5368709120"},
                                 {"Game.Zip", "1.5KB", "ZIP Archive", "3/9/2023 3:04 PM", "1536"}};
    for (const QStringList& row : cells) {
        const int at = names().indexOf(row[0]);
        for (int c = 1; c < 5; ++c) {
            if (row[c] != "*") {
                EXPECT_EQ(model.subItemText(at, c), row[c]) << row[0].toStdString() << " " << c;
            }
        }
    }

    // Sorts by length and by date read what they need themselves, before any row is shown.
    ListModel bySize, byDate;
    FolderList sizes(bySize), dates(byDate);
    sizes.setPath(dir.path());
    dates.setPath(dir.path());
    sizes.sortFilesByColumnClick(1);
    dates.sortFilesByColumnClick(3);
    EXPECT_EQ(listNames(bySize),
              QStringList({"dangling.zip", "empty.bin", "Game.Zip", "link.zip", "disc.iso"}));
    EXPECT_EQ(listNames(byDate).mid(0, 3), QStringList({"dangling.zip", "Game.Zip", "link.zip"}));

    // A file gone before its row was ever shown reads as one that cannot be read.
    ListModel late;
    FolderList lateFiles(late);
    lateFiles.setPath(dir.path());
    QFile::remove(dir.file("empty.bin"));
    const int gone = listNames(late).indexOf("empty.bin");
    EXPECT_EQ(late.subItemText(gone, 1), QString());
    EXPECT_EQ(late.subItemText(gone, 2), "BIN Image");
    // One gone after its row was shown keeps what the row showed until the next listing.
    EXPECT_EQ(model.subItemText(names().indexOf("empty.bin"), 1), "0 bytes");
    files.refresh();
    EXPECT_EQ(names().indexOf("empty.bin"), -1);
}

TEST_F(FolderListTest, ExistingColumnsAreFilledAsFarAsTheyGo) {
    dir.write("a.sms", "12");
    model.columnAdd(0, "Game", 300);
    model.columnAdd(1, "Bytes", 80);
    files.setPath(dir.path());
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.subItemText(0, 1), "2 bytes");
    EXPECT_EQ(model.subItemText(0, 2), QString());
    EXPECT_EQ(model.columnText(0), "Game");
}

TEST_F(FolderListTest, HeaderClicksSortByTheRightKeys) {
    const struct {
        const char* name;
        int size, minutesAgo;
    } made[] = {{"b.zip", 10, 5}, {"A.sms", 9, 50}, {"c.gg", 1000, 1}, {"d.bin", 100, 500}};
    for (const auto& f : made) {
        dir.write(QString::fromLatin1(f.name), QByteArray(f.size, 'x'));
        dir.touch(QString::fromLatin1(f.name),
                  QDateTime::currentDateTime().addSecs(-60 * f.minutesAgo));
    }
    files.setPath(dir.path());
    const struct {
        int column;
        bool sorted;
        QStringList order;
    } clicks[] = {
        {1, true, {"A.sms", "b.zip", "d.bin", "c.gg"}},  // 9 before 10: numeric
        {1, true, {"c.gg", "d.bin", "b.zip", "A.sms"}},
        {0, true, {"A.sms", "b.zip", "c.gg", "d.bin"}},
        {0, true, {"d.bin", "c.gg", "b.zip", "A.sms"}},
        {2, true, {"c.gg", "d.bin", "A.sms", "b.zip"}},  // .gg File, BIN Image, SMS, ZIP
        {3, true, {"d.bin", "A.sms", "b.zip", "c.gg"}},
        {3, true, {"c.gg", "b.zip", "A.sms", "d.bin"}},
        {4, false, {"c.gg", "b.zip", "A.sms", "d.bin"}},
        {-1, false, {"c.gg", "b.zip", "A.sms", "d.bin"}},
    };
    for (const auto& c : clicks) {
        EXPECT_EQ(files.sortFilesByColumnClick(c.column), c.sorted) << c.column;
        EXPECT_EQ(names(), c.order) << c.column;
    }
    FolderList empty(model);
    EXPECT_FALSE(empty.sortFilesByColumnClick(0));
}

// The play columns read the facts by name: empty for a game never played, sorted by raw
// values (never by their texts: "10:05" would sort before "9:59").
TEST_F(FolderListTest, PlayColumnsShowAndSortByRawValues) {
    for (const char* name : {"a.nes", "b.nes", "c.nes", "d.nes"})
        dir.write(name, "x");
    const qint64 day = 24 * 3600;
    PlayFactsByName facts;
    facts.insert("a.nes", {3, 10 * 3600 + 5 * 60, 20 * day, false});
    facts.insert("b.nes", {12, 9 * 3600 + 59 * 60 + 59, 30 * day, true});
    facts.insert("d.nes", {0, 0, 0, true});  // a mark alone: nothing in the columns
    files.beforeListing = [&](const QString& folder) {
        EXPECT_EQ(folder, dir.path() + "/");
        model.setPlayFacts(facts);
    };
    files.setPattern("*.nes");
    files.setPath(dir.path());
    ASSERT_EQ(names(), (QStringList{"a.nes", "b.nes", "c.nes", "d.nes"}));
    EXPECT_EQ(model.subItemText(0, ListModel::kPlayedColumn), "3");
    EXPECT_EQ(model.subItemText(0, ListModel::kPlayTimeColumn), "10:05:00");
    EXPECT_FALSE(model.subItemText(1, ListModel::kLastPlayedColumn).isEmpty());
    for (int column = ListModel::kPlayedColumn; column <= ListModel::kLastPlayedColumn; ++column) {
        EXPECT_EQ(model.subItemText(2, column), QString()) << column;
        EXPECT_EQ(model.subItemText(3, column), QString()) << column;
    }
    // The first click sorts ascending, the second descending; never played comes first
    // ascending.
    struct Case {
        int column;
        QStringList ascending;
    };
    for (const Case& c :
         std::vector<Case>{{ListModel::kPlayedColumn, {"c.nes", "d.nes", "a.nes", "b.nes"}},
                           {ListModel::kPlayTimeColumn, {"c.nes", "d.nes", "b.nes", "a.nes"}},
                           {ListModel::kLastPlayedColumn, {"c.nes", "d.nes", "a.nes", "b.nes"}}}) {
        SCOPED_TRACE(c.column);
        files.refresh();
        ASSERT_TRUE(files.sortFilesByColumnClick(c.column));
        EXPECT_EQ(names(), c.ascending);
        ASSERT_TRUE(files.sortFilesByColumnClick(c.column));
        QStringList descending = c.ascending;
        std::reverse(descending.begin(), descending.end());
        // A stable sort keeps the two never played in their order.
        std::swap(descending[2], descending[3]);
        EXPECT_EQ(names(), descending);
    }
    // Favourites only: the marked games, played or not.
    files.setFavouritesOnly(true);
    files.refresh();
    EXPECT_EQ(names(), (QStringList{"b.nes", "d.nes"}));
}

// Minutes and seconds below an hour, so a short play never reads "0:00"; hours from one.
TEST(PlayTimeCell, SecondsShowBelowAnHourAndHoursFromOne) {
    const struct {
        int plays;
        qint64 seconds;
        const char* shown;
    } cases[] = {{0, 40, ""},          {1, 0, "0:00"},       {1, 59, "0:59"},
                 {1, 60, "1:00"},      {1, 725, "12:05"},    {1, 3599, "59:59"},
                 {1, 3600, "1:00:00"}, {1, 3723, "1:02:03"}, {1, 36059, "10:00:59"}};
    for (const auto& c : cases)
        EXPECT_EQ(playTimeCell({c.plays, c.seconds, 0, false}), c.shown) << c.seconds;
}

// The name takes what the other columns leave, down to its minimum; the others keep theirs.
TEST(ColumnFit, TheNameTakesWhatIsLeft) {
    const struct {
        int view;
        std::vector<int> wanted;
        int name, minimum;
        std::vector<int> fitted;
    } cases[] = {
        {700, {0, 80, 100}, 0, 50, {520, 80, 100}},
        {700, {80, 999, 100}, 1, 50, {80, 520, 100}},  // the name's own width does not count
        {230, {0, 80, 100}, 0, 50, {50, 80, 100}},     // just enough
        // Too narrow: the name keeps its minimum, the widest columns are cut to one width.
        {200, {0, 40, 100, 300}, 0, 50, {50, 40, 55, 55}},
        {200, {0, 100, 100}, 0, 50, {50, 75, 75}},
        {201, {0, 100, 100}, 0, 50, {51, 75, 75}},  // what rounding leaves goes to the name
        {40, {0, 80, 100}, 0, 50, {40, 0, 0}},      // narrower than the name's minimum
        {700, {0, -5, 100}, 0, 0, {600, 0, 100}},   // a width below nothing takes no room
        {700, {10, 20}, 2, 0, {10, 20}},            // no name column: nothing to fit
    };
    for (const auto& c : cases)
        EXPECT_EQ(fittedColumnWidths(c.view, c.wanted, c.name, c.minimum), c.fitted) << c.view;
}

// The verified column is out of sight until identification is on; its cells and its sort
// read the marks by name, from not identified up to verified.
TEST_F(FolderListTest, VerifiedColumnShowsAndSortsByMark) {
    for (const char* name : {"a.nes", "b.nes", "c.nes", "d.nes", "e.nes"})
        dir.write(name, "x");
    files.setPattern("*.nes");
    files.setPath(dir.path());
    EXPECT_FALSE(model.columnShown(ListModel::kVerifiedColumn));
    files.setShowsVerified(true);
    EXPECT_TRUE(model.columnShown(ListModel::kVerifiedColumn));

    // Marks come in batches; a later batch adds to the earlier ones.
    model.setVerifiedMarks({{"a.nes", VerifiedMark::CrcOnly}, {"b.nes", VerifiedMark::Verified}});
    model.setVerifiedMarks({{"c.nes", VerifiedMark::Unknown}, {"e.nes", VerifiedMark::BadDump}});
    const QStringList cells{QString(u'\u2248'), QString(u'\u2714'), "", "", QString(u'\u2718')};
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(model.subItemText(row, ListModel::kVerifiedColumn), cells[row]) << row;

    ASSERT_TRUE(files.sortFilesByColumnClick(ListModel::kVerifiedColumn));
    EXPECT_EQ(names(), (QStringList{"d.nes", "c.nes", "e.nes", "a.nes", "b.nes"}));
    ASSERT_TRUE(files.sortFilesByColumnClick(ListModel::kVerifiedColumn));
    EXPECT_EQ(names(), (QStringList{"b.nes", "a.nes", "e.nes", "c.nes", "d.nes"}));

    model.clearVerifiedMarks();
    EXPECT_EQ(model.verifiedMark("b.nes"), VerifiedMark::NotYet);
    EXPECT_EQ(model.subItemText(0, ListModel::kVerifiedColumn), QString());
}

TEST(FileFormats, SizesTypesAndPieces) {
    const struct {
        double size;
        const char* text;
    } sizes[] = {
        // clang-format off
        {0, "0 bytes"}, {1024, "1,024 bytes"}, {1025, "1.0KB"}, {1048576, "1,024.0KB"},
        {1048577, "1.0MB"}, {5000000, "4.8MB"}, {1073741824, "1,024.0MB"}, {1073741825, "1.00GB"},
        {2199023255552.0, "2,048.00GB"},
        // clang-format on
    };
    for (const auto& c : sizes)
        EXPECT_EQ(formatSize(c.size), QString::fromLatin1(c.text)) << c.size;
    // Extensions of three or four letters are described (known ones by name, others
    // upper-cased); shorter or longer ones are kept as written, dot included.
    const struct {
        const char *name, *type;
    } types[] = {
        // clang-format off
        {"Game.Zip", "ZIP Archive"}, {"photo.jpeg", "JPEG Image"}, {"a.b.zip", "ZIP Archive"},
        {"rom.smsx", "SMSX File"}, {"mario.smc", "SMC File"}, {"ROM.GB", ".GB File"},
        {"notes.backup", ".backup File"}, {"x..b", "..b File"}, {"noext", ""},
        {".profile", ".profile File"},
        // clang-format on
    };
    for (const auto& c : types)
        EXPECT_EQ(fileTypeDescription(QString::fromUtf8(c.name)), QString::fromUtf8(c.type))
            << c.name;
    const struct {
        const char *text, *sep;
        int compare;
        QStringList pieces;
    } pieces[] = {
        // clang-format off
        {"", ";", 0, {""}}, {"a;;b", ";", 0, {"a", "", "b"}}, {";a;", ";", 0, {"", "a", ""}},
        {"aXbxc", "x", 0, {"aXb", "c"}}, {"aXbxc", "x", 1, {"a", "b", "c"}},
        {"a--b--", "--", 0, {"a", "b", ""}},
        // clang-format on
    };
    for (const auto& c : pieces)
        EXPECT_EQ(split(QString::fromUtf8(c.text), QString::fromUtf8(c.sep), c.compare), c.pieces)
            << c.text;
}

TEST(FileDateFormat, WritesTwelveHourLocalTimeAndReadsItBack) {
    const FileDateFormat dates;
    const std::pair<QDateTime, const char*> cases[] = {
        {QDateTime(QDate(2024, 1, 5), QTime(0, 7)), "1/5/2024 12:07 AM"},
        {QDateTime(QDate(2024, 12, 25), QTime(12, 0)), "12/25/2024 12:00 PM"},
        {QDateTime(QDate(2030, 10, 10), QTime(9, 5)), "10/10/2030 9:05 AM"},
    };
    for (const auto& [when, text] : cases)
        EXPECT_EQ(dates.format(when.toSecsSinceEpoch()), QString::fromLatin1(text));
    // Keys order like the moments they name, across day halves and years.
    qint64 previous = 0;
    for (const char* t : {"7/4/1999 11:59 PM", "1/5/2024 12:07 AM", "1/5/2024 11:59 AM",
                          "1/5/2024 12:00 PM", "1/5/2024 1:00 PM", "12/25/2024 12:00 PM"}) {
        const qint64 key = dates.sortKey(QString::fromLatin1(t)).value_or(-1);
        EXPECT_GT(key, previous) << t;
        previous = key;
    }
    for (const char* bad : {"", "yesterday", "13/1/2024 1:00 PM", "1/5", "1/5/2024 13:00 PM"})
        EXPECT_FALSE(dates.sortKey(QString::fromLatin1(bad)).has_value()) << bad;
}
