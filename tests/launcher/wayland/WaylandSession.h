#pragma once

// Whether the tests of this program run on the weston their main started.
struct WaylandSession {
    enum class State { NoWeston, Failed, Running };
    static State state;
};

// Skips a test where weston is not installed, fails it where weston would not start.
#define REQUIRE_WAYLAND()                                                \
    do {                                                                 \
        if (WaylandSession::state == WaylandSession::State::NoWeston)    \
            GTEST_SKIP() << "weston is not installed";                   \
        ASSERT_EQ(WaylandSession::state, WaylandSession::State::Running) \
            << "weston did not start";                                   \
    } while (false)
