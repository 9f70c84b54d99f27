#pragma once

// Following a started program to the end of the last process it started.

#include <QList>
#include <QSet>
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
    // What runs now (a picture opened with Shift+Enter, the file manager a right click
    // opened) is none of the next game's and never counts again: called just before a
    // game starts.
    virtual void setAsideRunning() {}
};

// Reads /proc: the descendants of `self` by their parent ids.
class ProcDescendants final : public ProcessFollower {
public:
    explicit ProcDescendants(QString procRoot = QStringLiteral("/proc"), pid_t self = 0);
    bool anyRunning() override;
    void setAsideRunning() override;

private:
    // The live processes below the launcher, apart from those set aside and theirs; the
    // launcher's own ended children are reaped on the way.
    QList<pid_t> liveDescendants();

    QString m_root;
    pid_t m_self;
    QSet<pid_t> m_setAside;
};

}  // namespace platform
