// A share that answers slowly or not at all: the window answers keys and still closes.

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
#include <stop_token>
#include <thread>

namespace {

#ifdef SLOW_FS_PROGRAM
constexpr const char* kSlowFs = SLOW_FS_PROGRAM;
#else
constexpr const char* kSlowFs = nullptr;
#endif

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
    // The window closed and gone, and then `after` done, within a second.
    void closesWithinASecond(const std::function<void()>& after = [] {}) {
        QElapsedTimer clock;
        clock.start();
        window->close();
        window.reset();
        after();
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
    // `count` games read and drawn, then the share hangs (let go after 3 s: timings fail).
    bool listedThenHung(int count) {
        share = mountGames(count, 0);
        if (!share->mounted()) return false;
        start(Shown::Active);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !files()->folderList().reading(); }, 20000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->picturePending(); }, 5000));
        share->hang();
        rescue = std::jthread([this](std::stop_token ended) {
            std::mutex lock;
            std::condition_variable_any wake;
            std::unique_lock hold(lock);
            wake.wait_for(hold, ended, std::chrono::seconds(3), [] { return false; });
            if (!ended.stop_requested()) share->letGo();
        });
        files()->setFocus();
        return true;
    }
    TempFolder games;
    std::unique_ptr<support::SlowShare> share;
    std::jthread rescue;
};

constexpr const char* kNoFuse = "FUSE cannot be mounted here (needs root)";

TEST_F(ShareWindowTest, WindowShowsAndAnswersKeysWhileTheFolderIsRead) {
    share = mountGames(1000, 1000);
    if (!share->mounted()) GTEST_SKIP() << kNoFuse;
    start(Shown::Active);
    // Shown before the lengths and dates of a thousand games could have come.
    EXPECT_TRUE(files()->folderList().reading());
    EXPECT_TRUE(begins(files()->toolTip(), "Reading " + emu.file("roms")));
    QTest::keyClicks(commandLine(), "-fullscreen");
    EXPECT_EQ(commandLine()->text(), "-fullscreen");

    // The names come first: Enter starts a game while the lengths are still being read.
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
    NothingRuns nothing;
    TempFolder data;
    library::LibraryDb db;
    ASSERT_TRUE(db.open(data.file(QStringLiteral("library.sqlite3"))).ok);
    StepClock clock{1'000'000, 1'750'000'000};
    auto plays = std::make_unique<PlayHistory>(db, clock, nothing);
    plays->shareThroughJournals(QByteArray(32, 'a'));
    history = plays.get();
    // Ended before the history's database goes: the thread left behind may still use it.
    const auto hung = mountGames(10, 0);
    if (!hung->mounted()) GTEST_SKIP() << kNoFuse;
    // Read once while it answers, so the next start has the folder's index.
    start(Shown::Active);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !files()->folderList().reading(); }, 20000));
    files()->setFocus();
    QTest::keyClick(files()->currentView(), Qt::Key_End);
    window->close();
    window.reset();

    hung->hang();
    start(Shown::Active);
    // What was known is shown, with the game chosen last, and the list says what is wrong.
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

    // The reader and the history's journal thread stay stuck in the share; neither waits.
    closesWithinASecond([&] { plays.reset(); });
}

// Hung once listed: the GIF plays on, every key answers at once, the window still closes.
TEST_F(ShareWindowTest, AShareHungAfterItsNamesKeepsEveryKeyAnswered) {
    GifBuilder gif(8, 8, {qRgb(255, 0, 0), qRgb(0, 0, 255)});
    gif.loops(0);
    for (int frame = 0; frame < 40; ++frame)
        gif.control(0, 2).image(0, 0, 8, 8, std::vector<std::uint8_t>(64, frame % 2));
    games.write(QStringLiteral("game 00000.gif"), gif.bytes());
    if (!listedThenHung(20)) GTEST_SKIP() << kNoFuse;
    ASSERT_TRUE(control<GifView>("AniGIF")->isVisible());
    answersWithin(
        "the frames", [] { QTest::qWait(300); }, 400);
    QWidget* list = files()->currentView();
    const auto key = [&](const char* what, Qt::Key k, QWidget* on) {
        answersWithin(what, [&] { QTest::keyClick(on, k); });
    };
    key("Down", Qt::Key_Down, list);
    EXPECT_EQ(files()->listIndex(), 1);
    EXPECT_EQ(title()->text(), "game 00001");
    key("End", Qt::Key_End, list);
    EXPECT_EQ(title()->text(), "game 00019");
    key("F2", Qt::Key_F2, list);
    EXPECT_TRUE(dialogs.inputs.isEmpty());
    key("Delete", Qt::Key_Delete, list);
    EXPECT_TRUE(files()->toolTip().endsWith("Busy: wait")) << files()->toolTip().toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty());

    key("Escape", Qt::Key_Escape, list);
    ASSERT_EQ(window->folderListPath(), emu.file("roms"));
    ASSERT_NE(folderList()->currentItem(), nullptr);
    EXPECT_EQ(folderList()->currentItem()->text(), "roms");
    folderList()->setFocus();
    key("Backspace", Qt::Key_Backspace, folderList());
    EXPECT_EQ(window->folderListPath(), emu.path());
    const int ancestors = int(ancestorsOf(emu.path()).size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return folderList()->count() > ancestors; }, 2000));
    for (int row = ancestors; row < folderList()->count(); ++row)
        if (folderList()->item(row)->text() == "roms") folderList()->setCurrentRow(row);
    key("Enter", Qt::Key_Return, folderList());
    EXPECT_EQ(window->folderListPath(), emu.file("roms"));
    EXPECT_EQ(folderList()->count(), ancestors + 1);
    closesWithinASecond();
}

}  // namespace
