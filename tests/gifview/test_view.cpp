#include "GifTestKit.h"
#include "gifview/GifColors.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

using namespace giftest;

namespace {

// Four pixels, one of each colour: red green / blue white.
QByteArray quad() {
    return GifBuilder(2, 2, fourColours()).control(0, 10).image(0, 0, 2, 2, {0, 1, 2, 3}).bytes();
}

}  // namespace

TEST(GifView, SingleFrameAndOtherPicturesGoToTheImageBox) {
    ViewFixture f;
    // Upper-case extension is still walked as a GIF.
    ASSERT_TRUE(f.load(GifBuilder(3, 3, fourColours())
                           .control(0, 5)
                           .image(0, 0, 3, 3, solid(3, 3, 0))
                           .control(0, 5)
                           .image(0, 0, 3, 3, solid(3, 3, 1))
                           .bytes(),
                       "A.GIF"));
    EXPECT_EQ(f.view.gifFrameCount(), 2);
    EXPECT_FALSE(f.view.image1Visible());
    EXPECT_EQ(f.view.gifVersion(), "gif89a");

    ASSERT_TRUE(f.load(quad(), "one.gif"));
    EXPECT_EQ(f.view.gifFrameCount(), 1);
    EXPECT_TRUE(f.view.image1Visible());
    EXPECT_EQ(f.view.gifVersion(), "      ");
    EXPECT_EQ(f.view.gifMaxLoops(), -1);
    EXPECT_EQ(f.view.image1Picture().size(), QSize(2, 2));

    QImage png(5, 4, QImage::Format_RGB32);
    png.fill(Qt::yellow);
    const QString pngFile = f.folder.file("shot.png");
    ASSERT_TRUE(png.save(pngFile));
    ASSERT_TRUE(f.view.LoadGIF(pngFile));
    EXPECT_EQ(f.view.image1Picture().size(), QSize(5, 4));
    EXPECT_EQ(f.view.gifFileName(), pngFile);
    // The GIF shown before is gone with its file, so it cannot be saved as this picture.
    EXPECT_EQ(f.view.gifFrameCount(), 0);
    EXPECT_FALSE(f.view.document().isOpen());
}

TEST(GifView, RefusedLoadsKeepTheShownGif) {
    ViewFixture f;
    const QByteArray two = GifBuilder(2, 2, fourColours())
                               .control(0, 5)
                               .image(0, 0, 2, 2, solid(2, 2, 0))
                               .control(0, 5)
                               .image(0, 0, 2, 2, solid(2, 2, 1))
                               .bytes();
    ASSERT_TRUE(f.load(two, "good.gif"));
    QByteArray cut = two;
    cut.chop(1);
    const QString cases[] = {
        f.write("cut.gif", cut),
        f.write("short.gif", two.left(19)),
        f.write("bad.png", "not a picture at all, sorry"),
        f.folder.file("missing.gif"),
        QString(),
    };
    for (const QString& name : cases) {
        EXPECT_FALSE(f.view.LoadGIF(name)) << name.toStdString();
        EXPECT_EQ(f.view.gifFrameCount(), 2);
        EXPECT_EQ(f.view.gifFileName(), f.folder.file("good.gif"));
    }
    f.view.UnloadGIF();
    EXPECT_EQ(f.view.gifFileName(), "{none}");
    EXPECT_EQ(f.view.gifFrameCount(), 0);
}

TEST(GifView, ScaleFactorsFollowStretch) {
    struct Case {
        int stretch;
        float sx, sy;
    };
    for (const Case& c : {Case{0, 1, 1}, Case{1, 1, 1}, Case{2, 2, 1}}) {
        ViewFixture f(QSize(200, 100));
        f.view.setAutoSize(false);
        f.view.setStretch(c.stretch);
        ASSERT_TRUE(f.load(GifBuilder(100, 100, fourColours())
                               .control(0, 5)
                               .image(0, 0, 100, 100, solid(100, 100, 0))
                               .control(0, 5)
                               .image(0, 0, 10, 10, solid(10, 10, 1))
                               .bytes()));
        EXPECT_FLOAT_EQ(f.view.scaleX(), c.sx) << c.stretch;
        EXPECT_FLOAT_EQ(f.view.scaleY(), c.sy) << c.stretch;
        f.host.setClient(QSize(50, 300));
        f.view.relayout();
        if (c.stretch == 1) {
            EXPECT_FLOAT_EQ(f.view.scaleX(), 0.5f);
        }
        if (c.stretch == 2) {
            EXPECT_FLOAT_EQ(f.view.scaleY(), 3.0f);
        }
    }
}

