#pragma once

// One play of a game, from its launch to the end of the emulator's last process: the row
// is written at once and its length brought up to date while it runs, so a launcher that
// is killed mid-game loses at most kRefreshSeconds.

#include <QByteArray>
#include <QString>

#include <optional>

namespace library {

class LibraryDb;

// The times a session is measured by.
class PlayClock {
public:
    virtual ~PlayClock() = default;
    // A clock that does not run while the machine sleeps, in milliseconds.
    virtual qint64 monotonicMs() const = 0;
    // The wall clock, in seconds since the epoch: when the play began.
    virtual qint64 wallSeconds() const = 0;
};

// CLOCK_MONOTONIC, which Linux stops during a suspend (CLOCK_BOOTTIME would count the
// night the laptop slept with a game open).
class SystemPlayClock final : public PlayClock {
public:
    qint64 monotonicMs() const override;
    qint64 wallSeconds() const override;
};

class PlaySession {
public:
    static constexpr int kRefreshSeconds = 30;

    PlaySession(LibraryDb& db, const PlayClock& clock) : m_db(db), m_clock(clock) {}
    ~PlaySession() { end(); }

    // Ends any session still running, then writes the new one's row. False when the row
    // could not be written (the play then goes unrecorded).
    bool begin(const QByteArray& path, const QString& emulator);
    // Called while the game runs; writes the length when kRefreshSeconds have passed
    // since it was last written. False when that write failed (it is tried again).
    bool tick();
    // Writes the final length; nothing when no session runs. False when the length could
    // not be written.
    bool end();
    bool running() const { return m_id.has_value(); }
    // The running session's row; -1 when none runs.
    qint64 id() const { return m_id.value_or(-1); }
    qint64 elapsedSeconds() const;

private:
    LibraryDb& m_db;
    const PlayClock& m_clock;
    std::optional<qint64> m_id;
    qint64 m_startMs = 0;
    qint64 m_writtenMs = 0;
};

}  // namespace library
