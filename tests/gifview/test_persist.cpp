#include "gifview/GifTestKit.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace giftest;

namespace {

int fileCount(const TempFolder& folder) {
    return static_cast<int>(QDir(folder.path()).entryList(QDir::Files).size());
}

}  // namespace

TEST(GifPersist, AnimatingControlEmbedsItsFileAndComesBackAnimating) {
    ViewFixture f;
    platform::PropertyBag empty;  // defaults are not stored
    f.view.writeProperties(empty);
    EXPECT_EQ(empty.keys(), QStringList{"fileLen"});
    EXPECT_EQ(empty.readProperty("fileLen", -1).toInt(), 0);
    const QByteArray gif = frames(2, 4, 3, 2);
    ASSERT_TRUE(f.load(gif, "shown.gif"));
    f.fixed(2);
    f.view.setBackColor(0x123456);
    f.view.setgifMinFrameDelay(20);
    f.view.setAnimate(true);
    platform::PropertyBag bag;
    f.view.writeProperties(bag);
    EXPECT_EQ(bag.readProperty("animate", 0).toInt(), 9);
    EXPECT_EQ(bag.readProperty("nrLoops", 0).toInt(), 4);
    EXPECT_EQ(bag.readProperty("fileLen", 0).toInt(), gif.size() - 1);
    EXPECT_EQ(bag.readProperty("fileData", QByteArray()).toByteArray(), gif);

    // Through the stored text form, into a control whose folder holds other numbered copies:
    // the first free number is taken.
    const platform::PropertyBag stored = platform::PropertyBag::fromJson(bag.toJson());
    QFile::remove(f.folder.file("shown.gif"));
    ViewFixture g;
    for (const char* taken : {"~tLV(0).gif", "~tLV(1).gif", "~tLV(3).gif"})
        g.write(taken, "someone else's");
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
        FakeGifHost host(QSize(10, 10));
        GifViewCore view(host);
        view.setApplicationFolder(g.folder.path());
        view.readProperties(stored);
        EXPECT_TRUE(QFileInfo::exists(copy));
    }
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_EQ(fileCount(g.folder), 4);
    EXPECT_EQ(g.folder.read("~tLV(0).gif"), "someone else's");
}

TEST(GifPersist, EmbeddedDataThatDoesNotLoadLeavesNoFileBehind) {
    platform::PropertyBag bag;
    bag.writeProperty("fileLen", 24, QVariant());
    bag.writeProperty("fileData", QByteArray("GIF89a but nothing after"), QVariant());
    ViewFixture f;
    f.view.readProperties(bag);
    EXPECT_EQ(f.view.gifFrameCount(), 0);
    EXPECT_EQ(fileCount(f.folder), 0);
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
