#include "gifview/GifColors.h"

#include "gifview/GifTestKit.h"
#include "gifview/ui/GifView.h"
#include "support/Pictures.h"
#include "support/RawFiles.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <QPalette>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace giftest;

namespace {

// Four pixels, one of each colour: red green / blue white.
QByteArray quad() {
    return withSecondFrame(
        GifBuilder(2, 2, fourColours()).control(0, 10).image(0, 0, 2, 2, {0, 1, 2, 3}));
}

// The view's events in the order raised: P(rogress), C(omplete), E(xpired), property names.
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

QRgb buttonFace() {
    return QGuiApplication::palette().color(QPalette::Button).rgb();
}

}  // namespace

// Names by their bytes (not UTF-8, upper-case extension); a refused load keeps what is shown.
TEST(GifView, LoadsGoToTheGifOrTheImageBoxAndRefusedOnesKeepWhatIsShown) {
    ViewFixture f;
    const raw::RemoveTree cleanup(f.folder.path());
    const auto write = [&](const QByteArray& name, const QByteArray& content) {
        const QString path = f.folder.path() + "/" + platform::decodeName(name);
        EXPECT_TRUE(raw::write(path, content));
        return path;
    };
    Recorder changed(f.view);
    const QByteArray gif = frames(2);
    const QString two = write("\xe9t\xe9.GIF", gif);
    f.view.setgifFileName(two);
    EXPECT_EQ(changed.events, QStringList{"gifFileName"});
    EXPECT_FALSE(f.view.staticPictureVisible());
    EXPECT_EQ(f.view.gifVersion(), "gif89a");
    for (const QString& refused :
         {write("cut.gif", gif.chopped(1)), write("short.gif", gif.left(19)),
          write("bad.png", "not a picture at all, sorry"), f.folder.file("missing.gif"),
          QString()}) {
        EXPECT_FALSE(f.view.loadGif(refused)) << refused.toStdString();
        EXPECT_EQ(f.view.gifFrameCount(), 2);
        EXPECT_EQ(f.view.gifFileName(), two);
    }
    f.tick(3);  // frames are read from the open file as they are drawn
    EXPECT_EQ(f.view.document().frameImage(2).pixel(0, 0), kGreen);
    f.view.setgifFileName(QString());
    EXPECT_EQ(f.view.gifFileName(), "{none}");
    EXPECT_EQ(f.view.gifFrameCount(), 0);
    EXPECT_FALSE(f.view.document().isOpen());

    ASSERT_TRUE(f.view.loadGif(write("\xff.gif", frames(1))));
    EXPECT_EQ(f.view.gifFrameCount(), 1);
    EXPECT_TRUE(f.view.staticPictureVisible());
    EXPECT_EQ(f.view.gifVersion(), "      ");
    EXPECT_EQ(f.view.staticPicture().size(), QSize(2, 2));
    f.view.setAnimate(true);
    EXPECT_FALSE(f.view.animate());

    const QString pngFile = write("caf\xe9.png", encodedPicture(QSize(5, 4), Qt::yellow));
    ASSERT_TRUE(f.view.loadGif(pngFile));
    EXPECT_EQ(f.view.staticPicture().size(), QSize(5, 4));
    EXPECT_EQ(f.view.gifFileName(), pngFile);
    // The GIF shown before is gone with its file, so it cannot be saved as this picture.
    EXPECT_EQ(f.view.gifFrameCount(), 0);
    EXPECT_FALSE(f.view.document().isOpen());
}

