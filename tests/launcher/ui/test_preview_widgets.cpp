// The preview panel: picture box, GIF view or default picture; the title, caption and credits.

#include "filelist/FolderPrefetch.h"
#include "gifview/GifBuilder.h"
#include "gifview/ui/GifView.h"
#include "launcher/ui/WindowFixture.h"
#include "support/Pictures.h"

#include <QBuffer>
#include <QImage>
#include <QLocale>

namespace {

QByteArray animatedGif() {
    GifBuilder gif(4, 4, {qRgb(255, 0, 0), qRgb(0, 0, 255)});
    gif.loops(0).control(0, 10).image(0, 0, 4, 4, std::vector<std::uint8_t>(16, 0));
    gif.control(0, 10).image(0, 0, 4, 4, std::vector<std::uint8_t>(16, 1));
    return gif.bytes();
}

struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

class PreviewTest : public WindowTest {
protected:
    // Selects the game `name` as the list does, and waits for its picture.
    void choose(const QString& name) {
        select(name);
        settle();
    }
    void settle() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->picturePending(); }, 5000));
        QCoreApplication::processEvents();
    }
    bool showsDefault() const {
        return !picture()->isHidden() && control<GifView>("AniGIF")->isHidden() &&
               picture()->Picture().cacheKey() ==
                   control<PictureBox>("imgDefault")->Picture().cacheKey();
    }
    QColor shownColour() const {
        const QImage shown = picture()->Picture().toImage();
        return shown.isNull() ? QColor() : shown.pixelColor(shown.width() / 2, shown.height() / 2);
    }
};

TEST_F(PreviewTest, SelectionsMoveBetweenGifPictureEmptyBoxAndDefault) {
    emu.write("shots/anim.gif", animatedGif());
    emu.write("snap/still.png", encodedPicture({640, 360}, Qt::red));
    emu.write("shots/cut.png", encodedPicture({640, 360}, Qt::red).left(100));
    emu.write("shots/badgif.gif", "GIF89a, but no more");
    startWith("snes9x", {"anim.smc", "still.smc", "none.smc", "cut.smc", "badgif.smc"}, Shown::Yes);
    GifView* gif = control<GifView>("AniGIF");
    EXPECT_EQ(gif->geometry(), picture()->geometry());
    // The project has no web address: the caption and the credits name none, a click opens none.
    QLabel* credits = control<QLabel>("lblCredits");
    EXPECT_TRUE(window->windowTitle().endsWith(" - Emulator Launcher by the Rombard team"))
        << window->windowTitle().toStdString();
    for (const QString& text : {window->windowTitle(), credits->toolTip(), credits->text(),
                                credits->accessibleDescription()})
        EXPECT_FALSE(text.contains("://") || text.contains(".org")) << text.toStdString();
    QTest::mouseClick(credits, Qt::LeftButton);
    EXPECT_TRUE(shell.opened.isEmpty());

    choose("anim.smc");
    EXPECT_FALSE(gif->isHidden());
    EXPECT_TRUE(picture()->isHidden());
    EXPECT_TRUE(gif->animate());
    EXPECT_EQ(gif->gifFrameCount(), 2);
    EXPECT_EQ(gif->accessibleName(), "anim.gif");

    choose("still.smc");
    EXPECT_TRUE(gif->isHidden());
    EXPECT_EQ(gif->gifFrameCount(), 0);  // unloaded, not only hidden
    EXPECT_FALSE(picture()->isHidden());
    EXPECT_EQ(shownColour(), QColor(Qt::red));
    EXPECT_EQ(picture()->accessibleName(), "still.png");

    choose("none.smc");
    EXPECT_TRUE(showsDefault());
    EXPECT_EQ(picture()->accessibleName(), "No picture");

    // No picture again (the list repeats its item event on a key's release): no flicker.
    PaintCounter counter;
    QTest::qWait(50);
    picture()->installEventFilter(&counter);
    QTest::keyRelease(files()->currentView(), Qt::Key_Down);
    QTest::qWait(50);
    picture()->removeEventFilter(&counter);
    EXPECT_EQ(counter.paints, 0);

    // A cut picture leaves an empty box, not the last picture; a broken GIF the default.
    choose("still.smc");
    choose("cut.smc");
    EXPECT_FALSE(picture()->isHidden());
    EXPECT_TRUE(picture()->Picture().isNull());
    EXPECT_EQ(picture()->accessibleName(), "No picture");
    EXPECT_EQ(title()->text(), "cut");
    choose("badgif.smc");
    EXPECT_TRUE(showsDefault());

    // From a GIF straight to no picture: the default, the GIF gone.
    choose("anim.smc");
    choose("none.smc");
    EXPECT_TRUE(showsDefault());
    EXPECT_EQ(gif->gifFrameCount(), 0);

    // A rescan (F5) that finds nothing to select still shows the default picture.
    choose("anim.smc");
    QFile::remove(emu.file("snes9x"));
    QTest::keyClick(files()->currentView(), Qt::Key_F5);
    EXPECT_TRUE(showsDefault());
    EXPECT_EQ(gif->gifFrameCount(), 0);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(PreviewTest, ANewerSelectionWinsOverADecodeUnderWay) {
    emu.write("shots/a.png", encodedPicture({1920, 1080}, Qt::red));
    emu.write("shots/b.png", encodedPicture({1920, 1080}, Qt::blue));
    startWith("snes9x", {"a.smc", "b.smc", "c.smc"}, Shown::Yes);
    choose("c.smc");
    // Straight on, without waiting: neither a's picture nor b's may land on c.
    select("a.smc");
    select("b.smc");
    select("c.smc");
    QTest::qWait(300);
    settle();
    EXPECT_TRUE(showsDefault());
    select("a.smc");
    select("b.smc");
    settle();
    EXPECT_EQ(shownColour(), QColor(Qt::blue));
    // The picture is decoded for the box, not at its own size.
    EXPECT_LE(picture()->Picture().width(), picture()->width() + 1);
}

TEST_F(PreviewTest, TheTitleItsTipAndTheGameNumber) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    program("zinc");
    emu.touch("zinc", QDateTime(QDate(2003, 1, 1), QTime(12, 0)));
    roms({"tekken.zip", "Mystery_Game (J).zip"});
    const QDateTime when(QDate(2021, 3, 4), QTime(5, 6, 7));
    emu.touch("roms/tekken.zip", when);
    start(Shown::Yes);
    QLabel* title = WindowTest::title();

    choose("tekken.zip");
    // The oldest build's list: not 647168 bytes, and older than October 2004.
    EXPECT_EQ(title->text(), "Tekken (JP) Ver. A");
    EXPECT_EQ(title->property("Tag").toString(), "21");
    EXPECT_EQ(control<QLabel>("lblShadow")->text(), title->text());
    const QString tip =
        "File Date: " + QLocale().toString(when, QLocale::ShortFormat) + "  Size: 1 bytes";
    EXPECT_EQ(title->toolTip(), tip);
    EXPECT_EQ(title->accessibleName(), title->text());
    EXPECT_EQ(title->accessibleDescription(), tip);

    // The number of the game before does not stay behind.
    choose("Mystery_Game (J).zip");
    EXPECT_EQ(title->text(), "Mystery Game");
    EXPECT_EQ(title->property("Tag").toString(), QString());

    // A file that went away since it was listed: no tip at all.
    QFile::remove(emu.file("roms/tekken.zip"));
    choose("tekken.zip");
    EXPECT_EQ(title->toolTip(), QString());
    QLocale::setDefault(QLocale::system());
}

