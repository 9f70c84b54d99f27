#include "filelist/ListModel.h"

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

// A list of `n` items "item0".."item<n-1>" with a recorder of its ItemClick events.
struct Fixture {
    explicit Fixture(int n, bool single = false) {
        model.setObserver(&log);
        model.setSingleSelection(single);
        model.ColumnAdd(0, "Name", 100);
        model.ColumnAdd(1, "Size", 50, 1);
        for (int i = 0; i < n; ++i)
            model.AddItem(QStringLiteral("item%1").arg(i));
        log.take();
    }
    ListModel model;
    ClickLog log;
};

QList<int> selectedRows(const ListModel& m) {
    QList<int> rows;
    for (int i = 0; i < m.count(); ++i)
        if (m.Selected(i)) rows.append(i);
    return rows;
}

}  // namespace

TEST(ListModel, InsertionIndexesFocusAndNewIndex) {
    Fixture f(5);
    EXPECT_TRUE(f.model.ItemFocused(0));  // the first item added takes the focus
    int index = -1;
    EXPECT_TRUE(f.model.AddItem("appended", index));
    EXPECT_EQ(index, 5);
    EXPECT_EQ(f.model.NewIndex(), 5);

    index = 0;
    EXPECT_TRUE(f.model.AddItem("top", index));
    EXPECT_EQ(f.model.NewIndex(), 0);
    EXPECT_EQ(f.model.ItemData(0), 0);
    EXPECT_EQ(f.model.ItemText(1), "item0");
    EXPECT_TRUE(f.model.ItemFocused(1));  // moved down and kept its focus

    // Past the end appends; a negative position is refused by ItemAdd itself.
    EXPECT_TRUE(f.model.ItemAdd(100, "far"));
    EXPECT_EQ(f.model.NewIndex(), 7);
    EXPECT_EQ(f.model.ItemData(7), 100);
    EXPECT_FALSE(f.model.ItemAdd(-3, "bad"));
    EXPECT_EQ(f.model.count(), 8);

    EXPECT_TRUE(f.model.Clear());
    EXPECT_EQ(f.model.NewIndex(), -1);
    EXPECT_EQ(f.model.ColumnCount(), 2);
}

TEST(ListModel, OutOfRangeIndexesChangeNothing) {
    Fixture f(3);
    for (int bad : {-2, 3, 1000}) {
        EXPECT_EQ(f.model.ItemText(bad), QString());
        EXPECT_EQ(f.model.List(bad, 1), QString());
        EXPECT_FALSE(f.model.setItemText(bad, "x"));
        EXPECT_FALSE(f.model.ItemRemove(bad));
        EXPECT_FALSE(f.model.setItemChecked(bad, true));
        EXPECT_FALSE(f.model.ItemFocused(bad));
        EXPECT_EQ(f.model.ItemSelected(bad), 0);
    }
    EXPECT_FALSE(f.model.setSubItemText(0, 2, "x"));  // beyond the columns
    EXPECT_EQ(f.model.count(), 3);
}

TEST(ListModel, SelectionReadsAndItemClicks) {
    Fixture f(3, /*single=*/false);
    f.model.setItemSelected(1, true);
    EXPECT_EQ(f.model.ItemSelected(1), 2);
    EXPECT_TRUE(f.model.Selected(1));
    EXPECT_TRUE(f.model.ItemFocused(1));
    // Item 1 had no state: the selection change reports it, then the let does.
    EXPECT_EQ(f.log.take(), (QList<int>{1, 1}));

    f.model.setItemSelected(1, false);
    EXPECT_EQ(f.log.take(), (QList<int>{1}));
    EXPECT_TRUE(f.model.ItemFocused(1));

    f.model.setItemSelected(-1, true);
    EXPECT_EQ(f.model.SelectedCount(), 3);
    // Item 0 lost its focus to item 1 above: items 0 and 2 had no state at all.
    EXPECT_EQ(f.log.take(), (QList<int>{0, 2, -1}));

    f.model.SelectAll(false);
    EXPECT_EQ(f.model.SelCount(), 0);
    f.model.SelectAll(true);
    EXPECT_EQ(f.model.SelCount(), 3);
    EXPECT_EQ(f.log.take(), QList<int>{});
}

