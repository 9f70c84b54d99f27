#pragma once

#include <QString>

#include <functional>

namespace platform {

// One running copy per user. The first copy listens; a later copy hands it the caption of
// the window it built and ends. The first copy comes forward only when its own caption is
// exactly that caption, so a copy started for another emulator's window does not pull
// this one forward.
class SingleInstance {
public:
    virtual ~SingleInstance() = default;
    // True when another copy already runs; it has been handed `caption`.
    virtual bool anotherIsRunning(const QString& caption) = 0;
    // Starts listening (first copy); `handler` gets each later copy's caption.
    virtual void listen(std::function<void(const QString& caption)> handler) = 0;
    // While `handler` runs: the activation token the later copy was started with, if any.
    // On Wayland a window may come forward only with such a token, which the desktop
    // gives the program the user just started.
    virtual QString handedActivationToken() const { return {}; }
};

}  // namespace platform
