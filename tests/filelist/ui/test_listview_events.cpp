// The list's events under real input, in the order the window relies on, and its design values.
#include "filelist/ui/FileListView.h"

#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QPaintEvent>
#include <QTest>
#include <QTreeView>

#include <type_traits>
#include <utility>

// Each event as "Name(arg,...)" with its whole-number arguments; positions have their own test.
class EventLog {
public:
    explicit EventLog(FileListView& w) {
        record(w, &FileListView::dblClick, "dblClick");
        record(w, &FileListView::itemClick, "itemClick");
        record(w, &FileListView::columnClick, "columnClick");
        record(w, &FileListView::keyDown, "keyDown");
        record(w, &FileListView::mouseDown, "mouseDown");
    }
    QStringList take() { return std::exchange(lines, {}); }
    QStringList lines;

private:
    template <typename... Args>
    void record(FileListView& w, void (FileListView::*event)(Args...), const char* name) {
        QObject::connect(&w, event, [this, name](Args... args) {
            QStringList shown;
            [[maybe_unused]] auto show = [&](auto a) {
                if constexpr (std::is_same_v<decltype(a), int>) shown.append(QString::number(a));
            };
            (show(args), ...);
            const QString n = QString::fromLatin1(name);
            lines.append(shown.isEmpty() ? n : n + u'(' + shown.join(u',') + u')');
        });
    }
};

// A shown list with the window's design values over "game0.sms" to "game9.sms" (1 to 10 bytes).
class ListViewEvents : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 10; ++i)
            dir.write(QStringLiteral("game%1.sms").arg(i), QByteArray(i + 1, 'x'));
        list.resize(900, 500);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        design({});
    }
    // Reads the window's design values with some changed, then lists the folder again.
    void design(const QVariantMap& changes) {
        QFile stored(QStringLiteral(":/design/Files.json"));
        ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
        QJsonObject values = QJsonDocument::fromJson(stored.readAll()).object();
        for (auto it = changes.begin(); it != changes.end(); ++it)
            values.insert(it.key(), QJsonValue::fromVariant(it.value()));
        list.readProperties(platform::PropertyBag(values));
        list.setPattern(QStringLiteral("*.sms"));
        list.setPath(dir.path());
        ASSERT_EQ(list.listCount(), 10);
    }
    QAbstractItemView* view() { return list.currentView(); }
    QRect cell(int row, int column = 0) {
        return view()->visualRect(view()->model()->index(row, column));
    }
    QPoint itemCenter(int row) { return cell(row).center(); }
    void click(int row, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
        QTest::mouseClick(view()->viewport(), b, m, itemCenter(row));
    }
    void key(Qt::Key k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(view(), k, m); }

    TempFolder dir;
    FileListView list;
};

TEST_F(ListViewEvents, ClicksRaiseTheirEventsInOrder) {
    EventLog log(list);
    click(2);
    // The selection's change first, then the button down, then the click's own report.
    EXPECT_EQ(log.take(),
              (QStringList{"itemClick(2)", "mouseDown(1,0)", "itemClick(2)", "itemClick(2)"}));
    EXPECT_EQ(list.fileName(), list.list(2));

    // Clicking the chosen item again: no selection change.
    click(2);
    EXPECT_EQ(log.take(), (QStringList{"mouseDown(1,0)", "itemClick(2)", "itemClick(2)"}));

    // A right click with Ctrl held reports the item last.
    click(4, Qt::RightButton, Qt::ControlModifier);
    const QStringList right = log.take();
    EXPECT_TRUE(right.contains("mouseDown(2,2)")) << right.join(' ').toStdString();
    EXPECT_EQ(right.value(right.size() - 1), "itemClick(4)");

    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, itemCenter(1));
    EXPECT_TRUE(log.take().contains("dblClick"));
}

// Empty space below the items clears the choice; a multi-selection list reports no item.
TEST_F(ListViewEvents, ClickBelowTheItemsChoosesNone) {
    EventLog log(list);
    for (const bool multi : {false, true}) {
        design({{QStringLiteral("MultiSelect"), multi}});
        list.setListIndex(1);
        log.take();
        const QPoint below(20, view()->viewport()->height() - 5);
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, below);
        QStringList want{"mouseDown(1,0)"};
        if (multi) want.append("itemClick(-1)");
        EXPECT_EQ(log.take(), want) << multi;
        EXPECT_EQ(list.listIndex(), -1) << multi;
    }
}

