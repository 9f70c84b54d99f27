#include "platform/QueuedCalls.h"

#include <QCoreApplication>

namespace platform {

void QueuedCalls::post(std::function<void()> call) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_waiting.push_back(std::move(call));
    // One event for all the calls that come before it is handled.
    if (m_waiting.size() == 1) QMetaObject::invokeMethod(this, "runWaiting", Qt::QueuedConnection);
}

void QueuedCalls::dropWaiting() {
    std::deque<std::function<void()>> dropped;
    std::lock_guard<std::mutex> hold(m_lock);
    dropped.swap(m_waiting);
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

void QueuedCalls::runWaiting() {
    std::deque<std::function<void()>> calls;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        calls.swap(m_waiting);
    }
    // Nothing of this object is touched from here on: a call may end its owner, and it.
    for (const std::function<void()>& call : calls)
        call();
}

}  // namespace platform
