#include "gifview/GifTestKit.h"
#include "gifview/ui/GifView.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace giftest;

TEST(GifView, BorderStylesAndAutoSizeSizeTheWidget) {
    TempFolder dir;
    const QString file = dir.write("a.gif", frames(2, -1, 6, 4));
    for (const auto& [style, border] : {std::pair{0, 0}, {1, 2}, {2, 4}, {3, 4}}) {
        GifView w;
        w.setBorderStyle(style);
        ASSERT_TRUE(w.loadGif(file));
        EXPECT_EQ(w.size(), QSize(6 + border, 4 + border)) << style;
    }
}

TEST(GifView, ShowsTheSurfaceInsideItsBorderAndRaisesTheEvents) {
    TempFolder dir;
    GifView w;
    w.setBorderStyle(1);
    w.setAutoSize(false);
    w.setStretch(2);
    w.resize(14, 10);
    w.show();
    ASSERT_TRUE(w.loadGif(dir.write("a.gif", GifBuilder(6, 4, fourColours())
                                                 .control(1, 10)
                                                 .image(0, 0, 6, 4, solid(6, 4, 2))
                                                 .control(1, 10)
                                                 .image(0, 0, 3, 2, solid(3, 2, 0))
                                                 .bytes())));
    QSignalSpy progress(&w, &GifView::animationProgress);
    w.setAnimate(true);
    w.view().advanceAnimation();
    w.view().advanceAnimation();
    ASSERT_EQ(progress.count(), 2);
    EXPECT_EQ(progress.at(1).at(0).toInt(), 2);
    const QImage shot = w.grab().toImage();
    EXPECT_EQ(shot.pixel(1, 1) | 0xFF000000u, kRed);    // frame 2, scaled 2×
    EXPECT_EQ(shot.pixel(12, 8) | 0xFF000000u, kBlue);  // frame 1 still there
    EXPECT_NE(shot.pixel(0, 0) | 0xFF000000u, kRed);    // the border line
    w.unloadGif(true);
    EXPECT_FALSE(w.animate());
}

TEST(GifView, StaticPictureFillsTheControlOnlyWhenStretching) {
    TempFolder dir;
    const QString file = dir.write(
        "one.gif", GifBuilder(2, 1, fourColours()).control(0, 5).image(0, 0, 2, 1, {0, 2}).bytes());
    for (int stretch : {0, 2}) {
        GifView w;
        w.setAutoSize(false);
        w.setBackColor(0);
        w.setStretch(stretch);
        w.resize(8, 4);
        ASSERT_TRUE(w.loadGif(file));
        const QImage shot = w.grab().toImage();
        EXPECT_EQ(shot.pixel(0, 0) | 0xFF000000u, kRed) << stretch;
        EXPECT_EQ(shot.pixel(7, 3) | 0xFF000000u, stretch ? kBlue : kBlack) << stretch;
    }
}
