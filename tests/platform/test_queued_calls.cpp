#include "platform/QueuedCalls.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace {

// Calls posted from several threads all run on the object's thread, each thread's in the
// order it posted them; none runs before the event loop does.
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
