#pragma once

// Pads type the keyboard's keys into the focused control, so every key route of the
// window works from the couch with no second code path. A pad plugged in or out is said
// in the list's tip for a while.

#include "platform/GamepadKeys.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QTimer;
class QWidget;

namespace platform {
class Gamepads;
class KeystrokeSender;
}  // namespace platform

class PadInput : public QObject {
public:
    struct Host {
        QWidget* list = nullptr;  // its tip says which pad came or went
        platform::Gamepads* gamepads = nullptr;
        platform::KeystrokeSender* keystrokes = nullptr;
        // Whether the presses are for the window now (not while a game runs or another
        // window has the focus).
        std::function<bool()> takesInput;
        // The list's own tip is due again.
        std::function<void()> tipOver;
    };
    PadInput(Host host, QObject* parent);

private:
    void handle(const platform::PadEvent& event);
    void send(const QStringList& keys);
    void showTip(const QString& text);

    Host m_host;
    platform::GamepadKeys m_keys;
    QTimer* m_repeat = nullptr;  // "gamepadRepeat"
    QTimer* m_tip = nullptr;     // "gamepadTip": puts the list's own tip back
};