TEST_F(ListViewEvents, KeysCarryVirtualCodesAndReleaseReportsTheItem) {
    list.setListIndex(0);
    view()->setFocus();
    EventLog log(list);
    key(Qt::Key_Down);
    EXPECT_EQ(log.take(), (QStringList{"itemClick(1)", "keyDown(40,0)", "itemClick(1)"}));
    EXPECT_EQ(list.listIndex(), 1);

    key(Qt::Key_Space);
    EXPECT_EQ(log.take(), (QStringList{"keyDown(32,0)", "itemClick(1)", "itemClick(1)"}));

    const std::tuple<Qt::Key, Qt::KeyboardModifiers, const char*> keys[] = {
        {Qt::Key_Return, {}, "keyDown(13,0)"},
        {Qt::Key_Enter, Qt::KeypadModifier, "keyDown(13,0)"},
        {Qt::Key_Delete, Qt::ShiftModifier, "keyDown(46,1)"},
        {Qt::Key_F12, Qt::AltModifier, "keyDown(123,4)"},
        {Qt::Key_R, Qt::ControlModifier, "keyDown(82,2)"},
        {Qt::Key_Shift, {}, "keyDown(16,1)"},  // a shift key counts itself
    };
    for (const auto& [k, modifiers, down] : keys) {
        key(k, modifiers);
        const QStringList got = log.take();
        EXPECT_TRUE(got.contains(QString::fromLatin1(down))) << got.join(' ').toStdString();
    }
}

TEST_F(ListViewEvents, ReleasingAKeyWithNothingSelectedClearsTheChoice) {
    design({{QStringLiteral("MultiSelect"), true}});
    click(3);
    click(3, Qt::LeftButton, Qt::ControlModifier);  // the focus stays, the selection goes
    ASSERT_FALSE(view()->selectionModel()->isRowSelected(3, {}));
    view()->setFocus();
    EventLog log(list);
    QTest::keyRelease(view(), Qt::Key_Shift);
    EXPECT_EQ(log.take(), QStringList{});
    EXPECT_EQ(list.listIndex(), -1);
}

// The choice moves the view's selection, also when a handler moves it during a click.
TEST_F(ListViewEvents, ChoosingAnItemMovesTheViewsSelection) {
    list.setListIndex(3);
    EXPECT_EQ(view()->selectionModel()->currentIndex().row(), 3);
    EXPECT_TRUE(view()->selectionModel()->isRowSelected(3, {}));
    list.setListIndex(12);  // no such item: the choice stays
    EXPECT_EQ(list.fileName(), list.list(3));
    list.setListIndex(-1);
    EXPECT_FALSE(view()->selectionModel()->hasSelection());
    EXPECT_EQ(list.fileName(), QString());

    QObject::connect(&list, &FileListView::itemClick, [&](int item) {
        if (item == 3) list.setListIndex(0);
    });
    click(3);
    EXPECT_EQ(list.listIndex(), 0);
    EXPECT_TRUE(view()->selectionModel()->isRowSelected(0, {}));
    EXPECT_FALSE(view()->selectionModel()->isRowSelected(3, {}));
}

TEST_F(ListViewEvents, HeaderClicksAndDraggedWidthsSurviveSortsAndListings) {
    auto* tree = qobject_cast<QTreeView*>(view());
    ASSERT_NE(tree, nullptr);
    QHeaderView* header = tree->header();
    EventLog log(list);
    const QPoint sizeHeader(header->sectionViewportPosition(1) + 30, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
    EXPECT_EQ(log.take(), QStringList{"columnClick(1)"});

    const int fitted = header->sectionSize(0);  // the name takes what the others leave
    ASSERT_GT(fitted, 100);
    const int edge = header->sectionViewportPosition(0) + header->sectionSize(0) - 1;
    const QPoint from(edge, header->height() / 2), to(edge - 100, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, header->viewport()->mapToGlobal(to), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &move);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, to);
    const int dragged = header->sectionSize(0);
    EXPECT_LT(dragged, fitted);

    list.sortFilesByColumnClick(1);
    EXPECT_EQ(header->sectionSize(0), dragged);
    list.refresh();
    EXPECT_EQ(header->sectionSize(0), dragged);
    // The raw-size column (the one without a title) stays out of sight.
    for (int c = 0; c < header->count(); ++c)
        EXPECT_FALSE(tree->model()->headerData(c, Qt::Horizontal).toString().isEmpty()) << c;
}

