// F7 and F8 on their threads: progress shown, keys answered, Escape or closing stops them.

#include "launcher/ui/WindowFixture.h"
#include "support/ForwardingFiles.h"

#include <QSemaphore>

#include <atomic>
#include <functional>

namespace {

// The first removal (or rename, when gating renames) waits until the test opens the gate.
class GatedFiles : public fakes::ForwardingFiles {
public:
    explicit GatedFiles(platform::FileOperations& files) : ForwardingFiles(files) {}
    bool rename(const QString& from, const QString& to) override {
        if (gatesRenames) hold();
        return ForwardingFiles::rename(from, to);
    }
    bool remove(const QString& path) override {
        if (!gatesRenames) hold();
        return ForwardingFiles::remove(path);
    }

    QSemaphore entered;
    QSemaphore gate;
    bool gatesRenames = false;  // set before the command starts

private:
    void hold() {
        if (m_calls++ == 0) {
            entered.release();
            gate.acquire();
        }
    }
    std::atomic<int> m_calls = 0;
};

// Every caption the window shows, in order; `onCaption` sees each as it is set.
class CaptionLog : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowTitleChange) {
            const QString caption = static_cast<QWidget*>(watched)->windowTitle();
            captions << caption;
            if (onCaption) onCaption(caption);
        }
        return false;
    }
    QStringList captions;
    std::function<void(const QString&)> onCaption;
};

// One command stopped with Escape.
struct StopCase {
    Qt::Key key;
    QString answer;  // F8's text; F7's question is answered OK
    QStringList files;
    QString tip;  // while the first file operation is held
    QString message;
    QStringList onDisk;
};

class DuplicatesWindow : public WindowTest {
protected:
    DuplicatesWindow() { fileOperations = &gated; }
    // A test that failed half way leaves no search waiting at the gate for good.
    ~DuplicatesWindow() override {
        gated.gate.release(1000);
        window.reset();
    }

    // The window over roms holding "name=content" files, listed by the emulator's mask.
    void open(const QStringList& entries) {
        program("Nestopia");
        for (const QString& e : entries)
            emu.write("roms/" + e.section('=', 0, 0), e.section('=', 1).toUtf8());
        start(Shown::Active);
        window->installEventFilter(&log);
    }
    QString roms() const { return folder() + "roms/"; }

    GatedFiles gated{localFiles};
    CaptionLog log;
};

TEST_F(DuplicatesWindow, ProgressReachesTheCaptionWhileTheWindowAnswersKeys) {
    open({"a.nes=one", "b.nes=two", "c.nes=two"});
    ASSERT_EQ(listed(), (QStringList{"a.nes", "b.nes", "c.nes"}));
    const QString caption = window->windowTitle();

    // The question says how many would go; counting them moves nothing.
    dialogs.messageAnswers = {platform::MessageAnswer::Cancel};
    press(Qt::Key_F7);
    waitForMessages(1);
    EXPECT_EQ(dialogs.messages[0].text,
              "1 duplicate file in this folder would go to the trash. Remove it?");
    EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(onDisk(), (QStringList{"a.nes", "b.nes", "c.nes"}));
    EXPECT_EQ(listed(), (QStringList{"a.nes", "b.nes", "c.nes"}));
    EXPECT_TRUE(trashed().isEmpty());
    EXPECT_EQ(window->windowTitle(), caption);
    log.captions.clear();

    press(Qt::Key_F7);
    waitForMessages(2);
    // The search now waits inside the removal of c.nes; the window's thread is free.
    gated.entered.acquire();
    QApplication::processEvents();
    EXPECT_TRUE(log.captions.contains("Calculating file size... 3/3"))
        << log.captions.join('|').toStdString();
    EXPECT_EQ(log.captions.last(), "Removing duplicate files... ");
    EXPECT_EQ(files()->listIndex(), 1);  // b.nes, the row whose copies are looked for

    press(Qt::Key_Down);
    EXPECT_EQ(files()->listIndex(), 2);
    press(Qt::Key_F7);  // refused while the search runs: nothing is asked
    EXPECT_EQ(dialogs.messages.size(), 2);

    gated.gate.release();
    waitForMessages(3);
    EXPECT_EQ(dialogs.messages[2].text, "1 Duplicate Removed.\n" + roms() + "c.nes -> b.nes\n");
    EXPECT_TRUE(log.captions.contains("Removing duplicate files... 1 file found"))
        << log.captions.join('|').toStdString();
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_EQ(onDisk(), (QStringList{"a.nes", "b.nes"}));
    EXPECT_EQ(trashed(), QStringList{"c.nes"});
    EXPECT_EQ(listed(), (QStringList{"a.nes", "b.nes"}));
}

