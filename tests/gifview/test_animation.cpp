#include "gifview/GifTestKit.h"

#include <gtest/gtest.h>

using namespace giftest;

namespace {

struct Recorder {
    explicit Recorder(GifViewCore& v) {
        QObject::connect(&v, &GifViewCore::animationProgress,
                         [this](int i) { events << QStringLiteral("P%1").arg(i); });
        QObject::connect(&v, &GifViewCore::animationLoopComplete,
                         [this](int i) { events << QStringLiteral("C%1").arg(i); });
        QObject::connect(&v, &GifViewCore::animationLoopExpired,
                         [this] { events << QStringLiteral("E"); });
        QObject::connect(&v, &GifViewCore::propertyChanged,
                         [this](const QString& name) { events << name; });
    }
    QStringList events;
};

}  // namespace

// Loops play out or a handler stops them; the last frame stays, design mode shows the first.
TEST(GifAnimation, LoopsPlayOutWithTheirEvents) {
    enum Stop { Never, OnSecondFrame, OnLoopEnd };  // a handler's
    struct Case {
        const char* name;
        int loopsInFile;
        bool userMode;
        int ticks;           // until it stopped; 0: not within 100 ticks
        QStringList events;  // checked when given
        Stop stop = Never;
    };
    // clang-format off
    const Case cases[] = {
        {"three loops", 3, true, 7, {"P1", "P2", "C2", "P1", "P2", "C1", "P1", "P2", "E"}},
        {"endless in the file", 0, true, 0, {}},
        {"no looping block", -1, true, 0, {}},
        {"one loop", 1, true, 3, {}},
        {"design mode stops after ten loops", 0, false, 21, {}},
        {"stopped on a frame in design mode, said", 0, false, 2, {"P1", "P2", "Animate"},
         OnSecondFrame},
        {"stopped at a loop's end", 3, true, 3, {"P1", "P2", "C2"}, OnLoopEnd},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewFixture f;
        f.view.setUserMode(c.userMode);
        ASSERT_TRUE(f.load(frames(2, c.loopsInFile)));
        f.view.setAnimate(true);
        EXPECT_EQ(f.view.animationTimer().interval(), 1);
        Recorder r(f.view);
        const auto stop = [&f] { f.view.setAnimate(false); };
        if (c.stop == OnLoopEnd)
            QObject::connect(&f.view, &GifViewCore::animationLoopComplete, stop);
        if (c.stop == OnSecondFrame) {
            QObject::connect(&f.view, &GifViewCore::animationProgress, [stop](int i) {
                if (i == 2) stop();
            });
        }
        int ticks = 0;
        for (; f.view.animate() && ticks < 100; ++ticks)
            f.tick();
        EXPECT_EQ(r.events.count("E"), c.ticks && c.stop == Never ? 1 : 0);
        if (c.ticks) {
            EXPECT_EQ(ticks, c.ticks);
            EXPECT_FALSE(f.view.animationTimer().isActive());
            EXPECT_EQ(f.pixel(0, 0), c.userMode ? kGreen : kRed);
        }
        if (!c.events.isEmpty()) {
            EXPECT_EQ(r.events, c.events);
        }
    }
}

TEST(GifAnimation, IntervalsPausesAndClamps) {
    ViewFixture f;
    ASSERT_TRUE(f.load(frames(3, 0, 2, 2, 1, 0)));
    f.view.frame(2)->setframeDelay(53);
    f.view.frame(3)->setframeDelay(700);
    f.view.setAnimate(true);
    f.tick();
    EXPECT_EQ(f.view.animationTimer().interval(), 50);  // delay 0 waits the minimum
    f.view.pauseAnimation(false);
    EXPECT_EQ(f.view.animationTimer().interval(), 26);
    EXPECT_FALSE(f.view.animationTimer().isActive());
    EXPECT_TRUE(f.view.animate());
    f.view.pauseAnimation(true);
    EXPECT_TRUE(f.view.animationTimer().isActive());
    f.tick();
    EXPECT_EQ(f.view.animationTimer().interval(), 53);
    f.view.pauseAnimation(false);
    EXPECT_EQ(f.view.animationTimer().interval(), 28);
    f.tick();
    EXPECT_EQ(f.view.animationTimer().interval(), 700);

    // Out of range: below -1 means once; past the 16-bit field keeps what was there.
    for (const auto& [asked, kept] : {std::pair{-5, 1}, {-1, -1}, {32767, 32767}, {32768, 32767}})
        EXPECT_EQ(f.view.setgifMaxLoops(asked), kept) << asked;
    EXPECT_EQ(f.view.setgifMinFrameDelay(2), 5);

    // Pausing a stopped animation does nothing.
    f.view.setAnimate(false);
    f.view.pauseAnimation(true);
    EXPECT_FALSE(f.view.animationTimer().isActive());
}

