// A games folder on a share that answers slowly, or not at all: the window shows and
// answers keys while the folder is read, and closes while a call to the share hangs.

#include "gifview/GifBuilder.h"
#include "gifview/ui/GifView.h"
#include "launcher/games/PlayHistory.h"
#include "launcher/ui/WindowFixture.h"
#include "launcher/window/FolderNavigation.h"
#include "library/LibraryDb.h"
#include "support/SlowShare.h"
#include "support/StepClock.h"

#include <QElapsedTimer>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

#ifdef SLOW_FS_PROGRAM
constexpr const char* kSlowFs = SLOW_FS_PROGRAM;
#else
constexpr const char* kSlowFs = nullptr;
#endif

// Lets a hung share go after `ms` unless it is gone first: a window's thread caught in the
// share then fails the test's timings instead of hanging the test.
class LetGoLater {
public:
    LetGoLater(support::SlowShare& share, int ms)
        : m_thread([this, &share, ms] {
              std::unique_lock<std::mutex> hold(m_lock);
              if (!m_wake.wait_for(hold, std::chrono::milliseconds(ms), [this] { return m_over; }))
                  share.letGo();
          }) {}
    ~LetGoLater() {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_over = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_over = false;
    std::thread m_thread;
};

class ShareWindowTest : public WindowTest {
protected:
    // `act`, and the events it leaves, take less than `ms`.
    static void answersWithin(const char* what, const std::function<void()>& act, int ms = 100) {
        QElapsedTimer clock;
        clock.start();
        act();
        QCoreApplication::processEvents();
        EXPECT_LT(clock.elapsed(), ms) << what;
    }
    void closesWithinASecond() {
        QElapsedTimer clock;
        clock.start();
        window->close();
        window.reset();
        EXPECT_LT(clock.elapsed(), 1000);
    }
    // Nestopia's games folder served from `games` through the slow share.
    std::unique_ptr<support::SlowShare> mountGames(int count, int delayUs) {
        program(QStringLiteral("Nestopia"));
        for (int i = 0; i < count; ++i)
            games.write(QStringLiteral("game %1.nes").arg(i, 5, 10, QLatin1Char('0')), "x");
        emu.mkdir(QStringLiteral("roms"));
        auto share =
            std::make_unique<support::SlowShare>(kSlowFs, games.path(), emu.file("roms"), delayUs);
        readsFoldersInBackground = true;
        return share;
    }
    TempFolder games;
};

TEST_F(ShareWindowTest, WindowShowsAndAnswersKeysWhileTheFolderIsRead) {
    const auto share = mountGames(1000, 1000);
    if (!share->mounted()) GTEST_SKIP() << "FUSE cannot be mounted here (needs root)";
    start(Shown::Active);
    // Shown before the lengths and dates of a thousand games could have come.
    EXPECT_TRUE(files()->folderList().reading());
    EXPECT_TRUE(files()->toolTip().startsWith("Reading " + emu.file("roms")))
        << files()->toolTip().toStdString();
    QTest::keyClicks(commandLine(), "-fullscreen");
    EXPECT_EQ(commandLine()->text(), "-fullscreen");

    // The names come first: the first game is chosen, and Enter starts it while the
    // lengths and dates are still being read.
    ASSERT_TRUE(QTest::qWaitFor([&] { return files()->folderList().namesKnown(); }, 20000));
    ASSERT_EQ(files()->listCount(), 1000);
    EXPECT_EQ(files()->listIndex(), 0);
    files()->setFocus();
    QTest::keyClick(files()->currentView(), Qt::Key_Down);
    EXPECT_EQ(files()->listIndex(), 1);
    launch();
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_TRUE(shell.started[0].arguments.join(' ').contains("game 00001.nes"));

    ASSERT_TRUE(QTest::qWaitFor([&] { return !files()->folderList().reading(); }, 60000));
    EXPECT_EQ(files()->model().subItemText(999, 4), "1");
    EXPECT_EQ(files()->toolTip(), "1000 Files");
}

TEST_F(ShareWindowTest, HungShareIsSaidAndTheWindowStillCloses) {
    const auto share = mountGames(10, 0);
    if (!share->mounted()) GTEST_SKIP() << "FUSE cannot be mounted here (needs root)";
    // Read once while it answers, so the next start has the folder's index.
    start(Shown::Active);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !files()->folderList().reading(); }, 20000));
    files()->setFocus();
    QTest::keyClick(files()->currentView(), Qt::Key_End);
    window->close();
    window.reset();

    share->hang();
    start(Shown::Active);
    // What was known is shown, with the game chosen last, and the list says the share does
    // not answer.
    ASSERT_TRUE(QTest::qWaitFor([&] { return files()->listCount() == 10; }, 5000));
    EXPECT_EQ(files()->listIndex(), 9);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return files()->toolTip() == emu.file("roms") + " does not answer"; },
                        FileListView::kNoAnswerMs + 5000))
        << files()->toolTip().toStdString();
    files()->setFocus();
    QTest::keyClick(files()->currentView(), Qt::Key_Up);
    EXPECT_EQ(files()->listIndex(), 8);
    QTest::keyClicks(commandLine(), "x");
    EXPECT_EQ(commandLine()->text(), "x");

    // The reader stays stuck in the share; the window neither waits for it nor leaves it
    // anything that goes with the window.
    closesWithinASecond();
}