TEST(ListModel, InvertSelection) {
    Fixture f(3);
    f.model.setItemSelected(1, true);
    f.log.take();
    f.model.InvertSelection();
    EXPECT_EQ(selectedRows(f.model), (QList<int>{0, 2}));
    // Items 0 and 2 had no state (the focus went to item 1): each adds a selection click
    // before the click of its let.
    EXPECT_EQ(f.log.take(), (QList<int>{0, 0, 1, 2, 2}));
}

TEST(ListModel, SingleSelectionKeepsOneItem) {
    Fixture f(4, /*single=*/true);
    f.model.setListIndex(1);
    f.model.setListIndex(3);
    EXPECT_EQ(selectedRows(f.model), QList<int>{3});
    EXPECT_FALSE(f.model.ItemFocused(1));
    EXPECT_FALSE(f.model.SelectAll(true));
    EXPECT_EQ(selectedRows(f.model), QList<int>{3});
}

TEST(ListModel, ListIndexLet) {
    Fixture f(10, /*single=*/true);
    const struct {
        int let;
        int listIndex;
        QList<int> clicks;
        QList<int> selected;
    } steps[] = {
        // The focus comes first, so the selection is not of an item without state.
        {3, 3, {3}, {3}}, {3, 3, {3}, {3}}, {12, 3, {12}, {3}},
        {-1, -1, {}, {}}, {0, 0, {0}, {0}}, {-5, -1, {}, {}},
    };
    for (const auto& s : steps) {
        f.model.setListIndex(s.let);
        EXPECT_EQ(f.model.ListIndex(), s.listIndex) << s.let;
        EXPECT_EQ(f.log.take(), s.clicks) << s.let;
        EXPECT_EQ(selectedRows(f.model), s.selected) << s.let;
    }
    EXPECT_EQ(f.model.ItemFindState(-1, ListModel::kFocused), -1);
}

TEST(ListModel, SelectionMarkAndStatesFollowTheirItems) {
    Fixture f(5);
    f.model.setListIndex(2);
    int at = 0;
    f.model.AddItem("first", at);
    EXPECT_EQ(f.model.ListIndex(), 3);
    f.model.ItemRemove(0);
    EXPECT_EQ(f.model.ListIndex(), 2);
    f.model.ItemRemove(2);
    EXPECT_EQ(f.model.ListIndex(), -1);

    // Through a sort: "d c b a" with "c" marked and "d" checked.
    for (int i = 0; i < 4; ++i)
        f.model.setItemText(i, QString(QChar(u'd' - i)));
    f.model.setListIndex(1);
    f.model.setItemChecked(0, true);
    f.model.Sort(0, 1, 0);
    EXPECT_EQ(f.model.ListIndex(), 2);
    EXPECT_EQ(f.model.text(), "c");
    EXPECT_TRUE(f.model.Selected(2));
    EXPECT_TRUE(f.model.ItemChecked(3));
}

TEST(ListModel, ColumnsKeepTheirCellsAndAlignment) {
    ListModel m;
    m.ColumnAdd(0, "Name", 100, 1);
    m.ColumnAdd(1, "Size", 50, 2);
    EXPECT_EQ(m.ColumnAlign(0), 0);
    EXPECT_EQ(m.ColumnAlign(1), 2);
    m.setColumnAlign(0, 1);
    EXPECT_EQ(m.ColumnAlign(0), 0);
    m.AddItem("a");
    m.setSubItemText(0, 1, "size");
    m.ColumnAdd(1, "Type", 70);
    EXPECT_EQ(m.SubItemText(0, 2), "size");
    EXPECT_EQ(m.SubItemText(0, 1), "");
    m.ColumnRemove(1);
    EXPECT_EQ(m.SubItemText(0, 1), "size");
    EXPECT_FALSE(m.ColumnRemove(5));
}

TEST(ListModel, CheckBoxesAreStateImages) {
    Fixture f(2);
    f.model.setCheckBoxes(true);
    EXPECT_EQ(f.model.ItemState(1) & ListModel::kStateImageMask, 1u << 12);
    for (const bool checked : {true, false}) {
        f.model.setItemChecked(1, checked);
        EXPECT_EQ(f.model.ItemChecked(1), checked);
        EXPECT_EQ(f.model.ItemState(1) & ListModel::kStateImageMask, (checked ? 2u : 1u) << 12);
    }
    // A check change reports the item.
    EXPECT_EQ(f.log.take(), (QList<int>{1, 1}));
}

