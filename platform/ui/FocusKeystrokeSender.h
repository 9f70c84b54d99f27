#pragma once

#include "platform/KeystrokeSender.h"

namespace platform {

// Sends the key macro's strokes one after another to whatever widget has the focus when
// each one goes, so a stroke that moves the focus sends the next stroke to the new widget.
// Each stroke is handled to its end before the next goes: a command that lets pending
// events run never sees the macro's later keys arrive in its middle. A stroke that opens a
// modal dialog hands the rest to the dialog.
class FocusKeystrokeSender final : public KeystrokeSender {
public:
    bool send(const QString& keys) override;
};

}  // namespace platform
