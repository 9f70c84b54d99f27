#include "gifview/GifDocument.h"
#include "gifview/GifFrame.h"
#include "gifview/GifTestKit.h"
#include "gifview/GifWalker.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPoint>

using namespace giftest;

TEST(GifWalk, ColourIndexesAgainstTables) {
    struct Case {
        const char* name;
        std::vector<QRgb> palette, local;
        int background, transparent;
        qint32 wantBackground, wantTransparent;
    };
    // Colour values have red in the low byte.
    const std::vector<QRgb> two = {kBlack, kGreen};
    const Case cases[] = {
        {"two colours, index 1", two, {}, 1, 1, 0x00FF00, 0x00FF00},
        {"beyond the two-colour table", two, {}, 2, 5, 0, 0},
        {"four colours", fourColours(), {}, 2, 3, 0xFF0000, 0xFFFFFF},
        {"no global table keeps the raw index", {}, {}, 3, 3, 0, 3},
        {"local table keys", fourColours(), {kBlack, qRgb(1, 2, 3)}, 0, 1, 0x0000FF, 0x030201},
    };
    for (const Case& c : cases) {
        const auto walk = walkGif(GifBuilder(2, 2, c.palette, c.background)
                                      .control(0, 0, c.transparent)
                                      .image(0, 0, 2, 2, solid(2, 2, 0), c.local)
                                      .bytes());
        ASSERT_TRUE(walk) << c.name;
        EXPECT_EQ(walk->background, c.wantBackground) << c.name;
        ASSERT_EQ(walk->frames.size(), 1u) << c.name;
        EXPECT_TRUE(walk->frames[0].isTransparent());
        EXPECT_EQ(walk->frames[0].frameTransparentColor(), c.wantTransparent) << c.name;
    }
}

TEST(GifWalk, PositionsAroundAComment) {
    GifBuilder b(4, 4, fourColours());
    b.loops(0);
    const qint64 firstIntroducer = b.size() + 1;
    b.control(3, 65535).image(0, 0, 4, 4, solid(4, 4, 0));
    const qint64 firstEnd = b.size() + 1;
    b.comment("between");
    const qint64 secondStart = b.size() + 2;
    b.control(2, 7, 1).image(1, 1, 2, 2, solid(2, 2, 2));
    const auto walk = walkGif(b.bytes());
    ASSERT_TRUE(walk);
    EXPECT_EQ(walk->headerLength, firstIntroducer);
    EXPECT_TRUE(walk->headerEndsWithIntroducer);
    EXPECT_TRUE(walk->restorePrevious);
    ASSERT_EQ(walk->frames.size(), 2u);
    EXPECT_EQ(walk->frames[0].framePosition(GifFrame::kStart), firstIntroducer + 1);
    EXPECT_EQ(walk->frames[0].framePosition(GifFrame::kEnd), firstEnd);
    EXPECT_EQ(walk->frames[0].frameDelay(), 60000);
    EXPECT_EQ(walk->frames[1].framePosition(GifFrame::kStart), secondStart);
}

// Frames found (-1: refused); a looping block counts before the first image, sub-block 3.
TEST(GifWalk, FramesAndLoopCount) {
    const auto image = [](GifBuilder& b) -> GifBuilder& {
        return b.image(0, 0, 2, 2, solid(2, 2, 0));
    };
    // `n` frames with a looping block before frame `at` (-1: none).
    const auto looped = [](int at, int count, int subBlock = 3, int n = 2) {
        GifBuilder b(2, 2, fourColours());
        for (int i = 0; i < n; ++i) {
            if (i == at) b.loops(count, subBlock);
            b.control(0, 5).image(0, 0, 2, 2, solid(2, 2, 1));
        }
        return b.bytes();
    };
    const auto signedAs = [](const char* s) { return frames(2).replace(0, 6, s); };
    GifBuilder gif87(2, 2, fourColours(), 0, "GIF87a"), bare(2, 2, fourColours()),
        bareSecond(2, 2, fourColours()), twoControls(2, 2, fourColours());
    image(image(bare));
    image(image(bareSecond.control(0, 1)));
    image(twoControls.control(0, 1).control(2, 9));
    constexpr int kAny = -2;
    const struct {
        const char* name;
        QByteArray gif;
        int frames;
        int loops = kAny;
    } cases[] = {
        {"block before the first image", looped(0, 3), 2, 3},
        {"zero means endless", looped(0, 0), 2, 0},
        {"block after the first image is ignored", looped(1, 7), 2, 0},
        {"sub-block size other than 3", looped(0, 9, 5), 2, 0},
        {"no block, several frames", looped(-1, 0), 2, 0},
        {"no block, one frame", looped(-1, 0, 3, 1), 1, -1},
        {"trailer without images", GifBuilder(8, 8, fourColours()).bytes(), 0},
        {"signature case ignored", signedAs("GIF89A"), 2},
        {"gif87a", image(gif87).bytes(), 1},
        {"wrong signature", signedAs("GIX89a"), -1},
        {"zero padding and unknown blocks skipped",
         GifBuilder(2, 2, fourColours()).raw(QByteArray("\x00\x00\x77\x02xx\x00", 7)).bytes(), 0},
        {"second image without control extension", bare.bytes(), -1},
        {"control extension first, then a bare image", bareSecond.bytes(), -1},
        {"second control extension replaces the pending one", twoControls.bytes(), 1},
    };
    for (const auto& c : cases) {
        const auto walk = walkGif(c.gif);
        EXPECT_EQ(walk ? static_cast<int>(walk->frames.size()) : -1, c.frames) << c.name;
        if (walk && c.loops != kAny) {
            EXPECT_EQ(walk->loopCount, c.loops) << c.name;
        }
    }
}

