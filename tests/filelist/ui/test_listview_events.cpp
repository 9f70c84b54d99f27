// The control's events under real Qt input, in the order its hosts rely on.
#include "filelist/ui/ListViewFixture.h"

#include "support/QtPrinters.h"

#include <QHeaderView>
#include <QTreeView>

class ListViewEvents : public ListViewFixture {};

TEST_F(ListViewEvents, ClicksRaiseTheirEventsInOrder) {
    list.setMultiSelect(false);
    EventLog log(list);
    click(2);
    // The newly selected item first (as the list reports a selection of an item with no
    // state), then the button down, then the click.
    EXPECT_EQ(log.take(), (QStringList{"ItemClick(2)", "MouseDown(1,0)", "ItemClick(2)",
                                       "MouseUp(1,0)", "ItemClick(2)", "Click"}));
    EXPECT_EQ(list.FileName(), list.List(2));

    // Clicking the selected item again: no selection change.
    click(2);
    EXPECT_EQ(log.take(), (QStringList{"MouseDown(1,0)", "ItemClick(2)", "MouseUp(1,0)",
                                       "ItemClick(2)", "Click"}));

    // Empty space below the items deselects everything without an item click.
    // A multi-selection list counts it as a click of no item.
    const QPoint below(20, view()->viewport()->height() - 5);
    for (const bool multi : {false, true}) {
        list.setMultiSelect(multi);
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, below);
        QStringList want{"MouseDown(1,0)", "MouseUp(1,0)", "Click"};
        if (multi) want.insert(2, "ItemClick(-1)");
        EXPECT_EQ(log.take(), want) << multi;
        EXPECT_EQ(list.ListIndex(), -1);
        EXPECT_EQ(list.SelCount(), 0);
    }

    // A right click with Ctrl held.
    click(4, Qt::RightButton, Qt::ControlModifier);
    const QStringList right = log.take();
    EXPECT_TRUE(right.contains("MouseDown(2,2)")) << right.join(' ').toStdString();
    EXPECT_EQ(right.mid(right.indexOf("MouseUp(2,2)")),
              (QStringList{"MouseUp(2,2)", "ItemClick(4)", "Click"}));

    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, itemCenter(1));
    EXPECT_TRUE(log.take().contains("DblClick"));
}

TEST_F(ListViewEvents, KeysCarryVirtualCodesAndReleaseReportsTheItem) {
    list.setMultiSelect(false);
    list.setListIndex(0);
    view()->setFocus();
    EventLog log(list);
    key(Qt::Key_Down);
    EXPECT_EQ(log.take(),
              (QStringList{"ItemClick(1)", "KeyDown(40,0)", "KeyUp(40,0)", "ItemClick(1)"}));
    EXPECT_EQ(list.ListIndex(), 1);

    key(Qt::Key_Space);
    EXPECT_EQ(log.take(), (QStringList{"KeyDown(32,0)", "KeyPress(32)", "ItemClick(1)",
                                       "KeyUp(32,0)", "ItemClick(1)"}));

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* down;
    } keys[] = {
        {Qt::Key_Return, {}, "KeyDown(13,0)"},
        {Qt::Key_Enter, Qt::KeypadModifier, "KeyDown(13,0)"},
        {Qt::Key_Delete, Qt::ShiftModifier, "KeyDown(46,1)"},
        {Qt::Key_F2, {}, "KeyDown(113,0)"},
        {Qt::Key_F12, Qt::AltModifier, "KeyDown(123,4)"},
        {Qt::Key_R, Qt::ControlModifier, "KeyDown(82,2)"},
        {Qt::Key_Escape, {}, "KeyDown(27,0)"},
    };
    for (const auto& k : keys) {
        key(k.key, k.mods);
        const QStringList got = log.take();
        ASSERT_FALSE(got.isEmpty());
        EXPECT_TRUE(got.contains(QString::fromLatin1(k.down))) << got.join(' ').toStdString();
    }
}

