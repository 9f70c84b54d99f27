#pragma once

// A play clock that moves only when a test moves it: the monotonic milliseconds a session's
// length is counted in, and the wall seconds its start is stamped with.

#include "library/PlaySession.h"

class StepClock final : public library::PlayClock {
public:
    StepClock(qint64 monotonicStart, qint64 wallStart) : mono(monotonicStart), wall(wallStart) {}
    qint64 monotonicMs() const override { return mono; }
    qint64 wallSeconds() const override { return wall; }
    qint64 mono;
    qint64 wall;
};
