#pragma once

// Calls handed from worker threads to the thread an object lives on (the window's).
//
// Qt can queue a lambda itself, but then the lambda crosses threads inside Qt's event
// queue, under locks the thread checker cannot see, and every hand-over looks like a data
// race to it. Here the calls wait under a lock of our own, and Qt's event only says that
// some are waiting.

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace platform {

class QueuedCalls : public QObject {
    Q_OBJECT

public:
    explicit QueuedCalls(QObject* parent = nullptr) : QObject(parent) {}

    // Runs `call` on this object's thread, after the calls posted before it; from any
    // thread. Calls still waiting when this object goes are dropped.
    void post(std::function<void()> call);
    // Forgets the calls still waiting (on this object's thread).
    void dropWaiting();

private slots:
    void runWaiting();

private:
    std::mutex m_lock;
    std::deque<std::function<void()>> m_waiting;
};

}  // namespace platform
