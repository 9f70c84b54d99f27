#include "platform/LatestWork.h"

#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace platform {

namespace {
qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

struct LatestWork::Shared {
    std::mutex lock;
    std::condition_variable wake;
    // Under the lock. Once `owner` is null the thread calls nothing more.
    LatestWork* owner = nullptr;
    std::optional<std::pair<quint64, Work>> waiting;
    std::atomic<quint64> latest{0};
    // When the piece under way began (steady clock, ms); -1 while none runs.
    std::atomic<qint64> runningSince{-1};

    void run();
};

void LatestWork::Shared::run() {
    for (;;) {
        std::pair<quint64, Work> next;
        {
            std::unique_lock<std::mutex> hold(lock);
            wake.wait(hold, [this] { return !owner || waiting; });
            if (!owner) return;
            next = std::move(*waiting);
            waiting.reset();
        }
        const quint64 serial = next.first;
        const auto wanted = [this, serial] { return latest.load() == serial; };
        runningSince = nowMs();
        std::function<void()> done = next.second(wanted);
        runningSince = -1;
        std::lock_guard<std::mutex> hold(lock);
        if (!owner) return;
        if (!done || !wanted()) continue;
        LatestWork* to = owner;
        to->m_calls.post([to, serial, done = std::move(done)] {
            // A newer piece given since this one was posted makes it old news.
            if (serial != to->m_latest) return;
            to->m_pending = false;
            done();
        });
    }
}

LatestWork::LatestWork(int leaveHeldAfterMs) : m_leaveHeldAfterMs(leaveHeldAfterMs) {
    startThread();
}

void LatestWork::startThread() {
    m_shared = std::make_shared<Shared>();
    m_shared->owner = this;
    m_shared->latest = m_latest;
    // The thread holds the shared state: it outlives this when a share holds it.
    std::thread([shared = m_shared] { shared->run(); }).detach();
}

void LatestWork::leaveThread() {
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        m_shared->owner = nullptr;
        m_shared->waiting.reset();
        ++m_shared->latest;
    }
    m_shared->wake.notify_one();
}

void LatestWork::moveWaitingOffHeldThread() {
    Work work;
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        if (!m_shared->waiting) return;
        const qint64 since = m_shared->runningSince.load();
        if (since < 0) return;  // the thread is free again and takes it
        const qint64 held = nowMs() - since;
        if (held <= m_leaveHeldAfterMs) {
            lookAgainIn(m_leaveHeldAfterMs - held + 1);
            return;
        }
        work = std::move(m_shared->waiting->second);
        m_shared->waiting.reset();
    }
    give(std::move(work));
}

void LatestWork::lookAgainIn(qint64 ms) {
    QTimer::singleShot(int(ms), Qt::PreciseTimer, &m_calls, [this] { moveWaitingOffHeldThread(); });
}

LatestWork::~LatestWork() {
    leaveThread();
    m_calls.dropWaiting();
}

void LatestWork::give(Work work) {
    if (m_leaveHeldAfterMs >= 0) {
        const qint64 since = m_shared->runningSince.load();
        const qint64 held = since >= 0 ? nowMs() - since : -1;
        if (held > m_leaveHeldAfterMs) {
            // The piece under way is held (a share that stopped answering): it is left to
            // end on its own, and a thread of its own takes this one.
            leaveThread();
            startThread();
        } else if (held >= 0) {
            // This one waits behind it; looked at again once that one has run too long.
            lookAgainIn(m_leaveHeldAfterMs - held + 1);
        }
    }
    const quint64 serial = ++m_latest;
    m_pending = true;
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        m_shared->latest.store(serial);
        m_shared->waiting.emplace(serial, std::move(work));
    }
    m_shared->wake.notify_one();
}

}  // namespace platform
