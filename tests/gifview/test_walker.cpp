#include "GifTestKit.h"
#include "gifview/GifDocument.h"
#include "gifview/GifReader.h"
#include "gifview/GifWalker.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace giftest;

namespace {

QByteArray twoFrames(const std::vector<QRgb>& palette = fourColours()) {
    return GifBuilder(4, 4, palette)
        .control(1, 10)
        .image(0, 0, 4, 4, solid(4, 4, 0))
        .control(2, 20, 1)
        .image(1, 1, 2, 2, solid(2, 2, 2))
        .bytes();
}

void put16(QByteArray& bytes, qsizetype at, int value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

}  // namespace

TEST(GifBits, GetBitsShiftsTheMaskedField) {
    EXPECT_EQ(GetBits(0x0C, 28), 3);
    EXPECT_EQ(GetBits(0x1D, 28), 7);
    EXPECT_EQ(GetBits(0x80, 128), 1);
    EXPECT_EQ(GetBits(0xF5, 7), 5);
    EXPECT_EQ(GetBits(0xFF, 0), 0);
}

TEST(GifWalk, ColourIndexesAgainstTables) {
    struct Case {
        const char* name;
        std::vector<QRgb> palette;
        int background;
        int transparent;
        qint32 wantBackground;
        qint32 wantTransparent;
    };
    const Case cases[] = {
        {"two colours, index 1", {kBlack, kGreen}, 1, 1, colourValue(kGreen), colourValue(kGreen)},
        {"beyond the two-colour table", {kBlack, kGreen}, 2, 5, 0, 0},
        {"four colours", fourColours(), 2, 3, colourValue(kBlue), colourValue(kWhite)},
        {"no global table keeps the raw index", {}, 3, 3, 0, 3},
    };
    for (const Case& c : cases) {
        const QByteArray gif = GifBuilder(2, 2, c.palette, c.background)
                                   .control(0, 0, c.transparent)
                                   .image(0, 0, 2, 2, solid(2, 2, 0))
                                   .bytes();
        const auto walk = WalkGif(gif);
        ASSERT_TRUE(walk) << c.name;
        EXPECT_EQ(walk->background, c.wantBackground) << c.name;
        ASSERT_EQ(walk->frames.size(), 1u) << c.name;
        EXPECT_TRUE(walk->frames[0].isTransparent());
        EXPECT_EQ(walk->frames[0].FrameTransparentColor(), c.wantTransparent) << c.name;
    }
}

TEST(GifWalk, LocalTableKeysTheTransparentColour) {
    const QByteArray gif = GifBuilder(2, 2, fourColours())
                               .control(0, 0, 1)
                               .image(0, 0, 2, 2, solid(2, 2, 0), {kBlack, qRgb(1, 2, 3)})
                               .bytes();
    const auto walk = WalkGif(gif);
    ASSERT_TRUE(walk);
    EXPECT_EQ(walk->frames[0].FrameTransparentColor(), 0x030201);
}

TEST(GifWalk, LoopCountRules) {
    struct Case {
        const char* name;
        QByteArray gif;
        int loops;
    };
    auto frame = [](GifBuilder& b) -> GifBuilder& {
        return b.control(0, 5).image(0, 0, 2, 2, solid(2, 2, 1));
    };
    GifBuilder before(2, 2, fourColours());
    before.loops(3);
    frame(frame(before));
    GifBuilder endless(2, 2, fourColours());
    endless.loops(0);
    frame(frame(endless));
    GifBuilder after(2, 2, fourColours());
    frame(after).loops(7);
    frame(after);
    GifBuilder oddSize(2, 2, fourColours());
    oddSize.loops(9, 5);
    frame(frame(oddSize));
    GifBuilder none(2, 2, fourColours());
    frame(frame(none));
    GifBuilder single(2, 2, fourColours());
    frame(single);
    const Case cases[] = {
        {"block before the first image", before.bytes(), 3},
        {"zero means endless", endless.bytes(), 0},
        {"block after the first image is ignored", after.bytes(), 0},
        {"sub-block size other than 3", oddSize.bytes(), 0},
        {"no block, several frames", none.bytes(), 0},
        {"no block, one frame", single.bytes(), -1},
    };
    for (const Case& c : cases) {
        const auto walk = WalkGif(c.gif);
        ASSERT_TRUE(walk) << c.name;
        EXPECT_EQ(walk->loopCount, c.loops) << c.name;
    }
}

TEST(GifWalk, PositionsHeaderAndTiming) {
    GifBuilder b(4, 4, fourColours());
    b.loops(0);
    const qint64 firstIntroducer = b.size() + 1;
    b.control(3, 65535).image(0, 0, 4, 4, solid(4, 4, 0));
    const qint64 firstEnd = b.size() + 1;
    b.comment("between").control(2, 7, 1).image(1, 1, 2, 2, solid(2, 2, 2));
    const auto walk = WalkGif(b.bytes());
    ASSERT_TRUE(walk);
    EXPECT_EQ(walk->version, "gif89a");
    EXPECT_EQ(walk->headerLength, firstIntroducer);
    EXPECT_TRUE(walk->headerEndsWithIntroducer);
    EXPECT_TRUE(walk->restorePrevious);
    ASSERT_EQ(walk->frames.size(), 2u);
    const clsGIFframe& f1 = walk->frames[0];
    EXPECT_EQ(f1.FramePosition(clsGIFframe::kStart), firstIntroducer + 1);
    EXPECT_EQ(f1.FramePosition(clsGIFframe::kEnd), firstEnd);
    EXPECT_EQ(f1.frameDelay(), 60000);
    EXPECT_EQ(f1.FrameDisposal(), 3);
    EXPECT_FALSE(f1.isTransparent());
    EXPECT_EQ(f1.FrameTransparentColor(), -1);
    const clsGIFframe& f2 = walk->frames[1];
    EXPECT_EQ(f2.frameDelay(), 70);
    EXPECT_EQ(f2.FrameDisposal(), 2);
    EXPECT_EQ(f2.FrameLeft(), 1);
    EXPECT_EQ(f2.FrameTop(), 1);
}

TEST(GifWalk, StructuralCases) {
    struct Case {
        const char* name;
        QByteArray gif;
        bool loads;
        std::size_t frames;
    };
    QByteArray upper = twoFrames();
    upper.replace(0, 6, "GIF89A");
    QByteArray wrong = twoFrames();
    wrong[2] = 'X';
    QByteArray junk =
        GifBuilder(2, 2, fourColours()).raw(QByteArray("\x00\x00\x77\x02xx\x00", 7)).bytes();
    const Case cases[] = {
        {"trailer without images", GifBuilder(8, 8, fourColours()).bytes(), true, 0},
        {"signature case ignored", upper, true, 2},
        {"gif87a",
         GifBuilder(2, 2, fourColours(), 0, "GIF87a").image(0, 0, 2, 2, solid(2, 2, 0)).bytes(),
         true, 1},
        {"wrong signature", wrong, false, 0},
        {"zero padding and unknown blocks skipped", junk, true, 0},
        {"second image without control extension",
         GifBuilder(2, 2, fourColours())
             .image(0, 0, 2, 2, solid(2, 2, 0))
             .image(0, 0, 2, 2, solid(2, 2, 1))
             .bytes(),
         false, 0},
        {"control extension first, then a bare image",
         GifBuilder(2, 2, fourColours())
             .control(0, 1)
             .image(0, 0, 2, 2, solid(2, 2, 0))
             .image(0, 0, 2, 2, solid(2, 2, 1))
             .bytes(),
         false, 0},
        {"second control extension replaces the pending one",
         GifBuilder(2, 2, fourColours())
             .control(0, 1)
             .control(2, 9)
             .image(0, 0, 2, 2, solid(2, 2, 0))
             .bytes(),
         true, 1},
    };
    for (const Case& c : cases) {
        const auto walk = WalkGif(c.gif);
        EXPECT_EQ(walk.has_value(), c.loads) << c.name;
        if (walk) {
            EXPECT_EQ(walk->frames.size(), c.frames) << c.name;
        }
    }
}

TEST(GifWalk, SixteenBitFieldsOf32768OrMoreFail) {
    GifBuilder b(4, 4, fourColours());
    b.loops(2);
    const qint64 loopsAt = b.size() - 3;  // loop count sits before the terminator
    b.control(0, 1);
    const qint64 descriptor = b.size() + 1;  // 0-based offset of the fields after 0x2C
    b.image(0, 0, 4, 4, solid(4, 4, 0));
    const QByteArray good = b.bytes();
    ASSERT_TRUE(WalkGif(good));
    const qsizetype fields[] = {
        6, 8, descriptor, descriptor + 2, descriptor + 4, descriptor + 6, loopsAt};
    for (qsizetype at : fields) {
        QByteArray bad = good;
        put16(bad, at, 32768);
        EXPECT_FALSE(WalkGif(bad)) << "field at " << at;
        put16(bad, at, 32767);
        EXPECT_TRUE(WalkGif(bad)) << "field at " << at;
    }
}

TEST(GifWalk, EveryTruncationFailsCleanly) {
    const QByteArray gif = GifBuilder(4, 4, fourColours())
                               .loops(0)
                               .comment("c")
                               .control(3, 10, 2)
                               .image(0, 0, 4, 4, solid(4, 4, 1), {kBlack, kWhite})
                               .control(2, 10)
                               .image(1, 1, 2, 2, solid(2, 2, 3))
                               .bytes();
    ASSERT_TRUE(WalkGif(gif));
    for (qsizetype n = 0; n < gif.size(); ++n)
        EXPECT_FALSE(WalkGif(gif.left(n))) << "cut at " << n;
}

TEST(GifWalk, WiderFrameWidensTheScreenIgnoringItsOffset) {
    const QByteArray gif = GifBuilder(10, 4, fourColours())
                               .control(0, 1)
                               .image(5, 0, 12, 3, solid(12, 3, 1))
                               .control(0, 1)
                               .image(0, 2, 3, 6, solid(3, 6, 1))
                               .bytes();
    const auto walk = WalkGif(gif);
    ASSERT_TRUE(walk);
    EXPECT_EQ(walk->logicalWidth, 12);
    EXPECT_EQ(walk->logicalHeight, 6);
}

TEST(GifDocument, FramePicturesDecodeAtTheirOwnSize) {
    TempFolder dir;
    std::vector<std::uint8_t> stripes(12 * 3);
    for (std::size_t i = 0; i < stripes.size(); ++i)
        stripes[i] = static_cast<std::uint8_t>((i % 12) < 6 ? 0 : 2);
    const QString file = dir.write("a.gif", GifBuilder(10, 4, fourColours())
                                                .control(0, 1)
                                                .image(5, 0, 12, 3, stripes)
                                                .control(0, 1, 1)
                                                .image(2, 2, 2, 2, {0, 1, 1, 0})
                                                .bytes());
    GifDocument doc;
    ASSERT_TRUE(doc.load(file));
    const QImage wide = doc.FrameImage(1);
    ASSERT_EQ(wide.size(), QSize(12, 3));
    EXPECT_EQ(wide.pixel(0, 0), kRed);
    EXPECT_EQ(wide.pixel(11, 2), kBlue);
    const QImage keyed = doc.FrameImage(2);
    ASSERT_EQ(keyed.size(), QSize(2, 2));
    EXPECT_EQ(keyed.pixel(0, 0), kRed);
    EXPECT_EQ(qAlpha(keyed.pixel(1, 0)), 0);
    EXPECT_TRUE(doc.FrameImage(3).isNull());
    EXPECT_TRUE(doc.FrameImage(0).isNull());
}

TEST(GifDocument, LaterFramesDecodeWhenTheFirstImageHasNoControlExtension) {
    TempFolder dir;
    GifBuilder b(2, 2, fourColours());
    const qint64 separator = b.size() + 1;
    b.image(0, 0, 2, 2, solid(2, 2, 0)).control(0, 5).image(0, 0, 2, 2, solid(2, 2, 2));
    GifDocument doc;
    ASSERT_TRUE(doc.load(dir.write("bare.gif", b.bytes())));
    EXPECT_EQ(doc.info().headerLength, separator - 1);
    EXPECT_EQ(doc.Frame(1)->FramePosition(clsGIFframe::kStart), separator);
    ASSERT_EQ(doc.frameCount(), 2);
    EXPECT_EQ(doc.FrameImage(1).pixel(0, 0), kRed);
    EXPECT_EQ(doc.FrameImage(2).pixel(1, 1), kBlue);
}

TEST(GifDocument, FailedLoadKeepsTheLoadedGif) {
    TempFolder dir;
    GifDocument doc;
    ASSERT_TRUE(doc.load(dir.write("good.gif", twoFrames())));
    QByteArray cut = twoFrames();
    cut.chop(1);
    EXPECT_FALSE(doc.load(dir.write("cut.gif", cut)));
    EXPECT_FALSE(doc.load(dir.file("missing.gif")));
    EXPECT_EQ(doc.frameCount(), 2);
    EXPECT_EQ(doc.info().fileName, dir.file("good.gif"));
    EXPECT_EQ(doc.FrameImage(2).pixel(0, 0), kBlue);
}

TEST(GifWalk, StoredSampleFilesWalk) {
    // These files start the fuzzer's corpus; a sample that no longer walks would start it off
    // with noise.
    const QDir data(QStringLiteral(QT_TESTCASE_SOURCEDIR "/data"));
    const QStringList files = data.entryList({QStringLiteral("*.gif")}, QDir::Files);
    ASSERT_GE(files.size(), 5);
    for (const QString& name : files) {
        QFile file(data.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(WalkGif(file.readAll())) << name.toStdString();
    }
}
