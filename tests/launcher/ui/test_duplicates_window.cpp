// F7 from the file list: the search runs on a thread of its own while the window answers
// keys, its progress reaches the caption, and closing the window ends it after the removal
// under way, with nothing removed after that.

#include "launcher/ui/WindowFixture.h"

#include <QDir>
#include <QSemaphore>

#include <atomic>
#include <functional>

namespace {

// The test's trash, where the first removal waits, once it has begun, until the test
// opens the gate: the search is then held at a point the test knows.
class GatedFiles : public platform::FileOperations {
public:
    explicit GatedFiles(platform::FileOperations& files) : m_files(files) {}
    std::optional<QString> resolve(const QString& p) override { return m_files.resolve(p); }
    std::optional<qint64> fileSize(const QString& p) override { return m_files.fileSize(p); }
    std::optional<QDateTime> fileDate(const QString& p) override { return m_files.fileDate(p); }
    bool rename(const QString& from, const QString& to) override {
        return m_files.rename(from, to);
    }
    bool remove(const QString& path) override {
        if (m_removals++ == 0) {
            entered.release();
            gate.acquire();
        }
        return m_files.remove(path);
    }
    QString lastError() const override { return m_files.lastError(); }

    QSemaphore entered;
    QSemaphore gate;

private:
    platform::FileOperations& m_files;
    std::atomic<int> m_removals = 0;
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
        list = window->findChild<FileListView*>(QStringLiteral("Files"));
        ASSERT_TRUE(list);
        window->installEventFilter(&log);
    }
    void press(Qt::Key key) {
        list->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(list->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), key);
    }
    // Lets the window's thread run until the `count`-th message has been shown.
    void waitForMessage(qsizetype count) {
        while (dialogs.messages.size() < count)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QStringList inList() const {
        QStringList out;
        for (int i = 0; i < list->listCount(); ++i)
            out << list->list(i);
        return out;
    }
    QStringList onDisk() const { return QDir(emu.file("roms")).entryList(QDir::Files, QDir::Name); }
    QStringList trashed() const {
        return QDir(trashHome.file("Trash/files")).entryList(QDir::Files, QDir::Name);
    }
    QString roms() const { return folder() + "roms/"; }

    GatedFiles gated{localFiles};
    CaptionLog log;
    FileListView* list = nullptr;
};

TEST_F(DuplicatesWindow, ProgressReachesTheCaptionWhileTheWindowAnswersKeys) {
    open({"a.nes=one", "b.nes=two", "c.nes=two"});
    ASSERT_EQ(inList(), (QStringList{"a.nes", "b.nes", "c.nes"}));
    const QString caption = window->windowTitle();

    // The question says how many would go; counting them moves nothing.
    dialogs.messageAnswers = {platform::MessageAnswer::Cancel};
    press(Qt::Key_F7);
    waitForMessage(1);
    EXPECT_EQ(dialogs.messages[0].text,
              "1 duplicate file in this folder would go to the trash. Remove it?");
    EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(dialogs.messages[0].icon, platform::MessageIcon::Question);
    EXPECT_EQ(onDisk(), (QStringList{"a.nes", "b.nes", "c.nes"}));
    EXPECT_EQ(inList(), (QStringList{"a.nes", "b.nes", "c.nes"}));
    EXPECT_TRUE(trashed().isEmpty());
    EXPECT_EQ(window->windowTitle(), caption);
    log.captions.clear();

    press(Qt::Key_F7);
    waitForMessage(2);
    // The search now waits inside the removal of c.nes; the window's thread is free.
    gated.entered.acquire();
    QApplication::processEvents();
    EXPECT_TRUE(log.captions.contains("Calculating file size... 3/3"))
        << log.captions.join('|').toStdString();
    EXPECT_EQ(log.captions.last(), "Removing duplicate files... ");
    EXPECT_EQ(list->listIndex(), 1);  // b.nes, the row whose copies are looked for

    press(Qt::Key_Down);
    EXPECT_EQ(list->listIndex(), 2);
    press(Qt::Key_F7);  // refused while the search runs: nothing is asked
    EXPECT_EQ(dialogs.messages.size(), 2);

    gated.gate.release();
    waitForMessage(3);
    EXPECT_EQ(dialogs.messages[2].text, "1 Duplicate Removed.\n" + roms() + "c.nes -> b.nes\n");
    EXPECT_EQ(dialogs.messages[2].icon, platform::MessageIcon::Information);
    EXPECT_TRUE(log.captions.contains("Removing duplicate files... 1 file found"))
        << log.captions.join('|').toStdString();
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_EQ(onDisk(), (QStringList{"a.nes", "b.nes"}));
    EXPECT_EQ(trashed(), QStringList{"c.nes"});
    EXPECT_EQ(inList(), (QStringList{"a.nes", "b.nes"}));
}

// The caption comes back the moment the search is told to stop; only then may the
// removal under way end. Whatever the search would have done next stays undone.
TEST_F(DuplicatesWindow, ClosingTheWindowEndsTheSearchAfterTheRemovalUnderWay) {
    open({"a.nes=same", "b.nes=same", "c.nes=same", "d.nes=same", "e.nes=other"});
    const QString caption = window->windowTitle();
    press(Qt::Key_F7);
    waitForMessage(1);
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

// The window destroyed while the search is inside a removal: the search's thread ends
// without it (sanitizer builds catch any touch of the window after it is gone), and the
// copy that stays is never one that goes.
TEST_F(DuplicatesWindow, ASearchOutlivedByNothingOfTheWindow) {
    open({"a.nes=same", "b.nes=same", "c.nes=same"});
    press(Qt::Key_F7);
    waitForMessage(1);
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
