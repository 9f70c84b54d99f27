#pragma once

#include <QString>

namespace platform {

// Sends a key macro in the keystroke-string syntax ({ENTER}, {F2}, {DOWN 3}, + ^ % for
// Shift, Ctrl and Alt, ~ for Enter, parentheses to group) to the focused widget.
class KeystrokeSender {
public:
    virtual ~KeystrokeSender() = default;
    // False when the text does not parse; nothing is sent then.
    virtual bool send(const QString& keys) = 0;
};

}  // namespace platform
