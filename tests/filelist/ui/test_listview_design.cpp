// How the window's list looks once its stored design values are read.
#include "filelist/ui/ListViewFixture.h"

#include "support/QtPrinters.h"

#include <QPaintEvent>

TEST_F(ListViewFixture, WindowsDesignValuesShape) {
    EXPECT_EQ(list.font().family(), "Tahoma");
    const QPalette p = view()->palette();
    EXPECT_EQ(p.color(QPalette::Text), QColor(0xF9, 0xE3, 0x51));  // stored as 0x0051E3F9
    EXPECT_EQ(p.color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(view()->selectionMode(), QAbstractItemView::SingleSelection);
    // Name, size, type, date, played, time, last played; the raw size is only the size
    // column's sort key, never shown.
    EXPECT_EQ(view()->model()->columnCount(), 7);
    EXPECT_EQ(view()->viewport()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(view()->updatesEnabled());  // a listing that ended repaints again

    FileListView fresh;
    ASSERT_TRUE(fresh.readDesignValues(QStringLiteral("Files")));
    EXPECT_EQ(fresh.path(), "/");  // the stored drive is the root here
    EXPECT_FALSE(fresh.readDesignValues(QStringLiteral("NoSuchControl")));
}

// Without cell tips the window's own tip on the list ("N Files") is what shows.
TEST_F(ListViewFixture, CellTipsOnlyWithTipsSwitchedOn) {
    const struct {
        bool infoTips, labelTips, shown;
    } cases[] = {{false, false, false}, {true, false, true}, {false, true, true}};
    for (const auto& c : cases) {
        design(
            {{QStringLiteral("InfoTips"), c.infoTips}, {QStringLiteral("LabelTips"), c.labelTips}});
        const QModelIndex size = view()->model()->index(2, 1);
        EXPECT_EQ(size.data(Qt::ToolTipRole).isValid(), c.shown) << c.infoTips << c.labelTips;
        if (c.shown) {
            EXPECT_EQ(size.data(Qt::ToolTipRole).toString(), list.list(2, 1));
        }
    }
}

TEST_F(ListViewFixture, EveryItemShowsTheFirstSmallIcon) {
    EXPECT_TRUE(list.initializeSmallIcons(16, 16));
    QPixmap red(16, 16), blue(16, 16);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    EXPECT_EQ(list.addSmallIcon(QIcon(red)), 0);
    EXPECT_EQ(list.addSmallIcon(QIcon(blue)), 1);
    const QModelIndex first = view()->model()->index(5, 0);
    const QImage shown = first.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(Qt::red));
}

// A change over more rows than the view measures one by one (a whole folder's lengths and
// dates, its play columns) still repaints the rows in sight.
TEST_F(ListViewFixture, AChangeOverManyRowsRepaintsTheRowsInSight) {
    for (int i = 10; i < 500; ++i)
        dir.write(QStringLiteral("game%1.sms").arg(i), "x");
    list.refresh();
    ASSERT_EQ(list.listCount(), 500);
    QTest::qWait(50);  // what the listing repaints
    struct PaintWatch : QObject {
        QRegion painted;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(e)->region();
            return false;
        }
    } watch;
    view()->viewport()->installEventFilter(&watch);
    std::vector<std::pair<int, ListedFile>> facts;
    for (int row = 0; row < list.listCount(); ++row)
        facts.emplace_back(row, ListedFile{list.list(row), 123456789, 0, true, true});
    list.model().setFileFacts(facts);
    QApplication::processEvents();
    EXPECT_TRUE(watch.painted.contains(cell(0, 1))) << watch.painted.boundingRect().height();
}
