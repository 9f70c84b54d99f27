#pragma once

#include <QString>

namespace platform {

// The running processes, as far as the launcher needs them: is an emulator still running,
// and ending it. A process matches `exeName` by its executable's file name, its argv[0]'s
// file name or its command name, letter case ignored; on Linux ".exe" is optional.
class ProcessTable {
public:
    virtual ~ProcessTable() = default;
    virtual bool isRunning(const QString& exeName) = 0;
    // Ends every matching process; returns how many were asked to end.
    virtual int terminate(const QString& exeName) = 0;
};

}  // namespace platform