// The share stops answering once its games are listed: moving the selection, the preview
// and opening the folder lists each answer at once, and the window still closes.
TEST_F(ShareWindowTest, AShareHungAfterItsNamesKeepsEveryKeyAnswered) {
    const auto share = mountGames(20, 0);
    if (!share->mounted()) GTEST_SKIP() << "FUSE cannot be mounted here (needs root)";
    start(Shown::Active);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !files()->folderList().reading(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->picturePending(); }, 5000));
    share->hang();
    files()->setFocus();
    answersWithin("Down", [&] { QTest::keyClick(files()->currentView(), Qt::Key_Down); });
    EXPECT_EQ(files()->listIndex(), 1);
    EXPECT_EQ(title()->text(), "game 00001");
    answersWithin("End", [&] { QTest::keyClick(files()->currentView(), Qt::Key_End); });
    EXPECT_EQ(title()->text(), "game 00019");
    answersWithin("the folder lists",
                  [&] { QTest::keyClick(files()->currentView(), Qt::Key_Escape); });
    EXPECT_TRUE(folderList()->isVisible());
    EXPECT_EQ(window->folderListPath(), emu.file("roms"));
    ASSERT_GT(folderList()->count(), 0);
    EXPECT_EQ(folderList()->currentItem()->text(), "roms");
    closesWithinASecond();
}

// The history's journal thread, held by the hung share's ".rombard", keeps neither the
// window nor the history from closing.
TEST_F(ShareWindowTest, AJournalThreadHeldByTheShareIsLeftBehind) {
    NothingRuns nothing;
    TempFolder data;
    library::LibraryDb db;
    ASSERT_TRUE(db.open(data.file(QStringLiteral("library.sqlite3"))).ok);
    StepClock clock{1'000'000, 1'750'000'000};
    auto plays = std::make_unique<PlayHistory>(db, clock, nothing);
    plays->shareThroughJournals(QByteArray(32, 'a'));
    history = plays.get();

    const auto share = mountGames(10, 0);
    if (!share->mounted()) GTEST_SKIP() << "FUSE cannot be mounted here (needs root)";
    share->hang();
    start(Shown::Active);
    QTest::qWait(300);  // the journal thread is in the share by now

    QElapsedTimer clock2;
    clock2.start();
    window->close();
    window.reset();
    plays.reset();
    EXPECT_LT(clock2.elapsed(), 1000);
}

// The selected game's GIF comes whole from the preview's thread: its frames are drawn from
// memory, so a share that stops answering while it plays holds nothing up.
TEST_F(ShareWindowTest, AGifPlaysOnWhenItsShareStopsAnswering) {
    const auto share = mountGames(3, 0);
    if (!share->mounted()) GTEST_SKIP() << "FUSE cannot be mounted here (needs root)";
    GifBuilder gif(8, 8, {qRgb(255, 0, 0), qRgb(0, 0, 255)});
    gif.loops(0);
    for (int frame = 0; frame < 40; ++frame)
        gif.control(0, 2).image(0, 0, 8, 8, std::vector<std::uint8_t>(64, frame % 2));
    games.write(QStringLiteral("game 00000.gif"), gif.bytes());
    start(Shown::Active);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !files()->folderList().reading(); }, 20000));
    auto* animation = control<GifView>("AniGIF");
    ASSERT_TRUE(QTest::qWaitFor([&] { return animation->isVisible(); }, 5000));
    share->hang();
    const LetGoLater rescue(*share, 3000);
    // Frames are drawn meanwhile: none waits for the share.
    answersWithin(
        "the frames", [] { QTest::qWait(300); }, 400);
    files()->setFocus();
    answersWithin("Down", [&] { QTest::keyClick(files()->currentView(), Qt::Key_Down); });
    EXPECT_EQ(files()->listIndex(), 1);
    closesWithinASecond();
}