TEST(GifWalk, SixteenBitFieldsOf32768OrMoreAndEveryCutFail) {
    GifBuilder b(4, 4, fourColours());
    b.loops(2);
    const qint64 loopsAt = b.size() - 3;  // loop count sits before the terminator
    b.control(0, 1);
    const qint64 descriptor = b.size() + 1;  // 0-based offset of the fields after 0x2C
    b.image(0, 0, 4, 4, solid(4, 4, 0));
    const QByteArray good = b.bytes();
    ASSERT_TRUE(walkGif(good));
    const qsizetype fields[] = {
        6, 8, descriptor, descriptor + 2, descriptor + 4, descriptor + 6, loopsAt};
    for (qsizetype at : fields) {
        for (int value : {32768, 32767}) {
            QByteArray bad = good;
            bad[at] = static_cast<char>(value & 0xFF);
            bad[at + 1] = static_cast<char>(value >> 8);
            EXPECT_EQ(walkGif(bad).has_value(), value == 32767) << "field at " << at;
        }
    }
    const QByteArray gif = GifBuilder(4, 4, fourColours())
                               .loops(0)
                               .comment("c")
                               .control(3, 10, 2)
                               .image(0, 0, 4, 4, solid(4, 4, 1), {kBlack, kWhite})
                               .control(2, 10)
                               .image(1, 1, 2, 2, solid(2, 2, 3))
                               .bytes();
    ASSERT_TRUE(walkGif(gif));
    for (qsizetype n = 0; n < gif.size(); ++n)
        EXPECT_FALSE(walkGif(gif.left(n))) << "cut at " << n;
}

TEST(GifDocument, FramesDecodeAtTheirOwnSizeWithOrWithoutAControlExtension) {
    TempFolder dir;
    std::vector<std::uint8_t> wide = solid(12, 3, 0), narrow = solid(2, 6, 0);
    wide.back() = 2;  // blue at the bottom right
    narrow[1] = 1;    // the key colour at the top right
    GifBuilder twoSizes(10, 4, fourColours());
    twoSizes.control(0, 1).image(5, 0, 12, 3, wide).control(0, 1, 1).image(2, 2, 2, 6, narrow);
    GifDocument doc;
    ASSERT_TRUE(doc.load(dir.write("a.gif", twoSizes.bytes())));
    // The width and height count, not the offsets.
    EXPECT_EQ(QSize(doc.info().logicalWidth, doc.info().logicalHeight), QSize(12, 6));
    const QImage first = doc.frameImage(1);
    ASSERT_EQ(first.size(), QSize(12, 3));
    EXPECT_EQ(first.pixel(0, 0), kRed);
    EXPECT_EQ(first.pixel(11, 2), kBlue);
    const QImage keyed = doc.frameImage(2);
    ASSERT_EQ(keyed.size(), QSize(2, 6));
    EXPECT_EQ(keyed.pixel(0, 0), kRed);
    EXPECT_EQ(qAlpha(keyed.pixel(1, 0)), 0);
    EXPECT_TRUE(doc.frameImage(3).isNull());
    EXPECT_TRUE(doc.frameImage(0).isNull());

    // Later frames decode when the first image has no control extension.
    GifBuilder b(2, 2, fourColours());
    const qint64 separator = b.size() + 1;
    b.image(0, 0, 2, 2, solid(2, 2, 0)).control(0, 5).image(0, 0, 2, 2, solid(2, 2, 2));
    ASSERT_TRUE(doc.load(dir.write("bare.gif", b.bytes())));
    EXPECT_EQ(doc.info().headerLength, separator - 1);
    EXPECT_EQ(doc.frame(1)->framePosition(GifFrame::kStart), separator);
    ASSERT_EQ(doc.frameCount(), 2);
    EXPECT_EQ(doc.frameImage(1).pixel(0, 0), kRed);
    EXPECT_EQ(doc.frameImage(2).pixel(1, 1), kBlue);
}

// These files start the fuzzer's corpus, which must not start off with noise.
TEST(GifWalk, StoredSampleFilesWalk) {
    const QDir data(QStringLiteral(QT_TESTCASE_SOURCEDIR "/data"));
    const QStringList files = data.entryList({QStringLiteral("*.gif")}, QDir::Files);
    ASSERT_GE(files.size(), 5);
    for (const QString& name : files) {
        QFile file(data.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(walkGif(file.readAll())) << name.toStdString();
    }
}

TEST(GifFrame, FirstWrittenValuesAreKeptForReset) {
    for (const auto& [delay, storedDelay] :
         {std::pair{0, 0}, {655350, 60000}, {-5, 0}, {60000, 60000}}) {
        GifFrame f;
        for (const int k : {1, 10}) {
            f.setframeDelay(k == 1 ? delay : 500);
            f.setFrameTransparentColor(k == 1 ? 7 : 8);
            f.setFrameDisposal(k == 1 ? 2 : 3);
            f.setFrameLeft(3 * k);
            f.setFrameTop(4 * k);
        }
        EXPECT_EQ(f.resetFrameAttributes(-GifFrame::kDelay), storedDelay) << delay;
        EXPECT_EQ(f.resetFrameAttributes(-8), 3);
        EXPECT_EQ(f.resetFrameAttributes(-16), 4);
        EXPECT_EQ(f.resetFrameAttributes(-4), 2);
        EXPECT_EQ(f.resetFrameAttributes(-64), 0);

        GifFrame only = f;
        only.resetFrameAttributes(GifFrame::kLeft);
        EXPECT_EQ(QPoint(only.frameLeft(), only.frameTop()), QPoint(3, 40));
        EXPECT_EQ(only.frameDelay(), 500);

        f.resetFrameAttributes(31);
        EXPECT_EQ(f.frameDelay(), storedDelay);
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
