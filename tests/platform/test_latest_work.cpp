#include "platform/LatestWork.h"
#include "platform/QueuedCalls.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Wanted = std::function<bool()>;

// Pieces given while one runs replace each other: the last alone runs next, and answers.
TEST(LatestWork, OnlyTheNewestPieceIsAnswered) {
    platform::LatestWork work;
    std::atomic<bool> release{false}, started{false};
    std::atomic<int> ran{0};
    QList<int> answered;
    work.give([&](const Wanted& wanted) -> std::function<void()> {
        started = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++ran;
        EXPECT_FALSE(wanted());  // newer pieces came while it ran
        return [&] { answered << 1; };
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 5000));
    for (int piece = 2; piece <= 4; ++piece)
        work.give([&, piece](const Wanted&) -> std::function<void()> {
            ++ran;
            return [&, piece] { answered << piece; };
        });
    EXPECT_TRUE(work.pending());
    release = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !work.pending(); }, 5000));
    QTest::qWait(20);
    EXPECT_EQ(answered, QList<int>{4});
    EXPECT_EQ(ran.load(), 2);
}

// A piece held for ever: the end never waits, a limit passed lets the next run; no answer.
TEST(LatestWork, AHeldPieceIsLeftBehind) {
    for (const bool limited : {false, true}) {
        SCOPED_TRACE(limited);
        auto held = std::make_shared<std::atomic<bool>>(true);
        auto started = std::make_shared<std::atomic<bool>>(false);
        auto called = std::make_shared<std::atomic<bool>>(false);
        auto work = std::make_unique<platform::LatestWork>(limited ? 200 : -1);
        work->give([held, called, started](const Wanted&) -> std::function<void()> {
            *started = true;
            while (*held)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return [called] { *called = true; };
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return started->load(); }, 5000));
        QElapsedTimer clock;
        clock.start();
        int answered = 0;
        if (limited) {
            work->give([&](const Wanted&) -> std::function<void()> { return [&] { ++answered; }; });
            ASSERT_TRUE(QTest::qWaitFor([&] { return !work->pending(); }, 5000));
            EXPECT_GE(clock.elapsed(), 150);
            EXPECT_EQ(answered, 1);
        } else {
            work.reset();
            EXPECT_LT(clock.elapsed(), 100);
        }
        *held = false;
        QTest::qWait(50);
        EXPECT_FALSE(called->load());
    }
}

// Calls from several threads run on the object's thread, in each poster's order, not before.
TEST(QueuedCalls, RunOnTheirThreadInEachPostersOrder) {
    platform::QueuedCalls calls;
    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::vector<std::vector<int>> seen(kThreads);  // the window's thread's alone
    const std::thread::id here = std::this_thread::get_id();
    bool elsewhere = false;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                calls.post([&, t, i] {
                    elsewhere = elsewhere || std::this_thread::get_id() != here;
                    seen[t].push_back(i);
                });
        });
    for (std::thread& p : posters)
        p.join();
    for (const std::vector<int>& s : seen)
        EXPECT_TRUE(s.empty());
    QCoreApplication::processEvents();
    EXPECT_FALSE(elsewhere);
    for (const std::vector<int>& s : seen) {
        ASSERT_EQ(s.size(), size_t(kEach));
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(s[i], i);
    }
}

// Calls still waiting when they are dropped, or when their object goes, never run.
TEST(QueuedCalls, DroppedOrOrphanedCallsNeverRun) {
    int ran = 0;
    {
        platform::QueuedCalls calls;
        std::thread([&] { calls.post([&] { ++ran; }); }).join();
        calls.dropWaiting();
        QCoreApplication::processEvents();
        EXPECT_EQ(ran, 0);
        calls.post([&] { ++ran; });  // still usable after a drop
        QCoreApplication::processEvents();
        EXPECT_EQ(ran, 1);
    }
    auto calls = std::make_unique<platform::QueuedCalls>();
    std::thread([&] { calls->post([&] { ++ran; }); }).join();
    calls.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 1);
}

}  // namespace