TEST(GifView, StretchModesScaleAndPlacePixels) {
    // The 2×2 quad on a client of the given size, then on a 1×12 client.
    const QRgb magenta = qRgb(255, 0, 255);
    using Pixels = std::vector<std::pair<QPoint, QRgb>>;
    // Stretched to 4×6, each source pixel covers 2×3.
    const Pixels full = {
        {{0, 0}, kRed}, {{1, 2}, kRed}, {{3, 0}, kGreen}, {{0, 5}, kBlue}, {{2, 3}, kWhite}};
    struct Case {
        int stretch, method;
        QSize client;
        QPointF scale, scaleAfter;
        Pixels pixels;
    };
    const Case cases[] = {
        {0, 0, {8, 4}, {1, 1}, {1, 1}, {{{1, 1}, kWhite}, {{2, 0}, magenta}}},
        {1, 0, {8, 4}, {2, 2}, {0.5, 0.5}, {{{0, 0}, kRed}, {{3, 3}, kWhite}, {{5, 1}, magenta}}},
        {2, 0, {4, 6}, {2, 3}, {0.5, 6}, full},
        {2, 1, {4, 6}, {2, 3}, {0.5, 6}, full},
    };
    for (const Case& c : cases) {
        ViewFixture f(c.client);
        f.fixed(c.stretch, c.method);
        f.view.setBackColor(colourValue(magenta));
        ASSERT_TRUE(f.load(quad()));
        EXPECT_EQ(QPointF(f.view.scaleX(), f.view.scaleY()), c.scale) << c.stretch;
        for (const auto& [at, colour] : c.pixels)
            EXPECT_EQ(f.pixel(at.x(), at.y()), colour) << c.stretch << c.method << at.x() << at.y();
        f.host.setClient(QSize(1, 12));
        f.view.relayout();
        EXPECT_EQ(QPointF(f.view.scaleX(), f.view.scaleY()), c.scaleAfter) << c.stretch;
    }
}

TEST(GifView, PropertyWritesOutsideTheirRangeChangeNothing) {
    ViewFixture f;
    f.fixed(2);
    f.view.setStretch(3);
    f.view.setStretch(-1);
    EXPECT_EQ(f.view.stretch(), 2);
    f.view.setStretchMethod(2);
    EXPECT_EQ(f.view.stretchMethod(), 0);
    for (const int style : {2, 4, 2})
        f.view.setBorderStyle(style);
    EXPECT_EQ(f.view.borderStyle(), 2);
    EXPECT_EQ(f.host.borderStyles, QList<int>{2});
    // Writing AutoSize drops the stretch mode.
    f.view.setAutoSize(true);
    EXPECT_EQ(f.view.stretch(), 0);
}

TEST(GifView, AutoSizeAsksForTheGifsSizeOnceAndDrawsAtTheSizeKept) {
    for (bool hostKeepsItsSize : {false, true}) {
        ViewFixture f(QSize(40, 40));
        if (hostKeepsItsSize) {
            f.host.onResize = [&f] {
                f.host.setClient(QSize(40, 40));  // a layout that puts the control back
                f.view.relayout();
            };
        }
        ASSERT_TRUE(f.load(frames(3, -1, 6, 4)));
        EXPECT_EQ(f.host.resizes, QList<QSize>{QSize(6, 4)}) << hostKeepsItsSize;
        EXPECT_EQ(f.view.surface().size(), hostKeepsItsSize ? QSize(40, 40) : QSize(6, 4));
        EXPECT_EQ(f.pixel(5, 3), kRed) << hostKeepsItsSize;
    }
}

TEST(GifView, HugeLogicalScreenDoesNotMakeHugeSurfaces) {
    ViewFixture f(QSize(50, 40));
    // 40-odd bytes that name a 32767 × 32767 screen and ask for a save-under copy.
    ASSERT_TRUE(f.load(patches(32767, 32767, {{3, 5, {0, 0, 2, 2}, 0}, {0, 5, {0, 0, 2, 2}, 1}})));
    EXPECT_EQ(f.host.clientSize(), QSize(GifViewCore::kMaxAutoSize, GifViewCore::kMaxAutoSize));
    EXPECT_TRUE(f.view.hasWorkSurface());
    EXPECT_LE(f.view.saveUnder().width(), GifViewCore::kMaxAutoSize);
    EXPECT_LE(f.view.saveUnder().height(), GifViewCore::kMaxAutoSize);
    EXPECT_EQ(f.pixel(1, 1), kRed);
}

