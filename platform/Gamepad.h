#pragma once

// Game pads as the launcher sees them: pads plugged in and out, their buttons and axes,
// named by position so that every maker's layout reads the same.

#include <QObject>
#include <QString>

#include <functional>

namespace platform {

// South is the bottom face button (A on most pads), East the right one, and so on.
enum class PadButton {
    South,
    East,
    West,
    North,
    Back,
    Guide,
    Start,
    LeftStick,
    RightStick,
    LeftShoulder,
    RightShoulder,
    DpadUp,
    DpadDown,
    DpadLeft,
    DpadRight,
    Other,
};

enum class PadAxis { LeftX, LeftY, RightX, RightY, LeftTrigger, RightTrigger, Other };

struct PadEvent {
    enum class Kind { Added, Removed, Button, Axis };
    Kind kind = Kind::Button;
    int pad = 0;   // the pad's id for as long as it stays plugged in
    QString name;  // Added and Removed
    PadButton button = PadButton::Other;
    bool pressed = false;
    PadAxis axis = PadAxis::Other;
    // Sticks from -1 (left, up) to 1 (right, down); triggers from 0 (at rest) to 1.
    double value = 0;
};

class Gamepads {
public:
    virtual ~Gamepads() = default;
    // Every pad's events from now on, in order, on the thread `context` lives in and only
    // while it exists; pads already plugged in come as Added. One receiver at a time.
    virtual void setReceiver(QObject* context, std::function<void(const PadEvent&)> receive) = 0;
    // The time in milliseconds on the clock that pads' auto-repeat runs by.
    virtual qint64 nowMs() const = 0;
};

}  // namespace platform
