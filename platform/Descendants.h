#pragma once

// Following a started program to the end of the last process it started.

#include <QString>

#include <sys/types.h>

namespace platform {

// Makes the launcher the child subreaper of everything it starts: a process whose parent
// ends is handed to the launcher instead of to init, so an emulator that forks its real
// work and exits at once is still followed. Call once, early; false when the system
// refuses.
bool becomeChildSubreaper();

// Whether any process the launcher started, or any of theirs, still runs.
class ProcessFollower {
public:
    virtual ~ProcessFollower() = default;
    // Also reaps the launcher's children that have ended, orphans handed to it included,
    // so none lingers as a zombie that would read as running.
    virtual bool anyRunning() = 0;
};

// Reads /proc: the descendants of `self` by their parent ids.
class ProcDescendants final : public ProcessFollower {
public:
    explicit ProcDescendants(QString procRoot = QStringLiteral("/proc"), pid_t self = 0);
    bool anyRunning() override;

private:
    QString m_root;
    pid_t m_self;
};

}  // namespace platform
