#pragma once

// Pads through SDL's game controller API (its built-in mapping database, the user's own
// mappings, plugging in and out), on a thread of their own: no SDL window, nothing of SDL
// on the caller's thread.

#include "platform/Gamepad.h"
#include "platform/QueuedCalls.h"

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

class SdlGamepads final : public Gamepads {
public:
    // mappingsFile: the user's mappings in SDL's format, loaded when present; they win over
    // SDL's own, while SDL_GAMECONTROLLERCONFIG in the environment wins over both.
    // clock: milliseconds for auto-repeat, a steady clock when empty (tests freeze it).
    explicit SdlGamepads(QString mappingsFile, std::function<qint64()> clock = {});
    ~SdlGamepads() override;

    // $XDG_CONFIG_HOME/Rombard/gamecontrollerdb.txt
    static QString defaultMappingsFile();
    // Blocks until SDL has taken the pads (or failed to); false when it failed, and no pad
    // is ever reported then.
    bool waitUntilStarted();

    void setReceiver(QObject* context, std::function<void(const PadEvent&)> receive) override;
    qint64 nowMs() const override;

private:
    void run();
    void deliver();

    const QString m_mappingsFile;
    std::function<qint64()> m_clock;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_started = false;
    bool m_startedWell = false;
    bool m_stop = false;
    std::vector<PadEvent> m_pending;  // from the pad thread, not yet delivered

    // On the constructing thread; queued deliveries end with it.
    QueuedCalls m_relay;
    std::vector<PadEvent> m_connected;  // the Added of every pad delivered and still in
    QPointer<QObject> m_context;
    std::function<void(const PadEvent&)> m_receive;
    std::thread m_thread;  // last: it starts once everything above exists
};

}  // namespace platform
