// The window's layout as the widgets receive it (the only check of layOutBottomRow and
// layOutShotFrame), the draggable preview frame and F12.

#include "filelist/ListModel.h"
#include "launcher/ui/WindowFixture.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTreeView>

namespace {

// Where the preview frame's left edge lies, in twips as the settings store it.
int px(int twips) {
    return twipsToPixels(twips, 96);
}

TEST_F(WindowTest, LayoutAtTwoWindowSizes) {
    program("zsnes");
    start(Shown::Yes);
    struct Case {
        QWidget* control;
        QRect small, large;  // at 699 x 474 and at 1000 x 700
    };
    const Case cases[] = {
        {emulatorBox(), {0, 455, 151, 19}, {0, 681, 151, 19}},
        {commandLine(), {151, 455, 414, 19}, {151, 681, 715, 19}},
        {browseButton(), {565, 455, 21, 18}, {866, 681, 21, 18}},
        {control<QLabel>("lblCredits"), {586, 455, 113, 18}, {887, 681, 113, 18}},
        {previewFrame(), {419, 0, 280, 454}, {600, 0, 400, 680}},
        {files(), {0, 0, 419, 455}, {0, 0, 600, 681}},
    };
    for (const QSize size : {QSize(699, 474), QSize(1000, 700)}) {
        SCOPED_TRACE(size.width());
        window->resize(size);
        for (const Case& c : cases)
            EXPECT_EQ(c.control->geometry(), size.width() == 699 ? c.small : c.large)
                << c.control->metaObject()->className();
        const QRect frame = previewFrame()->geometry();
        EXPECT_EQ(picture()->geometry(), QRect(QPoint(0, 0), frame.size()));
        EXPECT_EQ(title()->width(), frame.width());
        EXPECT_EQ(control<QLabel>("lblShadow")->width(), frame.width());
        EXPECT_EQ(folderList()->geometry().top(), driveList()->height());
        EXPECT_EQ(folderList()->width(), files()->width());
    }
}

// At 1,250 pixels every column shows without sideways scrolling, the name keeping a third of
// the list (how the widths are shared is ColumnFit's).
TEST_F(WindowTest, EveryColumnShowsAndTheNameTakesTheRest) {
    program("Nestopia");
    roms({"Pac-Man.nes", "Super Mario Bros. 3 (USA) (Rev 1).nes"});
    start(Shown::Active);
    auto* view = qobject_cast<QTreeView*>(files()->currentView());
    ASSERT_TRUE(view);
    files()->model().setColumnShown(ListModel::kVerifiedColumn, true);
    QHeaderView* header = view->header();
    window->resize(1250, 700);
    QApplication::processEvents();
    ASSERT_EQ(header->count(), 8);  // all but the raw size
    int right = 0;
    for (int i = 0; i < header->count(); ++i) {
        EXPECT_GT(header->sectionSize(i), 20) << i;
        right = std::max(right, header->sectionViewportPosition(i) + header->sectionSize(i));
    }
    EXPECT_EQ(right, view->viewport()->width());
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
    EXPECT_GE(header->sectionSize(0), view->viewport()->width() / 3);
}

// A stored split is read at the next layout, brought inside the window; one that is no
// number leaves the default.
TEST_F(WindowTest, StoredSplitIsReadAtTheNextLayoutWithinTheWindow) {
    program("zsnes");
    start(Shown::Yes);
    const std::pair<const char*, int> stored[] = {{"3000", 3000}, {"2000000000", 10485},
                                                  {"-4509", 0},   {"10485", 10485},
                                                  {"0", 0},       {"left", 6291}};
    for (const auto& [text, left] : stored) {
        settings.preset("zsnes.exe", "imageleft", text);
        window->resize(700, 474);
        window->resize(699, 474);
        EXPECT_EQ(previewFrame()->x(), px(left)) << text;
        EXPECT_GE(files()->width(), 0);
    }
    window->resize(40, 10);
    // Heights would be negative: the list and the frame keep their last places.
    EXPECT_GT(files()->height(), 0);
    EXPECT_EQ(emulatorBox()->y(), 10 - 19);
}

TEST_F(WindowTest, DraggingMovesTheFrameByBandsAndStoresTheEdgeOnRelease) {
    program("zsnes");
    start(Shown::Yes);
    QFrame* frame = previewFrame();
    ASSERT_EQ(frame->x(), px(6291));

    mouse(frame, QEvent::MouseButtonPress, 100, Qt::LeftButton);
    mouse(frame, QEvent::MouseMove, 75, Qt::LeftButton);  // 5916: the band below
    EXPECT_EQ(frame->x(), px(5916));
    EXPECT_EQ(files()->width(), 394);
    mouse(frame, QEvent::MouseMove, 50, Qt::NoButton);  // no button held: no drag
    EXPECT_EQ(frame->x(), px(5916));
    EXPECT_TRUE(settings.writes().isEmpty());
    mouse(frame, QEvent::MouseButtonRelease, 75, Qt::NoButton);
    EXPECT_EQ(settings.writes(), QStringList{"set zsnes.exe imageleft=5916"});

    // Dragged far past the left edge: the frame stops at 0 and 0 is stored.
    mouse(frame, QEvent::MouseButtonPress, 100, Qt::LeftButton);
    mouse(frame, QEvent::MouseMove, -2000, Qt::LeftButton);
    EXPECT_EQ(frame->x(), 0);
    settings.log.clear();
    mouse(frame, QEvent::MouseButtonRelease, -2000, Qt::NoButton);
    EXPECT_EQ(settings.writes(), QStringList{"set zsnes.exe imageleft=0"});
}

TEST_F(WindowTest, F12TwiceReturnsToSixtyPercentNotTheDraggedEdge) {
    program("zsnes");
    settings.preset("zsnes.exe", "imageleft", "3000");
    start(Shown::Active);
    window->resize(700, 474);
    window->resize(699, 474);
    ASSERT_EQ(previewFrame()->x(), px(3000));
    QTest::keyClick(files(), Qt::Key_F12);
    EXPECT_EQ(previewFrame()->x(), 699);
    EXPECT_EQ(previewFrame()->width(), 0);
    EXPECT_EQ(files()->width(), 699);
    QTest::keyClick(commandLine(), Qt::Key_F12);
    EXPECT_EQ(previewFrame()->x(), px(6291));
}

}  // namespace