// The caption is back once the search is told to stop, before its removal ends; nothing after.
TEST_F(DuplicatesWindow, ClosingTheWindowEndsTheSearchAfterTheRemovalUnderWay) {
    open({"a.nes=same", "b.nes=same", "c.nes=same", "d.nes=same", "e.nes=other"});
    const QString caption = window->windowTitle();
    press(Qt::Key_F7);
    waitForMessages(1);
    EXPECT_EQ(dialogs.messages[0].text,
              "3 duplicate files in this folder would go to the trash. Remove them?");
    gated.entered.acquire();  // inside the removal of d.nes, the first from the end
    QApplication::processEvents();
    ASSERT_EQ(window->windowTitle(), "Removing duplicate files... ");
    log.onCaption = [&](const QString& shown) {
        if (shown == caption) gated.gate.release();
    };
    window->close();

    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[1].text, "1 Duplicate Removed.\n" + roms() + "d.nes -> a.nes\n");
    EXPECT_EQ(onDisk(), (QStringList{"a.nes", "b.nes", "c.nes", "e.nes"}));
    EXPECT_EQ(trashed(), QStringList{"d.nes"});
    EXPECT_EQ(window->windowTitle(), caption);
    // What the search had posted before it ended shows nowhere.
    QApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_EQ(dialogs.messages.size(), 2);
}

// Escape stops the command after its file operation; meanwhile other commands are refused.
class EscapeStops : public DuplicatesWindow, public ::testing::WithParamInterface<StopCase> {};

TEST_P(EscapeStops, TheCommandAfterTheFileOperationUnderWay) {
    const StopCase& c = GetParam();
    gated.gatesRenames = c.key == Qt::Key_F8;
    open(c.files);
    dialogs.inputAnswers = {c.answer};
    press(c.key);
    if (c.key == Qt::Key_F7) waitForMessages(1);  // the count's question
    const qsizetype asked = dialogs.messages.size();
    gated.entered.acquire();
    QApplication::processEvents();
    EXPECT_TRUE(holds(files()->toolTip(), c.tip));

    press(Qt::Key_F9);  // the dump tag would rename a file the command works on
    EXPECT_TRUE(holds(files()->toolTip(), "Busy"));
    press(Qt::Key_Escape);
    EXPECT_TRUE(window->findChild<QWidget*>("dirList")->isHidden());  // not the folder lists
    gated.gate.release();
    waitForMessages(asked + 1);
    EXPECT_EQ(dialogs.messages.last().text, QString(c.message).replace("<roms>", roms()));
    EXPECT_EQ(onDisk(), c.onDisk);
    EXPECT_FALSE(holds(files()->toolTip(), "Escape"));
}

INSTANTIATE_TEST_SUITE_P(
    DuplicatesWindow, EscapeStops,
    ::testing::Values(
        StopCase{Qt::Key_F7,
                 {},
                 {"a.nes=same", "b.nes=same", "c.nes=same", "d.nes=same"},
                 "Removing duplicates... ",
                 "Stopped before the end.\n1 Duplicate Removed.\n<roms>d.nes -> a.nes\n",
                 {"a.nes", "b.nes", "c.nes"}},
        StopCase{Qt::Key_F8,
                 "(J)",
                 {"Alpha (J).nes=1", "Beta (J).nes=2", "Gamma (J).nes=3"},
                 "Renaming... 0 of 3 (Escape stops)",
                 "Stopped after 1 of 3 names.\n1 File Renamed",
                 {"Alpha (J).nes", "Beta (J).nes", "Gamma.nes"}}));

// The window gone while the search is inside a removal (the sanitizers watch the search).
TEST_F(DuplicatesWindow, ASearchOutlivedByNothingOfTheWindow) {
    open({"a.nes=same", "b.nes=same", "c.nes=same"});
    press(Qt::Key_F7);
    waitForMessages(1);
    gated.entered.acquire();
    gated.gate.release();
    window.reset();
    EXPECT_TRUE(emu.exists("roms/a.nes"));
    QStringList went{"b.nes", "c.nes"};
    for (const QString& n : onDisk())
        went.removeAll(n);
    EXPECT_EQ(trashed(), went);
    EXPECT_EQ(dialogs.messages.size(), 1);  // no message from a window that is gone
}

}  // namespace
