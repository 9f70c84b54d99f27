#include "library/PlaySession.h"

#include "library/LibraryDb.h"

#include <ctime>

namespace library {

qint64 SystemPlayClock::monotonicMs() const {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

qint64 SystemPlayClock::wallSeconds() const {
    return static_cast<qint64>(::time(nullptr));
}

bool PlaySession::begin(const QByteArray& path, const QString& emulator) {
    end();
    m_startMs = m_writtenMs = m_clock.monotonicMs();
    m_id = m_db.beginSession(path, emulator, m_clock.wallSeconds());
    return m_id.has_value();
}

qint64 PlaySession::elapsedSeconds() const {
    return m_id ? (m_clock.monotonicMs() - m_startMs) / 1000 : 0;
}

bool PlaySession::tick() {
    if (!m_id) return true;
    const qint64 now = m_clock.monotonicMs();
    if (now - m_writtenMs < kRefreshSeconds * 1000) return true;
    // A failed write is tried again at the next tick.
    if (!m_db.setSessionSeconds(*m_id, (now - m_startMs) / 1000)) return false;
    m_writtenMs = now;
    return true;
}

bool PlaySession::end() {
    if (!m_id) return true;
    const bool written = m_db.setSessionSeconds(*m_id, elapsedSeconds());
    m_id.reset();
    return written;
}

}  // namespace library