// Table: 0 black (the transparent index), 1 white, 2 red, 3 black again.
TEST(GifView, MaskPathKeepsOrPunchesPixelsByTheFramesKey) {
    const std::vector<QRgb> palette = {kBlack, kWhite, kRed, kBlack};
    struct Case {
        const char* name;
        int transparentIndex;
        int hostKey;  // -2: none written; else written by the host
        QRgb want[4];
    };
    const Case cases[] = {
        {"own transparency keyed on black", 0, -2, {kGreen, kWhite, kRed, kBlack}},
        {"forced, keyed on black", -1, 0, {kGreen, kWhite, kRed, kGreen}},
        {"forced, key from the top-left pixel", -1, -1, {kGreen, kWhite, kRed, kGreen}},
        {"forced, keyed on red", -1, 0x0000FF, {kBlack, kWhite, kGreen, kBlack}},
        {"opaque frame", -1, -2, {kBlack, kWhite, kRed, kBlack}},
    };
    for (const Case& c : cases) {
        ViewFixture f(QSize(4, 2));
        f.fixed(2, 1);
        f.view.setBackColor(colourValue(kGreen));
        ASSERT_TRUE(f.load(withSecondFrame(GifBuilder(2, 2, palette)
                                               .control(0, 5, c.transparentIndex)
                                               .image(0, 0, 2, 2, {0, 1, 2, 3}))));
        if (c.hostKey == -1) f.view.frame(1)->setForceTransparency(true);
        if (c.hostKey >= 0) f.view.frame(1)->setFrameTransparentColor(c.hostKey);
        f.view.showFrame(1);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(f.pixel((i % 2) * 2 + 1, i / 2), c.want[i]) << c.name << " pixel " << i;
    }
}

TEST(GifView, BackColourFillsTheEmptyControlAndShowsThroughTransparency) {
    ViewFixture f(QSize(3, 3));
    f.view.setBackColor(0x0000FF);
    EXPECT_EQ(f.pixel(2, 2), kRed);
    f.view.setBackColor(GifViewCore::kButtonFace);
    EXPECT_EQ(f.pixel(0, 0), buttonFace());
    ASSERT_TRUE(f.load(withSecondFrame(
        GifBuilder(2, 1, fourColours()).control(0, 5, 1).image(0, 0, 2, 1, {0, 1}))));
    EXPECT_EQ(f.pixel(0, 0), kRed);
    EXPECT_EQ(f.pixel(1, 0), buttonFace());
}

TEST(GifView, FittingTheLogicalScreenKeepsItsShape) {
    ViewFixture f;
    f.fixed(0);
    ASSERT_TRUE(f.load(
        withSecondFrame(GifBuilder(100, 50, fourColours()).control(0, 5).image(0, 0, 1, 1, {0}))));
    int w = 300, h = 100;
    bool flag = false;
    qint32 border = -1;
    f.view.fitLogicalScreen(w, h, flag, border);
    EXPECT_EQ(QSize(w, h), QSize(200, 100));
    EXPECT_TRUE(flag);
    EXPECT_EQ(border, 0);
    w = 25;
    h = 100;
    f.view.fitLogicalScreen(w, h, flag, border);
    EXPECT_EQ(QSize(w, h), QSize(25, 12));  // 12.5 rounds to the even neighbour
    EXPECT_FALSE(flag);
    for (const auto& [value, want] : {std::pair{13.5, 14}, {-0.5, 0}})
        EXPECT_EQ(roundHalfEven(value), want) << value;
}

// Design values embedding a GIF: its copy takes the first free number in the folder.
TEST(GifPersist, EmbeddedFileComesBackAnimating) {
    const QByteArray gif = frames(2, 4, 3, 2);
    const auto data = [](const QByteArray& b) {
        return QJsonObject{{"bytes", QString::fromLatin1(b.toBase64())}};
    };
    const platform::PropertyBag stored(QJsonObject{{"animate", 9},
                                                   {"nrLoops", 4},
                                                   {"bkColor", 0x123456},
                                                   {"minDelay", 20},
                                                   {"fileLen", gif.size() - 1},
                                                   {"fileData", data(gif)}});
    ViewFixture g;
    for (const char* taken : {"~tLV(0).gif", "~tLV(1).gif", "~tLV(3).gif"})
        g.folder.write(taken, "someone else's");
    g.view.readProperties(stored);
    const QString copy = g.folder.file("~tLV(2).gif");
    EXPECT_TRUE(QFileInfo::exists(copy));
    EXPECT_EQ(g.view.gifFileName(), copy);
    EXPECT_TRUE(g.view.animate());
    EXPECT_EQ(g.view.backColor(), 0x123456);
    EXPECT_EQ(g.view.gifMinFrameDelay(), 20);
    EXPECT_EQ(g.view.gifMaxLoops(), 4);
    // The copy goes with the GIF: on loading another, on unloading, with the control.
    ASSERT_TRUE(g.load(frames(2), "next.gif"));
    EXPECT_FALSE(QFileInfo::exists(copy));
    g.view.readProperties(stored);
    EXPECT_TRUE(QFileInfo::exists(copy));
    g.view.unloadGif();
    EXPECT_FALSE(QFileInfo::exists(copy));
    {
        ViewFixture other;
        other.view.setApplicationFolder(g.folder.path());
        other.view.readProperties(stored);
        EXPECT_TRUE(QFileInfo::exists(copy));
    }
    EXPECT_FALSE(QFileInfo::exists(copy));
    // Embedded data that does not load leaves no file behind.
    g.view.readProperties(platform::PropertyBag(
        QJsonObject{{"fileLen", 24}, {"fileData", data("GIF89a but nothing after")}}));
    EXPECT_EQ(g.view.gifFrameCount(), 0);
    EXPECT_EQ(raw::names(g.folder.path()).size(), 4);
    EXPECT_EQ(g.folder.read("~tLV(0).gif"), "someone else's");
}

