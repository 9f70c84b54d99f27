// The file list over a folder and its rows: cells read late, columns, sorts, selection.

#include "filelist/ColumnFit.h"
#include "filelist/FileFormats.h"
#include "filelist/FolderList.h"
#include "filelist/ListModel.h"
#include "filelist/ListRows.h"
#include "filelist/PlayFacts.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include <utility>

namespace {

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

struct ClickLog : ListModelObserver {
    void itemClick(int item) override { clicks.append(item); }
    QList<int> take() { return std::exchange(clicks, {}); }
    QList<int> clicks;
};

// A list of `n` items "item0".."item<n-1>" with a recorder of its itemClick events.
struct Fixture {
    explicit Fixture(int n, bool single = false) {
        model.setObserver(&log);
        model.setSingleSelection(single);
        std::vector<ListedFile> files;
        for (int i = 0; i < n; ++i)
            files.push_back(file(QStringLiteral("item%1").arg(i)));
        model.appendFiles(std::move(files), 1);
        log.take();
    }
    ListModel model;
    ClickLog log;
};

QList<int> rowsWith(const ListModel& m, quint32 bit) {
    QList<int> rows;
    for (int i = 0; i < m.count(); ++i)
        if (m.itemState(i) & bit) rows.append(i);
    return rows;
}

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
    EXPECT_EQ(model.itemFindState(-1, ListModel::kFocused), 0);
    // An empty pattern or folder: no files, the columns stay.
    files.setPattern(QString());
    EXPECT_EQ(model.count(), 0);
    files.setPattern("*.zip");
    files.setPath(QString());
    EXPECT_EQ(files.path(), QString());
    EXPECT_EQ(model.columnCount(), 9);
    dir.write("d.zip");
    files.refresh();
    EXPECT_EQ(model.count(), 0);
}

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
    EXPECT_EQ(names(),
              QStringList({"dangling.zip", "disc.iso", "empty.bin", "Game.Zip", "link.zip"}));
    for (int row = 0; row < model.count(); ++row)
        for (int c = 1; c < 5; ++c)
            EXPECT_EQ(model.subItemText(row, c), eager.subItemText(row, c)) << row << " " << c;
    // A link to nothing (as a file gone before its facts: only its type), past 4 GiB, a file.
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
    ListModel bySize, byDate, late;
    FolderList sizes(bySize), dates(byDate), lateFiles(late);
    for (FolderList* list : {&sizes, &dates, &lateFiles})
        list->setPath(dir.path());
    sizes.sortFilesByColumnClick(1);
    dates.sortFilesByColumnClick(3);
    EXPECT_EQ(listNames(bySize),
              QStringList({"dangling.zip", "empty.bin", "Game.Zip", "link.zip", "disc.iso"}));
    EXPECT_EQ(listNames(byDate).mid(0, 3), QStringList({"dangling.zip", "Game.Zip", "link.zip"}));

    // A file gone before its row was ever shown reads as one that cannot be read.
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
    EXPECT_EQ(model.columnText(0), "Game");
}