// Walking the folder lists: a folder on the hung share shows the way to it at once, and the
// looks at it, held by the share, hold up neither the keys nor the other folders' rows.
TEST_F(ShareWindowTest, TheFolderListsWalkOnPastAHungShare) {
    const auto share = mountGames(5, 0);
    if (!share->mounted()) GTEST_SKIP() << "FUSE cannot be mounted here (needs root)";
    start(Shown::Active);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !files()->folderList().reading(); }, 20000));
    share->hang();
    const LetGoLater rescue(*share, 3000);
    files()->setFocus();
    answersWithin("Escape", [&] { QTest::keyClick(files()->currentView(), Qt::Key_Escape); });
    ASSERT_EQ(window->folderListPath(), emu.file("roms"));
    folderList()->setFocus();
    answersWithin("Backspace", [&] { QTest::keyClick(folderList(), Qt::Key_Backspace); });
    EXPECT_EQ(window->folderListPath(), emu.path());
    const int ancestors = int(ancestorsOf(emu.path()).size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return folderList()->count() > ancestors; }, 2000));
    for (int row = ancestors; row < folderList()->count(); ++row)
        if (folderList()->item(row)->text() == "roms") folderList()->setCurrentRow(row);
    answersWithin("Enter", [&] { QTest::keyClick(folderList(), Qt::Key_Return); });
    EXPECT_EQ(window->folderListPath(), emu.file("roms"));
    EXPECT_EQ(folderList()->count(), ancestors + 1);  // the way there; its rows are to come
    closesWithinASecond();
}

// F2 on a game of the hung share: whether the game is still there is asked off the
// window's thread, nothing is asked of the user before the share answers, and another file
// command is refused meanwhile.
TEST_F(ShareWindowTest, AFileCommandWaitingForTheShareLeavesTheWindowAnswering) {
    const auto share = mountGames(5, 0);
    if (!share->mounted()) GTEST_SKIP() << "FUSE cannot be mounted here (needs root)";
    start(Shown::Active);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !files()->folderList().reading(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->picturePending(); }, 5000));
    share->hang();
    const LetGoLater rescue(*share, 3000);
    files()->setFocus();
    answersWithin("F2", [&] { QTest::keyClick(files()->currentView(), Qt::Key_F2); });
    EXPECT_TRUE(dialogs.inputs.isEmpty());
    answersWithin("Delete", [&] { QTest::keyClick(files()->currentView(), Qt::Key_Delete); });
    EXPECT_TRUE(files()->toolTip().endsWith("Busy: wait")) << files()->toolTip().toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    answersWithin("Down", [&] { QTest::keyClick(files()->currentView(), Qt::Key_Down); });
    EXPECT_EQ(files()->listIndex(), 1);
    closesWithinASecond();
}

}  // namespace