TEST(GifPersist, StoredTextRestoresWithoutAskingForAResize) {
    struct Case {
        const char* json;
        int stretch, minDelay;
    };
    const Case cases[] = {
        // The main window's design values.
        {R"({"autoSize": false, "bkColor": 0, "Stretch": 2, "scaleFactor": 2})", 2, 50},
        // A minimum delay below 5 is raised.
        {R"({"autoSize": false, "minDelay": -3})", 0, 5},
        {R"({"autoSize": false, "minDelay": 4})", 0, 5},
    };
    for (const Case& c : cases) {
        ViewFixture f(QSize(40, 20));
        f.view.readProperties(platform::PropertyBag::fromJson(c.json));
        EXPECT_FALSE(f.view.autoSize()) << c.json;
        EXPECT_EQ(f.view.stretch(), c.stretch) << c.json;
        EXPECT_EQ(f.view.gifMinFrameDelay(), c.minDelay) << c.json;
        ASSERT_TRUE(f.load(frames(2, -1, 3, 2)));
        EXPECT_TRUE(f.host.resizes.isEmpty()) << c.json;
        EXPECT_FLOAT_EQ(f.view.scaleX(), c.stretch ? 40.0f / 3 : 1) << c.json;
        EXPECT_FLOAT_EQ(f.view.scaleY(), c.stretch ? 10.0f : 1) << c.json;
    }
}

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

TEST(GifView, BorderStylesAndAutoSizeSizeTheWidget) {
    for (const auto& [style, border] : {std::pair{0, 0}, {1, 2}, {2, 4}, {3, 4}}) {
        GifView w;
        w.setBorderStyle(style);
        ASSERT_TRUE(w.loadGifBytes(frames(2, -1, 6, 4), "a.gif"));
        EXPECT_EQ(w.size(), QSize(6 + border, 4 + border)) << style;
    }
}

TEST(GifView, ShowsTheSurfaceInsideItsBorderAndRaisesTheEvents) {
    GifView w;
    w.setBorderStyle(1);
    w.setAutoSize(false);
    w.setStretch(2);
    w.resize(14, 10);
    w.show();
    const QByteArray gif = patches(6, 4, {{1, 10, {0, 0, 6, 4}, 2}, {1, 10, {0, 0, 3, 2}, 0}});
    ASSERT_TRUE(w.loadGifBytes(gif, "a.gif"));
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
    const QByteArray gif =
        GifBuilder(2, 1, fourColours()).control(0, 5).image(0, 0, 2, 1, {0, 2}).bytes();
    for (int stretch : {0, 2}) {
        GifView w;
        w.setAutoSize(false);
        w.setBackColor(0);
        w.setStretch(stretch);
        w.resize(8, 4);
        ASSERT_TRUE(w.loadGifBytes(gif, "one.gif"));
        const QImage shot = w.grab().toImage();
        EXPECT_EQ(shot.pixel(0, 0) | 0xFF000000u, kRed) << stretch;
        EXPECT_EQ(shot.pixel(7, 3) | 0xFF000000u, stretch ? kBlue : kBlack) << stretch;
    }
}
