#include "platform/LatestWork.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace platform {

struct LatestWork::Shared {
    std::mutex lock;
    std::condition_variable wake;
    // Under the lock. Once `owner` is null the thread calls nothing more.
    LatestWork* owner = nullptr;
    std::optional<std::pair<quint64, Work>> waiting;
    std::atomic<quint64> latest{0};

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
        std::function<void()> done = next.second(wanted);
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

LatestWork::LatestWork() : m_shared(std::make_shared<Shared>()) {
    m_shared->owner = this;
    // The thread holds the shared state: it outlives this when a share holds it.
    std::thread([shared = m_shared] { shared->run(); }).detach();
}

LatestWork::~LatestWork() {
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        m_shared->owner = nullptr;
        m_shared->waiting.reset();
        ++m_shared->latest;
    }
    m_shared->wake.notify_one();
    m_calls.dropWaiting();
}

void LatestWork::give(Work work) {
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