TEST(GifAnimation, DisposalMethodsOnTheSurfaceWithAndWithoutTheFrameCache) {
    // Red 4×4, green 2×2 at (2,2), blue pixel at (0,0): frame 2's disposal decides what stays.
    for (bool cached : {true, false}) {
        for (const auto& [disposal2, left] :
             {std::pair{1, kGreen}, {2, kBlack}, {3, kRed}, {0, kGreen}}) {
            ViewFixture f;
            f.view.setBackColor(0);
            ASSERT_TRUE(f.load(patches(4, 4,
                                       {{1, 10, {0, 0, 4, 4}, 0},
                                        {disposal2, 10, {2, 2, 2, 2}, 1},
                                        {1, 10, {0, 0, 1, 1}, 2}})));
            if (!cached) f.view.document().setCacheBudget(0);
            f.view.setAnimate(true);
            f.tick(2);
            EXPECT_EQ(f.pixel(2, 2), kGreen);
            f.tick();
            EXPECT_EQ(f.pixel(0, 0), kBlue) << disposal2 << cached;
            EXPECT_EQ(f.pixel(2, 2), left) << disposal2 << cached;
            EXPECT_EQ(f.pixel(3, 3), left) << disposal2 << cached;
            EXPECT_EQ(f.pixel(1, 1), kRed) << disposal2 << cached;
            // The next loop starts over with frame 1 alone.
            f.tick();
            EXPECT_EQ(f.pixel(0, 0), kRed);
            EXPECT_EQ(f.pixel(3, 3), kRed);
        }
    }
}

TEST(GifAnimation, ClearedAreasShowTheCustomBackgroundUntilItIsRemoved) {
    ViewFixture f;
    ASSERT_TRUE(f.load(patches(4, 4, {{2, 10, {0, 0, 2, 2}, 0}, {1, 10, {2, 2, 2, 2}, 1}})));
    f.view.beginCustomBackground()->fill(Qt::yellow);
    f.view.commitCustomBackground();
    EXPECT_TRUE(f.view.hasBackBuffer());
    f.view.setAnimate(true);
    f.tick();
    EXPECT_EQ(f.pixel(0, 0), kRed);
    EXPECT_EQ(f.pixel(3, 3), kYellow);
    f.tick();  // frame 1 is disposed of to the background, frame 2 drawn
    EXPECT_EQ(f.pixel(0, 0), kYellow);
    EXPECT_EQ(f.pixel(3, 3), kGreen);
    f.view.removeCustomBackground();
    EXPECT_FALSE(f.view.hasBackBuffer());
    f.view.showFrame(1);
    EXPECT_NE(f.pixel(3, 3), kYellow);
}

TEST(GifAnimation, FrameSetEdits) {
    ViewFixture f;
    f.fixed(0);
    ASSERT_TRUE(f.load(patches(120, 80,
                               {{0, 0, {0, 0, 120, 80}, 0},
                                {0, 10, {20, 10, 30, 30}, 0, 1},
                                {0, 3, {0, 0, 10, 10}, 0, 1}})));
    EXPECT_EQ(f.view.gifAnimationTime(), 50 + 100 + 50);
    EXPECT_EQ(f.view.gifTransparencyState(), 2);

    ASSERT_TRUE(f.view.cropGif(100, 80));
    EXPECT_EQ(f.view.gifLogicalWindowCx(), 100);
    EXPECT_EQ(f.view.frame(1)->frameLeft(), -10);
    EXPECT_EQ(QPoint(f.view.frame(2)->frameLeft(), f.view.frame(2)->frameTop()), QPoint(10, 10));
    EXPECT_FALSE(f.view.cropGif(0, 80));

    bool resized = false;
    EXPECT_TRUE(f.view.moveFrame(2, 200, 5, &resized));
    EXPECT_TRUE(resized);
    EXPECT_EQ(f.view.gifLogicalWindowCx(), 230);
    EXPECT_EQ(f.view.frame(2)->resetFrameAttributes(-8), 20);
    EXPECT_TRUE(f.view.moveFrame(2, 32768, -32769));  // beyond 16 bits: the frame stays
    EXPECT_EQ(QPoint(f.view.frame(2)->frameLeft(), f.view.frame(2)->frameTop()), QPoint(200, 5));
    EXPECT_FALSE(f.view.moveFrame(4, 0, 0));

    EXPECT_FALSE(f.view.removeFrame(0));
    EXPECT_FALSE(f.view.removeFrame(4));
    EXPECT_TRUE(f.view.removeFrame(1, &resized));
    EXPECT_TRUE(f.view.removeFrame(1));
    EXPECT_EQ(f.view.gifFrameCount(), 1);
    EXPECT_EQ(f.view.gifTransparencyState(), 1);
    EXPECT_FALSE(f.view.removeFrame(1));  // the last frame stays
    f.view.frame(1)->setIsTransparent(false);
    EXPECT_EQ(f.view.gifTransparencyState(), 0);
}

TEST(GifAnimation, RemovingFramesUnderARunningAnimationEndsTheLoop) {
    ViewFixture f;
    ASSERT_TRUE(f.load(frames(4, 2)));
    Recorder r(f.view);
    f.view.setAnimate(true);
    f.tick(3);
    ASSERT_TRUE(f.view.removeFrame(4));
    ASSERT_TRUE(f.view.removeFrame(3));
    f.tick();
    EXPECT_EQ(r.events, QStringList({"P1", "P2", "P3", "C1", "P1"}));
}