// The folder read ahead gives what the folder does, also changed since; the start lets it go.
TEST_F(PreviewTest, AGamesFolderReadAheadAtStartShowsWhatTheFolderHolds) {
    program("snes9x");
    roms({"a.smc", "b.smc", "c.smc"});
    emu.write("roms/b.png", encodedPicture({64, 36}, Qt::red));
    settings.preset("snes9x.exe", "file", "1");
    for (const bool changedSince : {false, true}) {
        SCOPED_TRACE(changedSince ? "changed since" : "as read");
        window.reset();
        QFile::remove(emu.file("roms/d.smc"));
        ASSERT_TRUE(emu.settle("roms"));
        FolderPrefetch ahead(emu.file("roms"));
        ASSERT_NE(ahead.entriesFor(emu.file("roms")), nullptr);
        if (changedSince) emu.write("roms/d.smc", "x");
        readAhead = &ahead;
        start(Shown::Yes);
        settle();
        QStringList expected = {"a.smc", "b.smc", "c.smc"};
        if (changedSince) expected << "d.smc";
        EXPECT_EQ(listed(), expected);
        EXPECT_EQ(files()->listIndex(), 1);
        EXPECT_EQ(shownColour(), QColor(Qt::red));
        EXPECT_EQ(ahead.entriesFor(emu.file("roms")), nullptr);
        readAhead = nullptr;
        window.reset();
    }
}

// A long title fits its panel, elided, above the default picture's lettering.
TEST_F(PreviewTest, ALongTitleFitsItsPanelAndKeepsClearOfTheDefaultPicture) {
    const QString whole =
        "The Legend of Zelda - A Link to the Past and Four Swords Adventures Collection";
    startWith("snes9x", {QString(whole).replace(' ', '_') + ".smc", "Zelda.smc"}, Shown::Yes);
    QLabel* title = WindowTest::title();
    for (const int width : {0, 200}) {
        SCOPED_TRACE(width);
        if (width) window->resize(window->width() - width, window->height());
        choose("Zelda.smc");
        choose(QString(whole).replace(' ', '_') + ".smc");
        ASSERT_TRUE(showsDefault());
        const QFontMetrics metrics = title->fontMetrics();
        const QStringList lines = title->text().split('\n');
        EXPECT_LE(lines.size() * metrics.lineSpacing(), title->height());
        for (const QString& line : lines)
            EXPECT_LE(metrics.horizontalAdvance(line), title->contentsRect().width())
                << line.toStdString();
        EXPECT_TRUE(title->text().endsWith(QChar(0x2026))) << title->text().toStdString();
        EXPECT_EQ(title->accessibleName(), whole);
        EXPECT_EQ(control<QLabel>("lblShadow")->text(), title->text());

        // Nothing of the picture is painted where the title is.
        const int below = title->y() + title->height();
        ASSERT_GE(picture()->topMargin(), below);
        const QImage painted = picture()->grab().toImage();
        bool clear = true, drawn = false;
        for (int y = 0; y < painted.height(); ++y)
            for (int x = 0; x < painted.width(); ++x) {
                const bool black = painted.pixelColor(x, y) == QColor(Qt::black);
                if (y < below) clear = clear && black;
                drawn = drawn || !black;
            }
        EXPECT_TRUE(clear);
        EXPECT_TRUE(drawn);
    }
}

}  // namespace
