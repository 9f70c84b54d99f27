#pragma once

#include "platform/ProcessTable.h"

#include <QList>
#include <QString>

namespace platform {

// What /proc tells about one process.
struct ProcessRecord {
    qint64 pid = 0;
    QString executable;  // target of /proc/<pid>/exe, empty when not readable
    QString argv0;       // first word of /proc/<pid>/cmdline
    QString command;     // /proc/<pid>/comm (at most 15 characters)
};

// Whether a process is the program `exeName` names: by its executable's file name, by
// argv[0]'s file name (wine keeps the Windows path there) or by its command name (a
// wrapper script runs under its own name there). Letter case is ignored and ".exe" is
// optional on either side; "*" and "?" in `exeName` are wildcards.
bool processMatches(const QString& exeName, const ProcessRecord& process);

// The process table of a Linux system, read from /proc.
class ProcProcessTable final : public ProcessTable {
public:
    explicit ProcProcessTable(QString procRoot = QStringLiteral("/proc"));
    QList<ProcessRecord> snapshot() const;
    bool isRunning(const QString& exeName) override;
    int terminate(const QString& exeName) override;

private:
    QString m_root;
};

}  // namespace platform
