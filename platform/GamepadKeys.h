#pragma once

// What a pad types: its controls turned into key macros (the KeystrokeSender syntax), with
// the keyboard's auto-repeat on the directions. No clock of its own: every call says what
// time it is, and whether the launcher takes pad input at all at that moment.

#include "platform/Gamepad.h"

#include <QStringList>

#include <map>
#include <optional>
#include <utility>

namespace platform {

class GamepadKeys {
public:
    // A stick or trigger counts as pressed beyond this much of its travel.
    static constexpr double kDeadZone = 0.5;
    static constexpr qint64 kFirstRepeatMs = 500;
    static constexpr qint64 kRepeatMs = 50;

    // The macros to send for the event, in order. While `accepting` is false nothing is
    // typed, and everything held stays silent until it is released: presses meant for a
    // game never reach the launcher, also when the game ends with a button down.
    QStringList handle(const PadEvent& event, qint64 nowMs, bool accepting);
    // The repeats due at nowMs.
    QStringList repeat(qint64 nowMs, bool accepting);
    // When the next repeat is due; nothing while no direction is held.
    std::optional<qint64> nextRepeatAt() const;

private:
    // The buttons, each stick direction and each trigger, seen as keys.
    enum class Input {
        South,
        East,
        West,
        North,
        Back,
        Start,
        LeftShoulder,
        RightShoulder,
        LeftTrigger,
        RightTrigger,
        DpadUp,
        DpadDown,
        DpadLeft,
        DpadRight,
        StickUp,
        StickDown,
        StickLeft,
        StickRight,
    };
    struct Held {
        bool silent = false;
        std::optional<qint64> nextRepeat;
    };
    using Key = std::pair<int, Input>;  // pad, input

    static std::optional<Input> inputOf(PadButton button);
    void press(int pad, Input input, qint64 nowMs, bool accepting, QStringList& out);
    void release(int pad, Input input);
    void setPressed(int pad, Input input, bool pressed, qint64 nowMs, bool accepting,
                    QStringList& out);
    void silenceAll();

    std::map<Key, Held> m_held;
};

}  // namespace platform
