#include "gifview/GifFrame.h"

#include <gtest/gtest.h>

#include <QPoint>

TEST(GifFrame, FirstWrittenValuesAreKeptForReset) {
    struct Case {
        int delay, storedDelay;
    };
    for (const Case& c : {Case{0, 0}, Case{655350, 60000}, Case{-5, 0}, Case{60000, 60000}}) {
        GifFrame f;
        f.setframeDelay(c.delay);
        f.setFrameTransparentColor(7);
        f.setFrameDisposal(2);
        f.setFrameLeft(3);
        f.setFrameTop(4);
        f.setframeDelay(500);
        f.setFrameTransparentColor(8);
        f.setFrameDisposal(3);
        f.setFrameLeft(30);
        f.setFrameTop(40);
        EXPECT_EQ(f.resetFrameAttributes(-GifFrame::kDelay), c.storedDelay) << c.delay;
        EXPECT_EQ(f.resetFrameAttributes(-8), 3);
        EXPECT_EQ(f.resetFrameAttributes(-16), 4);
        EXPECT_EQ(f.resetFrameAttributes(-4), 2);
        EXPECT_EQ(f.resetFrameAttributes(-64), 0);

        GifFrame only = f;
        only.resetFrameAttributes(GifFrame::kLeft);
        EXPECT_EQ(QPoint(only.frameLeft(), only.frameTop()), QPoint(3, 40));
        EXPECT_EQ(only.frameDelay(), 500);

        f.resetFrameAttributes(31);
        EXPECT_EQ(f.frameDelay(), c.storedDelay);
        EXPECT_EQ(f.frameTransparentColor(), 7);
        EXPECT_EQ(f.frameDisposal(), 2);
        EXPECT_EQ(QPoint(f.frameLeft(), f.frameTop()), QPoint(3, 4));
    }
}

TEST(GifFrame, KeyColourOnOpaqueFrameForcesTransparencyAndResetUndoesIt) {
    GifFrame f;
    f.setFrameTransparentColor(-1);  // as loaded
    EXPECT_FALSE(f.forceTransparency());
    f.setFrameTransparentColor(0x00FF00);
    EXPECT_TRUE(f.forceTransparency());
    f.setForceTransparency(false);
    EXPECT_EQ(f.frameTransparentColor(), -1);
    f.setFrameTransparentColor(0x0000FF);
    f.resetFrameAttributes(GifFrame::kTransparency);
    EXPECT_FALSE(f.forceTransparency());
    EXPECT_EQ(f.frameTransparentColor(), -1);

    // A transparent frame given another key stays unforced.
    GifFrame t;
    t.setIsTransparent(true);
    t.setFrameTransparentColor(0x123456);
    t.setFrameTransparentColor(0x654321);
    EXPECT_FALSE(t.forceTransparency());
}
