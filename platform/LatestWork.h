#pragma once

// Work for the window done on a thread of its own, one piece at a time, where only the
// newest piece matters: the selected game's preview, the folder list of the folder shown.
// A piece given replaces the one still waiting; a finished piece hands back a call that
// runs on the owner's thread, and only if no newer piece was given meanwhile.
//
// The thread is never joined: a call into a share that stopped answering can hold it in
// the kernel for ever. It holds its own state, and once this object is gone it calls
// nothing back and ends at its next step. Where the pieces keep no state of their own
// between them, a piece held that long need not hold up the next: a new thread takes the
// next piece, and the held one is left behind as if this object were gone.

#include "platform/QueuedCalls.h"

#include <functional>
#include <memory>

namespace platform {

class LatestWork {
public:
    // What the thread runs: `wanted` says whether it is still the newest piece (long work
    // may stop early); it returns the call for the owner's thread, or nothing.
    using Work = std::function<std::function<void()>(const std::function<bool()>& wanted)>;

    // Calls back on the thread that makes it. `leaveHeldAfterMs`: a piece given while
    // another has run longer than that goes to a new thread (-1: never; pieces that share
    // state between them must not run side by side).
    explicit LatestWork(int leaveHeldAfterMs = -1);
    ~LatestWork();
    LatestWork(const LatestWork&) = delete;
    LatestWork& operator=(const LatestWork&) = delete;

    // Replaces the piece still waiting, if any.
    void give(Work work);
    // Whether the newest piece's call is still to come (on the owner's thread).
    bool pending() const { return m_pending; }

private:
    struct Shared;
    void startThread();
    // The thread calls nothing back from now on, and ends at its next step.
    void leaveThread();
    // The piece waiting behind one held past the limit goes to a new thread.
    void moveWaitingOffHeldThread();
    void lookAgainIn(qint64 ms);

    int m_leaveHeldAfterMs;
    std::shared_ptr<Shared> m_shared;
    QueuedCalls m_calls;
    quint64 m_latest = 0;
    bool m_pending = false;
};

}  // namespace platform