TEST(GifView, PropertyWritesOutsideTheirRangeChangeNothing) {
    ViewFixture f;
    f.view.setAutoSize(false);
    f.view.setStretch(2);
    f.view.setStretch(3);
    f.view.setStretch(-1);
    EXPECT_EQ(f.view.Stretch(), 2);
    f.view.setStretchMethod(2);
    EXPECT_EQ(f.view.StretchMethod(), 0);
    f.view.setBorderStyle(2);
    f.view.setBorderStyle(4);
    f.view.setBorderStyle(2);
    EXPECT_EQ(f.view.BorderStyle(), 2);
    EXPECT_EQ(f.host.borderStyles, QList<int>{2});
    // Writing AutoSize drops the stretch mode.
    f.view.setAutoSize(true);
    EXPECT_EQ(f.view.Stretch(), 0);
}

TEST(GifView, AutoSizeFitsTheControlToTheGifAndDrawsUnscaled) {
    ViewFixture f(QSize(40, 40));
    ASSERT_TRUE(f.load(withSecondFrame(
        GifBuilder(6, 4, fourColours()).control(0, 5).image(0, 0, 6, 4, solid(6, 4, 2)))));
    ASSERT_FALSE(f.host.resizes.isEmpty());
    EXPECT_EQ(f.host.resizes.last(), QSize(6, 4));
    EXPECT_EQ(f.view.surface().size(), QSize(6, 4));
    EXPECT_EQ(f.pixel(5, 3), kBlue);
}

TEST(GifView, StretchedDrawingPlacesScaledPixels) {
    for (int method : {0, 1}) {
        ViewFixture f(QSize(4, 6));
        f.view.setAutoSize(false);
        f.view.setStretch(2);
        f.view.setStretchMethod(method);
        ASSERT_TRUE(f.load(quad(), "q.gif"));
        // 2×2 onto 4×6: each source pixel covers 2×3.
        EXPECT_EQ(f.pixel(0, 0), kRed) << method;
        EXPECT_EQ(f.pixel(1, 2), kRed) << method;
        EXPECT_EQ(f.pixel(3, 0), kGreen) << method;
        EXPECT_EQ(f.pixel(0, 5), kBlue) << method;
        EXPECT_EQ(f.pixel(2, 3), kWhite) << method;
    }
}

TEST(GifView, ProportionalStretchKeepsAspectAtTopLeft) {
    ViewFixture f(QSize(8, 4));
    f.view.setAutoSize(false);
    f.view.setBackColor(0x00FF00FF);  // magenta
    f.view.setStretch(1);
    ASSERT_TRUE(f.load(quad(), "q.gif"));
    EXPECT_EQ(f.pixel(0, 0), kRed);
    EXPECT_EQ(f.pixel(3, 3), kWhite);
    EXPECT_EQ(f.pixel(5, 1), qRgb(255, 0, 255));
}

// Table: 0 black (the transparent index), 1 white, 2 red, 3 black again.
TEST(GifView, MaskPathKeepsOrPunchesPixelsByTheFramesKey) {
    const std::vector<QRgb> palette = {kBlack, kWhite, kRed, kBlack};
    const std::vector<std::uint8_t> pixels = {0, 1, 2, 3};
    const QRgb green = kGreen;
    struct Case {
        const char* name;
        int transparentIndex;
        int hostKey;  // -2: none written; else written by the host
        QRgb want[4];
    };
    const Case cases[] = {
        {"own transparency keyed on black", 0, -2, {green, kWhite, kRed, kBlack}},
        {"forced, keyed on black", -1, 0, {green, kWhite, kRed, green}},
        {"forced, key from the top-left pixel", -1, -1, {green, kWhite, kRed, green}},
        {"forced, keyed on red", -1, 0x0000FF, {kBlack, kWhite, green, kBlack}},
        {"opaque frame", -1, -2, {kBlack, kWhite, kRed, kBlack}},
    };
    for (const Case& c : cases) {
        ViewFixture f(QSize(4, 2));
        f.view.setAutoSize(false);
        f.view.setBackColor(colourValue(green));
        f.view.setStretch(2);
        f.view.setStretchMethod(1);
        ASSERT_TRUE(f.load(withSecondFrame(GifBuilder(2, 2, palette)
                                               .control(0, 5, c.transparentIndex)
                                               .image(0, 0, 2, 2, pixels))));
        if (c.hostKey == -1) {
            f.view.Frame(1)->setForceTransparency(true);
        } else if (c.hostKey >= 0) {
            f.view.Frame(1)->setFrameTransparentColor(c.hostKey);
        }
        f.view.ShowFrame(1);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(f.pixel((i % 2) * 2 + 1, i / 2), c.want[i]) << c.name << " pixel " << i;
    }
}

TEST(GifView, OwnTransparencyShowsTheBackColourIncludingSystemColours) {
    ViewFixture f;
    f.view.setBackColor(GifViewCore::kButtonFace);
    ASSERT_TRUE(f.load(withSecondFrame(
        GifBuilder(2, 1, fourColours()).control(0, 5, 1).image(0, 0, 2, 1, {0, 1}))));
    EXPECT_EQ(f.pixel(0, 0), kRed);
    EXPECT_EQ(f.pixel(1, 0), QGuiApplication::palette().color(QPalette::Button).rgb());
}