TEST_F(FolderListTest, HeaderClicksSortByTheRightKeys) {
    // Each file's name, length and age in minutes.
    const std::tuple<const char*, int, int> made[] = {
        {"b.zip", 10, 5}, {"A.sms", 9, 50}, {"c.gg", 1000, 1}, {"d.bin", 100, 500}};
    for (const auto& [name, size, minutes] : made) {
        dir.write(name, QByteArray(size, 'x'));
        dir.touch(name, QDateTime::currentDateTime().addSecs(-60 * minutes));
    }
    files.setPath(dir.path());
    // The column clicked, whether it sorts, the order then.
    const std::tuple<int, bool, QStringList> clicks[] = {
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
    for (const auto& [column, sorted, order] : clicks) {
        EXPECT_EQ(files.sortFilesByColumnClick(column), sorted) << column;
        EXPECT_EQ(names(), order) << column;
    }
    FolderList empty(model);
    EXPECT_FALSE(empty.sortFilesByColumnClick(0));
}

// Play columns: by name, empty for a game never played, sorted by raw values, not by text.
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
    // The first click sorts ascending (never played first), the second descending.
    const std::pair<int, QStringList> cases[] = {
        {ListModel::kPlayedColumn, {"c.nes", "d.nes", "a.nes", "b.nes"}},
        {ListModel::kPlayTimeColumn, {"c.nes", "d.nes", "b.nes", "a.nes"}},
        {ListModel::kLastPlayedColumn, {"c.nes", "d.nes", "a.nes", "b.nes"}}};
    for (const auto& [column, ascending] : cases) {
        SCOPED_TRACE(column);
        files.refresh();
        ASSERT_TRUE(files.sortFilesByColumnClick(column));
        EXPECT_EQ(names(), ascending);
        ASSERT_TRUE(files.sortFilesByColumnClick(column));
        QStringList descending = ascending;
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

TEST(PlayTimeCell, SecondsShowBelowAnHourAndHoursFromOne) {
    // Plays, seconds, the cell's text.
    const std::tuple<int, qint64, const char*> cases[] = {
        {0, 40, ""},          {1, 0, "0:00"},       {1, 59, "0:59"},
        {1, 60, "1:00"},      {1, 725, "12:05"},    {1, 3599, "59:59"},
        {1, 3600, "1:00:00"}, {1, 3723, "1:02:03"}, {1, 36059, "10:00:59"}};
    for (const auto& [plays, seconds, shown] : cases)
        EXPECT_EQ(playTimeCell({plays, seconds, 0, false}), shown) << seconds;
}

// The name takes what the other columns leave, down to its minimum; the others keep theirs.
TEST(ColumnFit, TheNameTakesWhatIsLeft) {
    // The view's width, the widths wanted, the name's column and minimum, the widths fitted.
    const std::tuple<int, std::vector<int>, int, int, std::vector<int>> cases[] = {
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
    for (const auto& [view, wanted, name, minimum, fitted] : cases)
        EXPECT_EQ(fittedColumnWidths(view, wanted, name, minimum), fitted) << view;
}

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
    EXPECT_EQ(model.subItemText(0, ListModel::kVerifiedColumn), QString());
}

TEST(FileFormats, SizesTypesAndPieces) {
    // clang-format off
    const std::pair<double, const char*> sizes[] = {
        {0, "0 bytes"}, {1024, "1,024 bytes"}, {1025, "1.0KB"}, {1048576, "1,024.0KB"},
        {1048577, "1.0MB"}, {5000000, "4.8MB"}, {1073741824, "1,024.0MB"}, {1073741825, "1.00GB"},
        {2199023255552.0, "2,048.00GB"},
    };
    for (const auto& [size, text] : sizes)
        EXPECT_EQ(formatSize(size), QString::fromLatin1(text)) << size;
    // Extensions of three or four letters are described, others kept as written, dot included.
    const std::pair<const char*, const char*> types[] = {
        {"Game.Zip", "ZIP Archive"}, {"photo.jpeg", "JPEG Image"}, {"a.b.zip", "ZIP Archive"},
        {"rom.smsx", "SMSX File"}, {"mario.smc", "SMC File"}, {"ROM.GB", ".GB File"},
        {"notes.backup", ".backup File"}, {"x..b", "..b File"}, {"noext", ""},
        {".profile", ".profile File"},
    };
    for (const auto& [name, type] : types)
        EXPECT_EQ(fileTypeDescription(QString::fromUtf8(name)), QString::fromUtf8(type)) << name;
    const std::tuple<const char*, const char*, int, QStringList> pieces[] = {
        {"", ";", 0, {""}}, {"a;;b", ";", 0, {"a", "", "b"}}, {";a;", ";", 0, {"", "a", ""}},
        {"aXbxc", "x", 0, {"aXb", "c"}}, {"aXbxc", "x", 1, {"a", "b", "c"}},
        {"a--b--", "--", 0, {"a", "b", ""}},
    };
    // clang-format on
    for (const auto& [text, separator, compare, parts] : pieces)
        EXPECT_EQ(split(QString::fromUtf8(text), QString::fromUtf8(separator), compare), parts)
            << text;
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

TEST(ListModel, FirstListingFocusesTheFirstItemAndOutOfRangeIndexesChangeNothing) {
    Fixture f(3);
    f.model.appendFiles({file("more")}, 1);
    EXPECT_EQ(rowsWith(f.model, ListModel::kFocused), QList<int>{0});
    EXPECT_EQ(f.model.listIndex(), -1);
    for (int bad : {-2, 4, 1000}) {
        EXPECT_EQ(f.model.itemText(bad), QString());
        EXPECT_EQ(f.model.list(bad, 1), QString());
        EXPECT_FALSE(f.model.setItemText(bad, "x"));
        EXPECT_FALSE(f.model.removeItem(bad));
        EXPECT_FALSE(f.model.setItemChecked(bad, true));
        EXPECT_EQ(f.model.itemState(bad), 0u);
    }
    EXPECT_EQ(f.model.count(), 4);
}

TEST(ListModel, ListIndexLetInASingleSelectionList) {
    Fixture f(10, /*single=*/true);
    // The index let, the index then, the clicks heard, the rows selected.
    const std::tuple<int, int, QList<int>, QList<int>> steps[] = {
        // The focus comes first, so the selection is not of an item without state.
        {3, 3, {3}, {3}},
        {3, 3, {3}, {3}},
        {7, 7, {7}, {7}},
        // Past the end: nothing chosen, the mark kept, the host still hears the index.
        {12, 7, {12}, {7}},
        {-1, -1, {}, {}},
        {0, 0, {0}, {0}},
        {-5, -1, {}, {}},
    };
    for (const auto& [let, index, clicks, selected] : steps) {
        f.model.setListIndex(let);
        EXPECT_EQ(f.model.listIndex(), index) << let;
        EXPECT_EQ(f.log.take(), clicks) << let;
        EXPECT_EQ(rowsWith(f.model, ListModel::kSelected), selected) << let;
    }
    EXPECT_EQ(f.model.itemFindState(-1, ListModel::kFocused), -1);
}

// Selecting an item without state is a click of its own; not one with the focus, nor the only one.
TEST(ListModel, UserSelectingAnItemWithoutStateReportsIt) {
    Fixture f(4);
    f.model.applyUserState(2, true, true);
    EXPECT_EQ(f.log.take(), QList<int>{2});
    f.model.applyUserState(0, true, true);
    EXPECT_EQ(f.log.take(), QList<int>{});
    Fixture one(1);
    one.model.applyUserState(0, false, false);
    one.model.applyUserState(0, true, true);
    EXPECT_EQ(one.log.take(), QList<int>{});
}

TEST(ListModel, MultiSelectionKeepsOthersAndSwitchingToSingleKeepsTheMark) {
    Fixture f(5);
    f.model.applyUserState(1, false, true);
    f.model.applyUserState(3, false, true);
    f.model.setListIndex(2);
    EXPECT_EQ(rowsWith(f.model, ListModel::kSelected), (QList<int>{1, 2, 3}));
    EXPECT_EQ(rowsWith(f.model, ListModel::kFocused), QList<int>{2});
    // A state looked for must have every bit asked for.
    EXPECT_EQ(f.model.itemFindState(-1, ListModel::kSelected), 1);
    EXPECT_EQ(f.model.itemFindState(1, ListModel::kSelected), 2);
    EXPECT_EQ(f.model.itemFindState(-1, ListModel::kFocused | ListModel::kSelected), 2);
    EXPECT_EQ(f.model.itemFindState(3, ListModel::kSelected), -1);
    EXPECT_EQ(f.model.itemFindState(0, 0), 1);
    f.model.setSingleSelection(true);
    EXPECT_EQ(rowsWith(f.model, ListModel::kSelected), QList<int>{2});
    // Without a selected mark the first selected item stays.
    Fixture g(5);
    g.model.applyUserState(4, false, true);
    g.model.applyUserState(3, false, true);
    g.log.take();
    g.model.setSingleSelection(true);
    EXPECT_EQ(rowsWith(g.model, ListModel::kSelected), QList<int>{3});
    EXPECT_EQ(g.log.take(), QList<int>{});  // switching raises no clicks
}

TEST(ListModel, SelectionMarkAndStatesFollowTheirItems) {
    Fixture f(7);
    f.model.setListIndex(2);
    for (const int mark : {1, 0}) {  // two rows before the mark, then the one right before
        f.model.removeItem(0);
        EXPECT_EQ(f.model.listIndex(), mark);
        EXPECT_EQ(f.model.list(f.model.listIndex()), "item2");
    }
    f.model.removeItem(0);
    EXPECT_EQ(f.model.listIndex(), -1);

    // Through a sort: "d c b a" with "c" marked and "d" checked.
    for (int i = 0; i < 3; ++i)
        f.model.setItemText(i, QString(QChar(u'd' - i)));
    f.model.setItemText(3, "a");
    f.model.setListIndex(1);
    f.model.setItemChecked(0, true);
    f.model.sort(0, 1, ListModel::kSortTextNoCase);
    EXPECT_EQ(listNames(f.model), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(f.model.listIndex(), 2);
    EXPECT_EQ(rowsWith(f.model, ListModel::kSelected), QList<int>{2});
    EXPECT_TRUE(f.model.itemChecked(3));
}

TEST(ListModel, CheckBoxesAreStateImages) {
    Fixture f(2);
    f.model.setCheckBoxes(true);
    EXPECT_EQ(f.model.itemState(1) & ListModel::kStateImageMask, 1u << 12);
    f.model.appendFiles({file("late")}, 1);
    EXPECT_EQ(f.model.itemState(2) & ListModel::kStateImageMask, 1u << 12);
    for (const bool checked : {true, false}) {
        f.model.setItemChecked(1, checked);
        EXPECT_EQ(f.model.itemChecked(1), checked);
        EXPECT_EQ(f.model.itemState(1) & ListModel::kStateImageMask, (checked ? 2u : 1u) << 12);
    }
    // A check change reports the item.
    EXPECT_EQ(f.log.take(), (QList<int>{1, 1}));
}

TEST(ListModel, NameSortsToggleAndKeepEqualNamesInOrder) {
    ListModel m;
    m.appendFiles({file("b"), file("C"), file("a"), file("B"), file("c")}, 1);
    // The order, the sort's kind, the names then.
    const std::tuple<int, int, QStringList> steps[] = {
        {2, ListModel::kSortTextNoCase, {"a", "b", "B", "C", "c"}},
        {2, ListModel::kSortTextNoCase, {"C", "c", "b", "B", "a"}},
        {2, ListModel::kSortTextNoCase, {"a", "b", "B", "C", "c"}},
        {1, ListModel::kSortText, {"B", "C", "a", "b", "c"}},
        {0, ListModel::kSortText, {"B", "C", "a", "b", "c"}},  // no order: untouched
    };
    for (const auto& [order, type, names] : steps) {
        EXPECT_TRUE(m.sort(0, order, type));
        EXPECT_EQ(listNames(m), names) << order << type;
    }
    // A new listing forgets the last sort: the next toggle is ascending again.
    m.sort(0, 2, ListModel::kSortTextNoCase);
    m.clear();
    m.appendFiles({file("y"), file("x")}, 1);
    m.sort(0, 2, ListModel::kSortTextNoCase);
    EXPECT_EQ(listNames(m), (QStringList{"x", "y"}));
}

TEST(ListModel, ARowsFactsReadBackWholeAndSortAlikeBeforeAndAfterTheCellsAreWritten) {
    const std::vector<ListedFile> files = {
        {"tiny", 1, 86400, true},
        {"dvd image", 5'000'000'000LL, 1'700'000'000LL, true},
        {"huge", 1LL << 50, 4'102'444'800LL, true},  // 2100
        {"old", 1234, -86400LL * 365 * 20, true},    // 1950
        {"unreadable", 77, 1'600'000'000LL, false},
    };
    for (const bool written : {false, true}) {
        SCOPED_TRACE(written);
        ListModel m;
        m.setCheckBoxes(true);
        m.columnAdd(0, "Name", 10);
        m.appendFiles(files, 5);
        ASSERT_EQ(m.count(), int(files.size()));
        for (int i = 0; written && i < m.count(); ++i) {
            const ListedFile& c = files[size_t(i)];
            SCOPED_TRACE(c.name.toStdString());
            EXPECT_EQ(m.itemText(i), c.name);
            EXPECT_EQ(m.subItemText(i, 4), c.readable ? QString::number(c.size) : QString());
            EXPECT_EQ(m.subItemText(i, 3).isEmpty(), !c.readable);
            EXPECT_FALSE(m.itemChecked(i));
            EXPECT_TRUE(m.setItemChecked(i, true));
            EXPECT_TRUE(m.itemChecked(i));
        }
        // Each row's facts go with it.
        m.sort(4, 1, ListModel::kSortNumeric);
        EXPECT_EQ(listNames(m), (QStringList{"unreadable", "tiny", "old", "dvd image", "huge"}));
        EXPECT_EQ(m.subItemText(2, 4), "1234");
        m.sort(3, 1, ListModel::kSortDate);
        EXPECT_EQ(listNames(m), (QStringList{"unreadable", "old", "tiny", "dvd image", "huge"}));
        m.sort(3, 2, ListModel::kSortDate);
        EXPECT_EQ(listNames(m), (QStringList{"huge", "dvd image", "tiny", "old", "unreadable"}));
        // Facts read later replace the cells already written.
        m.setFileFacts({{0, ListedFile{{}, 42, 0, true}}});
        EXPECT_EQ(m.subItemText(0, 4), "42");
    }
}
