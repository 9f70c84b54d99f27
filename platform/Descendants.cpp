#include "platform/Descendants.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {
struct Stat {
    pid_t parent = 0;
    bool zombie = false;
};

// /proc/<pid>/stat: "pid (comm) state ppid ..."; the command may hold spaces and
// parentheses, so the fields are read after its last ')'.
bool readStat(const QString& file, Stat& out) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray line = f.read(512);
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0) return false;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() < 2 || fields[0].isEmpty()) return false;
    out.zombie = fields[0][0] == 'Z' || fields[0][0] == 'X';
    bool ok = false;
    out.parent = static_cast<pid_t>(fields[1].toInt(&ok));
    return ok;
}
}  // namespace

bool becomeChildSubreaper() {
    return ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0;
}

ProcDescendants::ProcDescendants(QString procRoot, pid_t self)
    : m_root(std::move(procRoot)), m_self(self ? self : ::getpid()) {}

bool ProcDescendants::anyRunning() {
    return !liveDescendants().isEmpty();
}

void ProcDescendants::setAsideRunning() {
    // Those set aside before and ended since are no longer needed; their numbers may
    // come back for the game's own processes.
    m_setAside.clear();
    for (const pid_t pid : liveDescendants())
        m_setAside.insert(pid);
}

QList<pid_t> ProcDescendants::liveDescendants() {
    QHash<pid_t, QList<pid_t>> children;
    QHash<pid_t, bool> zombie;
    const QStringList entries = QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&numeric));
        if (!numeric) continue;
        Stat st;
        if (!readStat(m_root + u'/' + entry + QStringLiteral("/stat"), st)) continue;
        children[st.parent].append(pid);
        zombie.insert(pid, st.zombie);
    }
    QList<pid_t> live;
    QList<pid_t> pending = children.value(m_self);
    // Our own ended children are reaped here; the one a start waits for itself may be
    // reaped by either, whichever comes first.
    for (const pid_t child : pending)
        if (zombie.value(child)) ::waitpid(child, nullptr, WNOHANG);
    while (!pending.isEmpty()) {
        const pid_t pid = pending.takeLast();
        // What was set aside goes on unwatched, together with whatever it starts.
        if (m_setAside.contains(pid)) continue;
        if (!zombie.value(pid)) live.append(pid);
        pending.append(children.value(pid));
    }
    return live;
}

}  // namespace platform