TEST(ListModel, FindText) {
    ListModel m;
    for (const char* t : {"Alpha", "beta", "alphabet", "Gamma", "ALPHA"})
        m.AddItem(QString::fromLatin1(t));
    const struct {
        const char* text;
        int start;
        int how;
        int found;
    } cases[] = {
        {"alpha", -1, 2, 0}, {"alpha", 0, 2, 4},  {"alpha", 4, 2, -1},
        {"alpha", 4, 34, 0}, {"alph", -1, 2, -1}, {"alph", 0, 8, 2},
        {"GAM", -1, 8, 3},   {"zzz", -1, 40, -1}, {"beta", 10, 34, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(m.ItemFindText(QString::fromLatin1(c.text), c.start, c.how), c.found)
            << c.text << " " << c.start << " " << c.how;

    // Lookups follow every change of names and places.
    m.setItemText(4, "Delta");
    EXPECT_EQ(m.ItemFindText("alpha", 0), -1);
    EXPECT_EQ(m.ItemFindText("DELTA"), 4);
    int top = 0;
    m.AddItem("delta", top);
    EXPECT_EQ(m.ItemFindText("delta"), 0);
    EXPECT_EQ(m.ItemFindText("delta", 0), 5);
    m.ItemRemove(0);
    EXPECT_EQ(m.ItemFindText("delta"), 4);
    m.Sort(0, 1, 0);
    EXPECT_EQ(m.ItemFindText("delta"), 3);  // Alpha alphabet beta Delta Gamma
    m.Clear();
    EXPECT_EQ(m.ItemFindText("delta"), -1);
}

TEST(ListModel, FindState) {
    Fixture f(6);
    f.model.setItemSelected(2, true);
    f.model.setItemSelected(4, true);
    f.model.setItemGhosted(4, true);
    EXPECT_EQ(f.model.ItemFindState(-1, ListModel::kSelected), 2);
    EXPECT_EQ(f.model.ItemFindState(2, ListModel::kSelected), 4);
    EXPECT_EQ(f.model.ItemFindState(-1, ListModel::kFocused | ListModel::kSelected), 4);
    EXPECT_EQ(f.model.ItemFindState(-1, ListModel::kCut), 4);
    EXPECT_EQ(f.model.ItemFindState(4, ListModel::kSelected), -1);
    EXPECT_EQ(f.model.ItemFindState(1, 0), 2);
}

TEST(ListModel, SortOrdersToggleAndFailures) {
    ListModel m;
    m.ColumnAdd(0, "Name", 100);
    m.ColumnAdd(1, "Num", 50);
    const char* names[] = {"b", "C", "a", "B", "c"};
    const char* nums[] = {"10", "9", "", "100", "x"};
    for (int i = 0; i < 5; ++i) {
        m.AddItem(QString::fromLatin1(names[i]));
        m.setSubItemText(i, 1, QString::fromLatin1(nums[i]));
    }
    auto column = [&](int c) {
        QStringList out;
        for (int i = 0; i < m.count(); ++i)
            out.append(m.SubItemText(i, c));
        return out;
    };
    const struct {
        int col, order, type;
        bool ok;
        QStringList names;
        int stateOrder;
    } steps[] = {
        // Equal keys keep their order (stable).
        {0, 2, 0, true, {"a", "b", "B", "C", "c"}, 1},
        {0, 2, 0, true, {"C", "c", "b", "B", "a"}, -1},
        {0, 2, 0, true, {"a", "b", "B", "C", "c"}, 1},
        {0, 1, 1, true, {"B", "C", "a", "b", "c"}, 1},
        {1, 1, 2, true, {"a", "c", "C", "b", "B"}, 1},
        {1, -1, 2, true, {"B", "b", "C", "a", "c"}, -1},
        {1, 0, 2, true, {"B", "b", "C", "a", "c"}, 0},
        {0, 5, 0, false, {"B", "b", "C", "a", "c"}, 5},
        {0, 1, 7, false, {"B", "b", "C", "a", "c"}, 1},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(m.Sort(s.col, s.order, s.type), s.ok) << s.col << s.order << s.type;
        EXPECT_EQ(column(0), s.names) << s.col << s.order << s.type;
        EXPECT_EQ(m.SortColumn(), s.col);
        EXPECT_EQ(m.SortOrder(), s.stateOrder);
        EXPECT_EQ(m.SortType(), s.type);
    }
}