TEST_F(ListViewEvents, ReleasingAKeyWithNothingSelectedClearsTheChoice) {
    list.setListIndex(3);
    list.setItemSelected(3, false);
    view()->setFocus();
    EventLog log(list);
    QTest::keyRelease(view(), Qt::Key_Shift);
    EXPECT_EQ(log.take(), (QStringList{"KeyUp(16,0)"}));
    EXPECT_EQ(list.ListIndex(), -1);
}

// The click reports themselves are the model's; here the view follows the let.
TEST_F(ListViewEvents, ListIndexLetMovesTheViewsSelection) {
    list.setMultiSelect(false);
    list.setListIndex(3);
    EXPECT_EQ(view()->selectionModel()->currentIndex().row(), 3);
    EXPECT_TRUE(view()->selectionModel()->isRowSelected(3, {}));
    list.setListIndex(12);
    EXPECT_EQ(list.FileName(), list.List(3));
    list.setListIndex(-1);
    EXPECT_FALSE(view()->selectionModel()->hasSelection());
    EXPECT_EQ(list.FileName(), QString());
}

TEST_F(ListViewEvents, HeaderClicksAndFixedWidths) {
    auto* tree = qobject_cast<QTreeView*>(view());
    ASSERT_NE(tree, nullptr);
    QHeaderView* header = tree->header();
    EventLog log(list);
    const QPoint sizeHeader(header->sectionViewportPosition(1) + 30, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
    QTest::mousePress(header->viewport(), Qt::RightButton, {}, sizeHeader);
    QTest::mouseRelease(header->viewport(), Qt::RightButton, {}, sizeHeader);
    EXPECT_EQ(log.take(), (QStringList{"ColumnClick(1)", "ColumnRightClick(1)"}));

    auto dragDivider = [&](int by) {
        const int edge = header->sectionViewportPosition(0) + header->sectionSize(0) - 1;
        const QPoint from(edge, header->height() / 2), to(edge + by, header->height() / 2);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, header->viewport()->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(header->viewport(), &move);
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, to);
    };
    list.setHeaderFixedWidth(true);
    dragDivider(-100);
    EXPECT_EQ(list.ColumnWidth(0), 600);
    EXPECT_EQ(header->sectionSize(0), 600);
    list.setHeaderFixedWidth(false);
    dragDivider(-100);
    EXPECT_EQ(list.ColumnWidth(0), header->sectionSize(0));
    EXPECT_LT(list.ColumnWidth(0), 600);
}

TEST_F(ListViewEvents, MousePositionsFollowScaleMode) {
    QList<QPointF> downs;
    QObject::connect(&list, &FileListView::MouseDown,
                     [&](int, int, float x, float y) { downs.append(QPointF(x, y)); });
    list.setScaleMode(3);
    click(1);
    list.setScaleMode(1);
    click(1);
    ASSERT_EQ(downs.size(), 2);
    const double twips = 1440.0 / list.screen()->logicalDotsPerInchX();
    EXPECT_DOUBLE_EQ(downs[1].x(), downs[0].x() * twips);
    EXPECT_DOUBLE_EQ(downs[1].y(), downs[0].y() * twips);
    // Positions count from the list's top, its header included.
    EXPECT_GT(downs[0].y(), itemCenter(1).y());
    EXPECT_EQ(list.ItemHitTest(float(downs[1].x()), float(downs[1].y())), 1);
    list.setScaleMode(3);
    EXPECT_EQ(list.ItemHitTest(float(downs[0].x()), float(downs[0].y())), 1);
}

TEST_F(ListViewEvents, ColumnWidthsSurviveSortsAndListings) {
    auto* tree = qobject_cast<QTreeView*>(view());
    ASSERT_NE(tree, nullptr);
    list.setColumnWidth(2, 170);
    const int widths[] = {600, 100, 170, 250, 0};
    for (int step = 0; step < 3; ++step) {
        if (step == 1) list.SortFilesByColumnClick(1);
        if (step == 2) list.Refresh();
        for (int c = 0; c < 5; ++c) {
            EXPECT_EQ(tree->header()->sectionSize(c), widths[c]) << step << " " << c;
            EXPECT_EQ(list.ColumnWidth(c), widths[c]);
        }
    }
    EXPECT_EQ(tree->model()->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                  Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
}
