#include "platform/GamepadKeys.h"

#include <algorithm>
#include <iterator>

namespace platform {

namespace {

struct Typed {
    const char* keys;  // empty: the input types nothing
    bool repeats;
};

// The same keys a keyboard user presses, so every key route of the window works from the
// couch with no second code path. Start would open the folder picker, a dialog no pad can
// drive, so it types nothing.
// Indexed by GamepadKeys::Input, in its order.
Typed typedBy(int input) {
    static constexpr Typed kTable[] = {
        {"{ENTER}", false},   // South
        {"{ESC}", false},     // East
        {"^d", false},        // West
        {"{F1}", false},      // North
        {"+{RIGHT}", false},  // Back
        {"", false},          // Start
        {"{PGUP}", false},    // LeftShoulder
        {"{PGDN}", false},    // RightShoulder
        {"{HOME}", false},    // LeftTrigger
        {"{END}", false},     // RightTrigger
        {"{UP}", true},       // DpadUp
        {"{DOWN}", true},     // DpadDown
        {"{LEFT}", true},     // DpadLeft
        {"{RIGHT}", true},    // DpadRight
        {"{UP}", true},       // StickUp
        {"{DOWN}", true},     // StickDown
        {"{LEFT}", true},     // StickLeft
        {"{RIGHT}", true},    // StickRight
    };
    static_assert(std::size(kTable) == 18);
    return kTable[input];
}

}  // namespace

std::optional<GamepadKeys::Input> GamepadKeys::inputOf(PadButton button) {
    switch (button) {
        case PadButton::South:
            return Input::South;
        case PadButton::East:
            return Input::East;
        case PadButton::West:
            return Input::West;
        case PadButton::North:
            return Input::North;
        case PadButton::Back:
            return Input::Back;
        case PadButton::Start:
            return Input::Start;
        case PadButton::LeftShoulder:
            return Input::LeftShoulder;
        case PadButton::RightShoulder:
            return Input::RightShoulder;
        case PadButton::DpadUp:
            return Input::DpadUp;
        case PadButton::DpadDown:
            return Input::DpadDown;
        case PadButton::DpadLeft:
            return Input::DpadLeft;
        case PadButton::DpadRight:
            return Input::DpadRight;
        default:
            return std::nullopt;
    }
}

QStringList GamepadKeys::handle(const PadEvent& event, qint64 nowMs, bool accepting) {
    QStringList out;
    if (!accepting) silenceAll();
    switch (event.kind) {
        case PadEvent::Kind::Added:
            break;
        case PadEvent::Kind::Removed:
            std::erase_if(m_held, [&](const auto& held) { return held.first.first == event.pad; });
            break;
        case PadEvent::Kind::Button:
            if (const auto input = inputOf(event.button))
                setPressed(event.pad, *input, event.pressed, nowMs, accepting, out);
            break;
        case PadEvent::Kind::Axis: {
            const bool low = event.value<-kDeadZone, high = event.value> kDeadZone;
            // Releases first: a stick flicked from one side to the other lets go of the
            // first direction before it types the second.
            const auto pair = [&](Input lowInput, Input highInput) {
                if (!low) setPressed(event.pad, lowInput, false, nowMs, accepting, out);
                if (!high) setPressed(event.pad, highInput, false, nowMs, accepting, out);
                if (low) setPressed(event.pad, lowInput, true, nowMs, accepting, out);
                if (high) setPressed(event.pad, highInput, true, nowMs, accepting, out);
            };
            if (event.axis == PadAxis::LeftX) pair(Input::StickLeft, Input::StickRight);
            if (event.axis == PadAxis::LeftY) pair(Input::StickUp, Input::StickDown);
            if (event.axis == PadAxis::LeftTrigger)
                setPressed(event.pad, Input::LeftTrigger, high, nowMs, accepting, out);
            if (event.axis == PadAxis::RightTrigger)
                setPressed(event.pad, Input::RightTrigger, high, nowMs, accepting, out);
            break;
        }
    }
    return out;
}

QStringList GamepadKeys::repeat(qint64 nowMs, bool accepting) {
    QStringList out;
    if (!accepting) {
        silenceAll();
        return out;
    }
    for (auto& [key, held] : m_held) {
        if (held.silent || !held.nextRepeat || *held.nextRepeat > nowMs) continue;
        out.append(QString::fromLatin1(typedBy(int(key.second)).keys));
        // From now rather than from when it was due: a late timer does not bunch repeats.
        held.nextRepeat = nowMs + kRepeatMs;
    }
    return out;
}

std::optional<qint64> GamepadKeys::nextRepeatAt() const {
    std::optional<qint64> next;
    for (const auto& [key, held] : m_held)
        if (!held.silent && held.nextRepeat && (!next || *held.nextRepeat < *next))
            next = held.nextRepeat;
    return next;
}

void GamepadKeys::setPressed(int pad, Input input, bool pressed, qint64 nowMs, bool accepting,
                             QStringList& out) {
    if (pressed)
        press(pad, input, nowMs, accepting, out);
    else
        release(pad, input);
}

void GamepadKeys::press(int pad, Input input, qint64 nowMs, bool accepting, QStringList& out) {
    // A stick held past the dead zone reports every small move; only the first one types.
    if (m_held.contains({pad, input})) return;
    Held& held = m_held[{pad, input}];
    held.silent = !accepting;
    if (held.silent) return;
    const Typed typed = typedBy(int(input));
    if (*typed.keys) out.append(QString::fromLatin1(typed.keys));
    if (typed.repeats) held.nextRepeat = nowMs + kFirstRepeatMs;
}

void GamepadKeys::release(int pad, Input input) {
    m_held.erase({pad, input});
}

void GamepadKeys::silenceAll() {
    for (auto& [key, held] : m_held)
        held.silent = true;
}

}  // namespace platform
