// The window's layout as the widgets receive it (the only check of LayOutBottomRow and
// LayOutShotFrame), the draggable preview frame and F12.

#include "launcher/ui/PictureBox.h"
#include "launcher/ui/WindowFixture.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

QRect px(const TwipRect& r) {
    const int left = TwipsToPixels(r.left, 96), top = TwipsToPixels(r.top, 96);
    return {left, top, TwipsToPixels(r.left + r.width, 96) - left,
            TwipsToPixels(r.top + r.height, 96) - top};
}

TEST_F(WindowTest, LayoutAtTwoWindowSizes) {
    program("zsnes");
    start(Shown::Yes);
    struct Case {
        QWidget* control;
        QRect small, large;  // at 699 x 474 and at 1000 x 700
    };
    const Case cases[] = {
        {window->m_emulatorBox, {0, 455, 151, 19}, {0, 681, 151, 19}},
        {window->m_commandLine, {151, 455, 414, 19}, {151, 681, 715, 19}},
        {window->m_browseButton, {565, 455, 21, 18}, {866, 681, 21, 18}},
        {window->m_credits, {586, 455, 113, 18}, {887, 681, 113, 18}},
        {window->m_previewFrame, {419, 0, 280, 454}, {600, 0, 400, 680}},
        {window->m_fileList, {0, 0, 419, 455}, {0, 0, 600, 681}},
    };
    for (const QSize size : {QSize(699, 474), QSize(1000, 700)}) {
        SCOPED_TRACE(size.width());
        window->resize(size);
        for (const Case& c : cases)
            EXPECT_EQ(c.control->geometry(), size.width() == 699 ? c.small : c.large)
                << c.control->metaObject()->className();
        const QRect frame = window->m_previewFrame->geometry();
        EXPECT_EQ(window->m_picture->geometry(), QRect(QPoint(0, 0), frame.size()));
        EXPECT_EQ(window->m_title->width(), frame.width());
        EXPECT_EQ(window->m_titleShadow->width(), frame.width());
        EXPECT_EQ(px(window->twips(window->m_previewFrame)), frame);
        EXPECT_EQ(window->m_folderList->geometry().top(), window->m_driveList->height());
        EXPECT_EQ(window->m_folderList->width(), window->m_fileList->width());
    }
}

// A stored split outside the window is brought inside it when read.
TEST_F(WindowTest, StoredSplitIsKeptWithinTheWindowWhenRead) {
    program("zsnes");
    const std::pair<const char*, int> stored[] = {
        {"2000000000", 10485}, {"-4509", 0}, {"10485", 10485}, {"0", 0}};
    for (const auto& [text, left] : stored) {
        settings.preset("zsnes.exe", "imageleft", text);
        start(Shown::Yes);
        window->resize(699, 474);
        window->layOutControls();
        EXPECT_EQ(window->twips(window->m_previewFrame).left, left) << text;
        EXPECT_GE(window->m_fileList->width(), 0);
    }
}

TEST_F(WindowTest, StoredSplitAppliesFromTheNextLayoutAndTinyWindowsKeepTheirPlaces) {
    program("zsnes");
    settings.preset("zsnes.exe", "imageleft", "3000");
    start(Shown::Yes);
    window->resize(700, 474);
    EXPECT_EQ(window->twips(window->m_previewFrame).left, 3000);

    settings.preset("zsnes.exe", "imageleft", "left");
    window->resize(699, 474);
    EXPECT_EQ(window->twips(window->m_previewFrame).left, 6291);

    window->resize(40, 10);
    // Heights would be negative: the list and the frame keep their last places.
    EXPECT_GT(window->m_fileList->height(), 0);
    EXPECT_EQ(window->m_emulatorBox->y(), 10 - 19);
}

TEST_F(WindowTest, DraggingMovesTheFrameByBandsAndStoresTheEdgeOnRelease) {
    program("zsnes");
    start(Shown::Yes);
    QFrame* frame = window->m_previewFrame;
    ASSERT_EQ(window->twips(frame).left, 6291);

    mouse(frame, QEvent::MouseButtonPress, 100, Qt::LeftButton);
    EXPECT_EQ(window->m_previewDragStartX, 1500);
    mouse(frame, QEvent::MouseMove, 75, Qt::LeftButton);  // 5916: the band below
    EXPECT_EQ(window->twips(frame).left, 5916);
    EXPECT_EQ(window->m_fileList->width(), 394);
    mouse(frame, QEvent::MouseMove, 50, Qt::NoButton);  // no button held: no drag
    EXPECT_EQ(window->twips(frame).left, 5916);
    EXPECT_TRUE(settings.writes().isEmpty());
    mouse(frame, QEvent::MouseButtonRelease, 75, Qt::NoButton);
    EXPECT_EQ(settings.writes(), QStringList{"set zsnes.exe imageleft=5916"});

    // Dragged far past the left edge: the frame stops at 0 and 0 is stored.
    mouse(frame, QEvent::MouseButtonPress, 100, Qt::LeftButton);
    mouse(frame, QEvent::MouseMove, -2000, Qt::LeftButton);
    EXPECT_EQ(window->twips(frame).left, 0);
    settings.log.clear();
    mouse(frame, QEvent::MouseButtonRelease, -2000, Qt::NoButton);
    EXPECT_EQ(settings.writes(), QStringList{"set zsnes.exe imageleft=0"});

    // A frame already outside the window when a drag ends comes back inside it.
    window->placePreviewFrame(-4509, true);
    settings.log.clear();
    mouse(frame, QEvent::MouseButtonPress, 10, Qt::LeftButton);
    mouse(frame, QEvent::MouseButtonRelease, 10, Qt::NoButton);
    EXPECT_EQ(window->twips(frame).left, 0);
    EXPECT_EQ(settings.writes(), QStringList{"set zsnes.exe imageleft=0"});
}

TEST_F(WindowTest, F12TwiceReturnsToSixtyPercentNotTheDraggedEdge) {
    program("zsnes");
    start(Shown::Active);
    window->placePreviewFrame(3000, true);
    QTest::keyClick(window->m_fileList, Qt::Key_F12);
    EXPECT_EQ(window->twips(window->m_previewFrame).left, 10485);
    EXPECT_EQ(window->m_previewFrame->width(), 0);
    EXPECT_EQ(window->m_fileList->width(), 699);
    QTest::keyClick(window->m_commandLine, Qt::Key_F12);
    EXPECT_EQ(window->twips(window->m_previewFrame).left, 6291);
}

}  // namespace