TEST_F(ListViewEvents, MousePositionsFollowScaleMode) {
    QList<QPointF> downs;
    QObject::connect(&list, &FileListView::mouseDown,
                     [&](int, int, float x, float y) { downs.append(QPointF(x, y)); });
    click(1);  // pixels, as the window's list counts
    design({{QStringLiteral("ScaleMode"), 1}});
    click(1);
    ASSERT_EQ(downs.size(), 2);
    const double perPixel = 1440.0 / list.screen()->logicalDotsPerInchX();
    EXPECT_DOUBLE_EQ(downs[1].x(), downs[0].x() * perPixel);
    EXPECT_DOUBLE_EQ(downs[1].y(), downs[0].y() * perPixel);
    // Positions count from the list's top, its header included.
    EXPECT_GT(downs[0].y(), itemCenter(1).y());
}

TEST_F(ListViewEvents, IconAndListModesRaiseTheSameEvents) {
    EventLog events(list);
    for (const int mode : {0, 2, 3}) {
        list.setViewMode(mode);
        ASSERT_NE(qobject_cast<QListView*>(view()), nullptr) << mode;
        list.setListIndex(-1);
        events.take();
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, cell(3).center());
        const QStringList got = events.take();
        EXPECT_EQ(got.value(got.size() - 1), "itemClick(3)") << mode;
        EXPECT_EQ(list.listIndex(), 3) << mode;
    }
    list.setViewMode(1);
    EXPECT_NE(qobject_cast<QTreeView*>(view()), nullptr);
    EXPECT_TRUE(view()->selectionModel()->isRowSelected(3, {}));
}

TEST_F(ListViewEvents, WindowsDesignValuesShape) {
    EXPECT_EQ(list.font().family(), "Tahoma");
    const QPalette p = view()->palette();
    EXPECT_EQ(p.color(QPalette::Text), QColor(0xF9, 0xE3, 0x51));  // stored as 0x0051E3F9
    EXPECT_EQ(p.color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(view()->selectionMode(), QAbstractItemView::SingleSelection);
    // Name, size, type, date, played, time, last played; the raw size is a sort key only.
    EXPECT_EQ(view()->model()->columnCount(), 7);
    EXPECT_EQ(view()->viewport()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(view()->updatesEnabled());  // a listing that ended repaints again

    FileListView fresh;
    ASSERT_TRUE(fresh.readDesignValues(QStringLiteral("Files")));
    EXPECT_EQ(fresh.path(), "/");  // the stored drive is the root here
    EXPECT_FALSE(fresh.readDesignValues(QStringLiteral("NoSuchControl")));
}

// Without cell tips the window's own tip on the list ("N Files") is what shows.
TEST_F(ListViewEvents, CellTipsOnlyWithTipsSwitchedOn) {
    // Info tips, label tips, whether a cell tip shows.
    const std::tuple<bool, bool, bool> cases[] = {
        {false, false, false}, {true, false, true}, {false, true, true}};
    for (const auto& [infoTips, labelTips, shown] : cases) {
        design({{QStringLiteral("InfoTips"), infoTips}, {QStringLiteral("LabelTips"), labelTips}});
        const QModelIndex size = view()->model()->index(2, 1);
        EXPECT_EQ(size.data(Qt::ToolTipRole).isValid(), shown) << infoTips << labelTips;
        if (shown) {
            EXPECT_EQ(size.data(Qt::ToolTipRole).toString(), list.list(2, 1));
        }
    }
}

TEST_F(ListViewEvents, EveryItemShowsTheFirstSmallIcon) {
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

// A change over more rows than the view measures one by one still repaints those in sight.
TEST_F(ListViewEvents, AChangeOverManyRowsRepaintsTheRowsInSight) {
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