TEST(GifView, CustomBackgroundFillsClearedAreas) {
    ViewFixture f;
    ASSERT_TRUE(f.load(withSecondFrame(
        GifBuilder(2, 1, fourColours()).control(0, 5, 1).image(0, 0, 2, 1, {0, 1}))));
    QImage* dc = f.view.GetCustomBkgDC();
    ASSERT_TRUE(dc);
    dc->fill(Qt::yellow);
    f.view.SetCustomBkgDC();
    EXPECT_TRUE(f.view.hasBackBuffer());
    f.view.ShowFrame(1);
    EXPECT_EQ(f.pixel(0, 0), kRed);
    EXPECT_EQ(f.pixel(1, 0), qRgb(255, 255, 0));
    f.view.RemoveCustomBkgDC();
    EXPECT_FALSE(f.view.hasBackBuffer());
    f.view.ShowFrame(1);
    EXPECT_NE(f.pixel(1, 0), qRgb(255, 255, 0));
}

TEST(GifView, ScaleLogWinToSizeFitsTheLogicalWindow) {
    ViewFixture f;
    f.view.setAutoSize(false);
    ASSERT_TRUE(f.load(
        withSecondFrame(GifBuilder(100, 50, fourColours()).control(0, 5).image(0, 0, 1, 1, {0}))));
    int w = 300, h = 100;
    bool flag = false;
    qint32 border = -1;
    f.view.ScaleLogWinToSize(w, h, flag, border);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 100);
    EXPECT_TRUE(flag);
    EXPECT_EQ(border, 0);
    w = 25;
    h = 100;
    f.view.ScaleLogWinToSize(w, h, flag, border);
    EXPECT_EQ(w, 25);
    EXPECT_EQ(h, 12);  // 12.5 rounds to the even neighbour
    EXPECT_FALSE(flag);
}

TEST(GifColors, RoundingAndConversion) {
    EXPECT_EQ(RoundHalfEven(12.5), 12);
    EXPECT_EQ(RoundHalfEven(13.5), 14);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(ColorToRgb(0x0000FF), kRed);
    EXPECT_EQ(ColorToRgb(0xFF0000), kBlue);
    EXPECT_EQ(RgbToColor(kGreen), 0x00FF00);
}

TEST(GifView, HugeLogicalScreenDoesNotMakeHugeSurfaces) {
    ViewFixture f(QSize(50, 40));
    // 40-odd bytes that name a 32767 × 32767 screen and ask for a save-under copy.
    ASSERT_TRUE(f.load(GifBuilder(32767, 32767, fourColours())
                           .control(3, 5)
                           .image(0, 0, 2, 2, solid(2, 2, 0))
                           .control(0, 5)
                           .image(0, 0, 2, 2, solid(2, 2, 1))
                           .bytes()));
    EXPECT_EQ(f.host.clientSize(), QSize(GifViewCore::kMaxAutoSize, GifViewCore::kMaxAutoSize));
    EXPECT_TRUE(f.view.hasWorkSurface());
    EXPECT_LE(f.view.saveUnder().width(), GifViewCore::kMaxAutoSize);
    EXPECT_LE(f.view.saveUnder().height(), GifViewCore::kMaxAutoSize);
    EXPECT_EQ(f.pixel(1, 1), kRed);
}

TEST(GifView, FileNamePropertyLoadsUnloadsAndNotifies) {
    ViewFixture f;
    QStringList changed;
    QObject::connect(&f.view, &GifViewCore::propertyChanged,
                     [&changed](const QString& name) { changed << name; });
    const QString file = f.write("p.gif", quad());
    f.view.setgifFileName(file);
    EXPECT_EQ(f.view.gifFileName(), file);
    EXPECT_EQ(changed, QStringList{"gifFileName"});
    f.view.setgifFileName(QString());
    EXPECT_EQ(f.view.gifFileName(), "{none}");
    EXPECT_FALSE(f.view.document().isOpen());
}

TEST(GifView, HostThatKeepsItsSizeStillGetsTheFrameDrawn) {
    ViewFixture f(QSize(30, 30));
    f.host.onResize = [&f] {
        f.host.setClient(QSize(30, 30));  // a layout that puts the control back
        f.view.relayout();
    };
    ASSERT_TRUE(f.load(quad()));
    EXPECT_EQ(f.host.resizes.size(), 1);
    EXPECT_EQ(f.pixel(1, 1), kWhite);
}

TEST(GifView, BackColourShowsOnAnEmptyControl) {
    ViewFixture f(QSize(3, 3));
    f.view.setBackColor(0x0000FF);
    EXPECT_EQ(f.pixel(2, 2), kRed);
    f.view.setBackColor(0x8000000F);
    EXPECT_EQ(f.pixel(0, 0), QGuiApplication::palette().color(QPalette::Button).rgb());
}
