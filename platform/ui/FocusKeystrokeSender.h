#pragma once

#include "platform/KeystrokeSender.h"

namespace platform {

// Posts the key macro's strokes to whatever widget has the focus when each one is handled,
// so a stroke that moves the focus sends the next stroke to the new widget.
class FocusKeystrokeSender final : public KeystrokeSender {
public:
    bool send(const QString& keys) override;
};

}  // namespace platform
