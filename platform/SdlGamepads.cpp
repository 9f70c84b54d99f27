#include "platform/SdlGamepads.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <map>

namespace platform {

namespace {

// How often SDL reads the pads: often while they are in use, so a press is never felt late;
// less often once they have rested a while (a first press then waits at most as long as a
// television takes to show a frame); with none plugged in, only plugging in is waited for.
// Each reading costs tens of microseconds, so resting costs well under half a percent of a
// core.
constexpr auto kBusyPoll = std::chrono::milliseconds(10);
constexpr auto kRestingPoll = std::chrono::milliseconds(30);
constexpr auto kRestAfter = std::chrono::seconds(1);
constexpr auto kNoPadPoll = std::chrono::milliseconds(250);

PadButton buttonOf(Uint8 button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_A:
            return PadButton::South;
        case SDL_CONTROLLER_BUTTON_B:
            return PadButton::East;
        case SDL_CONTROLLER_BUTTON_X:
            return PadButton::West;
        case SDL_CONTROLLER_BUTTON_Y:
            return PadButton::North;
        case SDL_CONTROLLER_BUTTON_BACK:
            return PadButton::Back;
        case SDL_CONTROLLER_BUTTON_GUIDE:
            return PadButton::Guide;
        case SDL_CONTROLLER_BUTTON_START:
            return PadButton::Start;
        case SDL_CONTROLLER_BUTTON_LEFTSTICK:
            return PadButton::LeftStick;
        case SDL_CONTROLLER_BUTTON_RIGHTSTICK:
            return PadButton::RightStick;
        case SDL_CONTROLLER_BUTTON_LEFTSHOULDER:
            return PadButton::LeftShoulder;
        case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER:
            return PadButton::RightShoulder;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            return PadButton::DpadUp;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            return PadButton::DpadDown;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            return PadButton::DpadLeft;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            return PadButton::DpadRight;
        default:
            return PadButton::Other;
    }
}

PadAxis axisOf(Uint8 axis) {
    switch (axis) {
        case SDL_CONTROLLER_AXIS_LEFTX:
            return PadAxis::LeftX;
        case SDL_CONTROLLER_AXIS_LEFTY:
            return PadAxis::LeftY;
        case SDL_CONTROLLER_AXIS_RIGHTX:
            return PadAxis::RightX;
        case SDL_CONTROLLER_AXIS_RIGHTY:
            return PadAxis::RightY;
        case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
            return PadAxis::LeftTrigger;
        case SDL_CONTROLLER_AXIS_TRIGGERRIGHT:
            return PadAxis::RightTrigger;
        default:
            return PadAxis::Other;
    }
}

// The pads SDL has opened for us, by instance id; only the pad thread touches it.
class OpenPads {
public:
    ~OpenPads() {
        for (const auto& [id, pad] : m_pads)
            SDL_GameControllerClose(pad.controller);
    }
    bool empty() const { return m_pads.empty(); }

    void take(const SDL_Event& e, std::vector<PadEvent>& out) {
        PadEvent p;
        switch (e.type) {
            case SDL_CONTROLLERDEVICEADDED: {
                SDL_GameController* c = SDL_GameControllerOpen(e.cdevice.which);
                if (!c) return;
                const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c));
                // SDL may announce a pad present at the start twice; the second open only
                // counted up SDL's own reference.
                if (m_pads.contains(id)) {
                    SDL_GameControllerClose(c);
                    return;
                }
                const char* name = SDL_GameControllerName(c);
                m_pads[id] = {c, QString::fromUtf8(name ? name : "")};
                p.kind = PadEvent::Kind::Added;
                p.pad = id;
                p.name = m_pads[id].name;
                break;
            }
            case SDL_CONTROLLERDEVICEREMOVED: {
                const auto it = m_pads.find(e.cdevice.which);
                if (it == m_pads.end()) return;
                p.kind = PadEvent::Kind::Removed;
                p.pad = it->first;
                p.name = it->second.name;
                SDL_GameControllerClose(it->second.controller);
                m_pads.erase(it);
                break;
            }
            case SDL_CONTROLLERBUTTONDOWN:
            case SDL_CONTROLLERBUTTONUP:
                if (!m_pads.contains(e.cbutton.which)) return;
                p.kind = PadEvent::Kind::Button;
                p.pad = e.cbutton.which;
                p.button = buttonOf(e.cbutton.button);
                p.pressed = e.type == SDL_CONTROLLERBUTTONDOWN;
                break;
            case SDL_CONTROLLERAXISMOTION:
                if (!m_pads.contains(e.caxis.which)) return;
                p.kind = PadEvent::Kind::Axis;
                p.pad = e.caxis.which;
                p.axis = axisOf(e.caxis.axis);
                p.value = std::clamp(e.caxis.value / 32767.0, -1.0, 1.0);
                break;
            default:
                return;
        }
        out.push_back(p);
    }

