#include "GifTestKit.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace giftest;

namespace {

QByteArray twoFrames() {
    return GifBuilder(3, 2, fourColours())
        .loops(4)
        .control(1, 10)
        .image(0, 0, 3, 2, solid(3, 2, 0))
        .control(1, 10)
        .image(0, 0, 3, 2, solid(3, 2, 1))
        .bytes();
}

const QStringList kWriteOrder = {"nrLoops",   "autoSize", "bkColor",     "minDelay", "scaleFactor",
                                 "scaleMode", "animate",  "gifFileName", "Stretch",  "fileLen"};

}  // namespace

TEST(GifPersist, DefaultsAreNotStoredAndKeysComeInOrder) {
    ViewFixture f;
    platform::PropertyBag bag;
    f.view.WriteProperties(bag);
    EXPECT_EQ(bag.writeLog(), kWriteOrder);
    EXPECT_EQ(bag.keys(), QStringList{"fileLen"});
    EXPECT_EQ(bag.readProperty("fileLen", -1).toInt(), 0);
}

TEST(GifPersist, AnimatingControlEmbedsItsFileAndComesBackAnimating) {
    ViewFixture f;
    const QByteArray gif = twoFrames();
    ASSERT_TRUE(f.load(gif, "shown.gif"));
    f.view.setAutoSize(false);
    f.view.setStretch(2);
    f.view.setBackColor(0x123456);
    f.view.setgifMinFrameDelay(20);
    f.view.setAnimate(true);
    platform::PropertyBag bag;
    f.view.WriteProperties(bag);
    EXPECT_EQ(bag.writeLog(), kWriteOrder + QStringList{"fileData"});
    EXPECT_EQ(bag.readProperty("animate", 0).toInt(), 9);
    EXPECT_EQ(bag.readProperty("nrLoops", 0).toInt(), 4);
    EXPECT_EQ(bag.readProperty("fileLen", 0).toInt(), gif.size() - 1);
    EXPECT_EQ(bag.readProperty("fileData", QByteArray()).toByteArray(), gif);

    // Through the stored text form, into a control whose folder already holds ~tLV(0).gif.
    const platform::PropertyBag stored = platform::PropertyBag::fromJson(bag.toJson());
    QFile::remove(f.folder.file("shown.gif"));
    ViewFixture g;
    g.write("~tLV(0).gif", "someone else's");
    g.view.ReadProperties(stored);
    const QString copy = g.folder.file("~tLV(1).gif");
    EXPECT_TRUE(QFileInfo::exists(copy));
    EXPECT_EQ(g.view.gifFileName(), copy);
    EXPECT_TRUE(g.view.Animate());
    EXPECT_EQ(g.view.Stretch(), 2);
    EXPECT_FALSE(g.view.AutoSize());
    EXPECT_EQ(g.view.BackColor(), 0x123456);
    EXPECT_EQ(g.view.gifMinFrameDelay(), 20);
    EXPECT_EQ(g.view.gifMaxLoops(), 4);
    g.view.UnloadGIF();
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_EQ(g.folder.read("~tLV(0).gif"), "someone else's");
}

TEST(GifPersist, TemporaryNamesTakeTheFirstFreeNumber) {
    ViewFixture f;
    EXPECT_EQ(f.view.GetTempGifName(), f.folder.file("~tLV(0).gif"));
    f.write("~tLV(0).gif", "x");
    f.write("~tLV(1).gif", "x");
    f.write("~tLV(3).gif", "x");
    EXPECT_EQ(f.view.GetTempGifName(), f.folder.file("~tLV(2).gif"));
}

TEST(GifPersist, EmbeddedCopyIsDeletedWhenTheControlGoesAway) {
    TempFolder other;
    platform::PropertyBag bag;
    {
        ViewFixture f;
        ASSERT_TRUE(f.load(twoFrames()));
        f.view.WriteProperties(bag);
    }
    QString copy;
    {
        ViewFixture g;
        g.view.ReadProperties(bag);
        copy = g.folder.file("~tLV(0).gif");
        EXPECT_TRUE(QFileInfo::exists(copy));
        // Loading another GIF unloads the copy and deletes it.
        ASSERT_TRUE(g.load(twoFrames(), "next.gif"));
        EXPECT_FALSE(QFileInfo::exists(copy));
        g.view.ReadProperties(bag);
        EXPECT_TRUE(QFileInfo::exists(copy));
        EXPECT_EQ(QDir(g.folder.path()).entryList(QDir::Files).size(), 2);
    }
    EXPECT_FALSE(QFileInfo::exists(copy));
}

TEST(GifPersist, EmbeddedDataThatDoesNotLoadLeavesNoFileBehind) {
    platform::PropertyBag bag;
    bag.writeProperty("fileLen", 24, QVariant());
    bag.writeProperty("fileData", QByteArray("GIF89a but nothing after"), QVariant());
    ViewFixture f;
    f.view.ReadProperties(bag);
    EXPECT_EQ(f.view.gifFrameCount(), 0);
    EXPECT_TRUE(QDir(f.folder.path()).entryList(QDir::Files).isEmpty());
}

TEST(GifPersist, MainWindowDesignValuesRestoreFromStoredText) {
    const platform::PropertyBag bag = platform::PropertyBag::fromJson(
        R"({"autoSize": false, "bkColor": 0, "Stretch": 2, "scaleFactor": 2})");
    ViewFixture f(QSize(40, 20));
    f.view.ReadProperties(bag);
    EXPECT_FALSE(f.view.AutoSize());
    EXPECT_EQ(f.view.BackColor(), 0);
    EXPECT_EQ(f.view.Stretch(), 2);
    EXPECT_EQ(f.view.StretchMethod(), 0);
    EXPECT_EQ(f.view.gifMaxLoops(), 0);
    EXPECT_EQ(f.view.gifMinFrameDelay(), 50);
    EXPECT_FALSE(f.view.Animate());
    ASSERT_TRUE(f.load(twoFrames()));
    EXPECT_TRUE(f.host.resizes.isEmpty());
    EXPECT_FLOAT_EQ(f.view.scaleX(), 40.0f / 3);
    EXPECT_FLOAT_EQ(f.view.scaleY(), 10.0f);
}

TEST(GifPersist, StoredMinimumDelayBelowFiveIsRaised) {
    for (int stored : {-3, 0, 4}) {
        platform::PropertyBag bag;
        bag.writeProperty("minDelay", stored, 50);
        ViewFixture f;
        f.view.ReadProperties(bag);
        EXPECT_EQ(f.view.gifMinFrameDelay(), 5) << stored;
    }
}
