// Pointer tracking, label edits, check boxes, cell colours and the other view modes.
#include "filelist/ui/ListViewFixture.h"

#include "support/QtPrinters.h"

#include <QLineEdit>
#include <QListView>
#include <QTreeView>

class ListViewInput : public ListViewFixture {
protected:
    QStringList log;
};

TEST_F(ListViewInput, PointerEntersMovesAndLeaves) {
    QObject::connect(&list, &FileListView::MouseEnter, [&] { log.append("Enter"); });
    QObject::connect(&list, &FileListView::MouseLeave, [&] { log.append("Leave"); });
    QObject::connect(&list, &FileListView::MouseMove, [&](int b, int s, float x, float y) {
        log.append(QStringLiteral("Move(%1,%2,%3,%4)").arg(b).arg(s).arg(x).arg(y));
    });
    list.setScaleMode(3);
    const int header = view()->viewport()->mapTo(view(), QPoint(0, 0)).y();
    moveTo(QPoint(10, 20));
    moveTo(QPoint(10, 20));  // the same place again: no second move
    moveTo(QPoint(11, 20));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view()->viewport(), &leave);
    moveTo(QPoint(11, 20));
    const int x0 = view()->viewport()->mapTo(view(), QPoint(0, 0)).x();
    const auto move = [&](int x) {
        return QStringLiteral("Move(0,0,%1,%2)").arg(x + x0).arg(20 + header);
    };
    EXPECT_EQ(log, (QStringList{"Enter", move(10), move(11), "Leave", "Enter", move(11)}));
}

TEST_F(ListViewInput, LabelEditsCanBeRefusedAtEitherEnd) {
    list.setLabelEdit(true);
    list.setListIndex(1);
    view()->setFocus();
    bool refuseBefore = true, refuseAfter = false;
    QObject::connect(&list, &FileListView::BeforeLabelEdit, [&](bool& Cancel) {
        log.append("Before");
        Cancel = refuseBefore;
    });
    QObject::connect(&list, &FileListView::AfterLabelEdit, [&](bool& Cancel, QString& NewString) {
        log.append("After " + NewString);
        Cancel = refuseAfter;
    });
    auto editTo = [&](const QString& text) {
        log.clear();
        // Editors closed before are gone only once their deletion ran.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::keyClick(view(), Qt::Key_F2);
        if (auto* editor = view()->findChild<QLineEdit*>()) {
            editor->selectAll();
            QTest::keyClicks(editor, text);
            QTest::keyClick(editor, Qt::Key_Return);
            QApplication::processEvents();  // the editor hands its text over after the key
        }
        return list.ItemText(1);
    };
    const QString name = list.ItemText(1);
    EXPECT_EQ(editTo("refused"), name);
    EXPECT_EQ(log, QStringList{"Before"});
    refuseBefore = false;
    refuseAfter = true;
    EXPECT_EQ(editTo("kept out"), name);
    EXPECT_EQ(log, (QStringList{"Before", "After kept out"}));
    refuseAfter = false;
    EXPECT_EQ(editTo("renamed"), "renamed");
    list.setLabelEdit(false);
    EXPECT_EQ(editTo("off"), "renamed");
    EXPECT_EQ(log, QStringList{});
}

TEST_F(ListViewInput, CheckBoxClicksReportTheItem) {
    list.setCheckBoxes(true);
    list.setMultiSelect(true);
    QList<int> clicks;
    QObject::connect(&list, &FileListView::ItemClick, [&](int i) { clicks.append(i); });
    // The check indicator sits at the left of the first cell.
    const QRect r = cell(2);
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {},
                      QPoint(r.left() + 12, r.center().y()));
    EXPECT_TRUE(list.ItemChecked(2));
    EXPECT_TRUE(clicks.contains(2));
    list.setItemChecked(2, false);  // and a let reaches the view
    EXPECT_EQ(view()->model()->index(2, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
}

TEST_F(ListViewInput, SubItemPrePaintColoursCells) {
    QList<QPair<int, int>> asked;
    QObject::connect(&list, &FileListView::OnSubItemPrePaint,
                     [&](int item, int sub, quint32& back, quint32&, bool& apply) {
                         asked.append({item, sub});
                         if (item == 3 && sub == 1) {
                             back = 0x0000FF;  // red
                             apply = true;
                         }
                     });
    list.grab();
    EXPECT_TRUE(asked.isEmpty());
    list.setRaiseSubItemPrePaint(true);
    const QImage shot = view()->viewport()->grab().toImage();
    EXPECT_TRUE(asked.contains(qMakePair(0, 0)));
    EXPECT_TRUE(asked.contains(qMakePair(4, 1)));
    const QRect red = cell(3, 1);
    EXPECT_EQ(shot.pixelColor(red.left() + 2, red.center().y()), QColor(255, 0, 0));
    const QRect plain = cell(2, 1);
    EXPECT_NE(shot.pixelColor(plain.left() + 2, plain.center().y()), QColor(255, 0, 0));
}

TEST_F(ListViewInput, IconAndListModesRaiseTheSameEvents) {
    EventLog events(list);
    for (const int mode : {0, 2, 3}) {
        list.setViewMode(mode);
        ASSERT_NE(qobject_cast<QListView*>(view()), nullptr) << mode;
        list.setListIndex(-1);
        events.take();
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cell(3).center());
        const QStringList got = events.take();
        EXPECT_EQ(got.mid(got.size() - 2), (QStringList{"ItemClick(3)", "Click"})) << mode;
        EXPECT_EQ(list.ListIndex(), 3) << mode;
    }
    list.setViewMode(1);
    EXPECT_NE(qobject_cast<QTreeView*>(view()), nullptr);
    EXPECT_TRUE(view()->selectionModel()->isRowSelected(3, {}));
}