private:
    struct Pad {
        SDL_GameController* controller = nullptr;
        QString name;
    };
    std::map<SDL_JoystickID, Pad> m_pads;
};

qint64 steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

SdlGamepads::SdlGamepads(QString mappingsFile, std::function<qint64()> clock)
    : m_mappingsFile(std::move(mappingsFile)),
      m_clock(clock ? std::move(clock) : std::function<qint64()>(steadyMs)),
      m_thread([this] { run(); }) {}

SdlGamepads::~SdlGamepads() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

QString SdlGamepads::defaultMappingsFile() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Rombard/gamecontrollerdb.txt"));
}

bool SdlGamepads::waitUntilStarted() {
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_started; });
    return m_startedWell;
}

void SdlGamepads::setReceiver(QObject* context, std::function<void(const PadEvent&)> receive) {
    m_context = context;
    m_receive = std::move(receive);
    if (!m_context || !m_receive) return;
    for (const PadEvent& added : m_connected)
        m_receive(added);
}

qint64 SdlGamepads::nowMs() const {
    return m_clock();
}

void SdlGamepads::deliver() {
    std::vector<PadEvent> events;
    {
        std::lock_guard lock(m_mutex);
        events.swap(m_pending);
    }
    for (const PadEvent& e : events) {
        if (e.kind == PadEvent::Kind::Added) m_connected.push_back(e);
        if (e.kind == PadEvent::Kind::Removed)
            std::erase_if(m_connected, [&](const PadEvent& a) { return a.pad == e.pad; });
        // The receiver may set another in its place.
        if (m_context && m_receive) m_receive(e);
    }
}

void SdlGamepads::run() {
    // SDL must leave Ctrl+C and the session's end to Qt, and report pads whatever window
    // has the focus: the launcher itself decides when pad input counts.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    bool ok = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    // The user's mappings go in before the game controller part starts, which is when SDL
    // decides which of the pads already plugged in are game controllers.
    if (ok && QFileInfo(m_mappingsFile).isFile())
        SDL_GameControllerAddMappingsFromFile(QFile::encodeName(m_mappingsFile).constData());
    ok = ok && SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    {
        std::lock_guard lock(m_mutex);
        m_started = true;
        m_startedWell = ok;
    }
    m_wake.notify_all();
    if (ok) {
        OpenPads pads;
        auto lastEvent = std::chrono::steady_clock::now();
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            lock.unlock();
            std::vector<PadEvent> out;
            SDL_Event e;
            while (SDL_PollEvent(&e))
                pads.take(e, out);
            const auto now = std::chrono::steady_clock::now();
            if (!out.empty()) lastEvent = now;
            const auto poll = pads.empty()                   ? kNoPadPoll
                              : now - lastEvent < kRestAfter ? kBusyPoll
                                                             : kRestingPoll;
            lock.lock();
            if (!out.empty()) {
                const bool wake = m_pending.empty();
                m_pending.insert(m_pending.end(), out.begin(), out.end());
                if (wake) m_relay.post([this] { deliver(); });
            }
            m_wake.wait_for(lock, poll, [this] { return m_stop; });
        }
    }
    SDL_Quit();
}

}  // namespace platform
