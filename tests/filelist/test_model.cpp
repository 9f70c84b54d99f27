#include "filelist/ListModel.h"

#include "filelist/ListRows.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct ClickLog : ListModelObserver {
    void itemClick(int item) override { clicks.append(item); }
    QList<int> take() {
        QList<int> out;
        out.swap(clicks);
        return out;
    }
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

// Only the first listing focuses its first item; an index out of range changes nothing.
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
    const struct {
        int let, listIndex;
        QList<int> clicks, selected;
    } steps[] = {
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
    for (const auto& s : steps) {
        f.model.setListIndex(s.let);
        EXPECT_EQ(f.model.listIndex(), s.listIndex) << s.let;
        EXPECT_EQ(f.log.take(), s.clicks) << s.let;
        EXPECT_EQ(rowsWith(f.model, ListModel::kSelected), s.selected) << s.let;
    }
    EXPECT_EQ(f.model.itemFindState(-1, ListModel::kFocused), -1);
}

// The user selecting an item that had no state at all is an item click of its own; not
// so for an item that had the focus, nor in a list of one item.
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
    Fixture f(6);
    f.model.setListIndex(2);
    f.model.removeItem(0);
    EXPECT_EQ(f.model.listIndex(), 1);
    EXPECT_EQ(f.model.list(f.model.listIndex()), "item2");
    f.model.removeItem(1);
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
    EXPECT_FALSE(f.model.itemChecked(2));
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
    const struct {
        int order, type;
        QStringList names;
    } steps[] = {
        {2, ListModel::kSortTextNoCase, {"a", "b", "B", "C", "c"}},
        {2, ListModel::kSortTextNoCase, {"C", "c", "b", "B", "a"}},
        {2, ListModel::kSortTextNoCase, {"a", "b", "B", "C", "c"}},
        {1, ListModel::kSortText, {"B", "C", "a", "b", "c"}},
        {0, ListModel::kSortText, {"B", "C", "a", "b", "c"}},  // no order: untouched
    };
    for (const auto& s : steps) {
        EXPECT_TRUE(m.sort(0, s.order, s.type));
        EXPECT_EQ(listNames(m), s.names) << s.order << s.type;
    }
    // A new listing forgets the last sort: the next toggle is ascending again.
    m.sort(0, 2, ListModel::kSortTextNoCase);
    m.clear();
    m.appendFiles({file("y"), file("x")}, 1);
    m.sort(0, 2, ListModel::kSortTextNoCase);
    EXPECT_EQ(listNames(m), (QStringList{"x", "y"}));
}

// Rows are packed tight (30,000 of them are kept); every fact still reads back whole:
// sizes past 4 GiB, dates before 1970 and far ahead, unreadable files, check boxes. The
// size and date sorts read the listed numbers; once the cells are written they read the
// raw-size and date cells' text, and both must give the same order (as text, "1234" would
// come after "1125899906842624", and "1/1/2100" before "1/2/1970").
TEST(ListModel, ARowsFactsReadBackWholeAndSortAlikeBeforeAndAfterTheCellsAreWritten) {
    struct Case {
        const char* name;
        qint64 size, modified;
        bool readable;
    };
    const Case cases[] = {
        {"tiny", 1, 86400, true},
        {"dvd image", 5'000'000'000LL, 1'700'000'000LL, true},
        {"huge", 1LL << 50, 4'102'444'800LL, true},  // 2100
        {"old", 1234, -86400LL * 365 * 20, true},    // 1950
        {"unreadable", 77, 1'600'000'000LL, false},
    };
    std::vector<ListedFile> files;
    for (const Case& c : cases)
        files.push_back(ListedFile{c.name, c.size, c.modified, c.readable});
    for (const bool written : {false, true}) {
        SCOPED_TRACE(written);
        ListModel m;
        m.setCheckBoxes(true);
        m.columnAdd(0, "Name", 10);
        m.appendFiles(files, 5);
        ASSERT_EQ(m.count(), int(std::size(cases)));
        for (int i = 0; written && i < m.count(); ++i) {
            const Case& c = cases[i];
            SCOPED_TRACE(c.name);
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