TEST_F(ListViewInput, ResizeRaisesResize) {
    int resizes = 0;
    QObject::connect(&list, &FileListView::Resize, [&] { ++resizes; });
    list.resize(500, 250);
    QApplication::processEvents();
    EXPECT_GE(resizes, 1);
    EXPECT_EQ(view()->size(), list.size());
}

TEST_F(ListViewInput, ImagesShowByIndexAndMaskColoursBecomeClear) {
    EXPECT_TRUE(list.InitializeImageListSmall(16, 16));
    QImage red(16, 16, QImage::Format_RGB32);
    red.fill(Qt::red);
    red.setPixelColor(0, 0, QColor(255, 0, 255));
    EXPECT_EQ(list.ImageListSmall_AddBitmap(red, QColor(255, 0, 255)), 0);
    QPixmap blue(16, 16);
    blue.fill(Qt::blue);
    EXPECT_EQ(list.ImageListSmall_AddIcon(QIcon(blue)), 1);

    const QModelIndex first = view()->model()->index(0, 0);
    const QImage shown = first.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
    EXPECT_EQ(shown.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(Qt::red));
    list.setItemIcon(0, 7);  // no such image: none shown
    EXPECT_FALSE(first.data(Qt::DecorationRole).isValid());
    // A fresh list starts empty again.
    EXPECT_TRUE(list.InitializeImageListSmall());
    EXPECT_EQ(list.ImageListSmall_AddIcon(QIcon(blue)), 0);
}

TEST_F(ListViewInput, CellTipsOnlyWithTipsSwitchedOn) {
    const QModelIndex cellIndex = view()->model()->index(2, 1);
    EXPECT_EQ(cellIndex.data(Qt::ToolTipRole).toString(), list.SubItemText(2, 1));
    list.setInfoTips(false);
    list.setLabelTips(false);
    // Without cell tips the control's own tip (the host's "N Files") is what shows.
    EXPECT_FALSE(cellIndex.data(Qt::ToolTipRole).isValid());
}

TEST_F(ListViewInput, HandlersMayMoveTheChoiceWhileAClickIsReported) {
    list.setMultiSelect(false);
    // A host that sends every choice of item 3 back to item 0.
    QObject::connect(&list, &FileListView::ItemClick, [&](int item) {
        if (item == 3) list.setListIndex(0);
    });
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cell(3).center());
    EXPECT_EQ(list.ListIndex(), 0);
    EXPECT_FALSE(list.Selected(3));
    EXPECT_TRUE(view()->selectionModel()->isRowSelected(0, {}));
    EXPECT_FALSE(view()->selectionModel()->isRowSelected(3, {}));
    EXPECT_EQ(view()->selectionModel()->currentIndex().row(), 0);
}

TEST_F(ListViewInput, AutosizeFitsTheTexts) {
    list.setItemText(2, QStringLiteral("a rather longer name than the others have"));
    EXPECT_TRUE(list.ColumnAutosize(0, -1));
    const int fitted = list.ColumnWidth(0);
    EXPECT_GT(fitted, QFontMetrics(view()->font()).horizontalAdvance(list.ItemText(2)) - 1);
    EXPECT_TRUE(list.ColumnAutosize(0, 40));
    EXPECT_EQ(list.ColumnWidth(0), 40);
    EXPECT_FALSE(list.ColumnAutosize(9));
}

TEST_F(ListViewInput, PointerIsTheHandOnceAListingEnds) {
    EXPECT_EQ(view()->viewport()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(view()->updatesEnabled());
}
