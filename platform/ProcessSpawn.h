#pragma once

#include <QByteArray>
#include <QList>

#include <sys/types.h>

#include <optional>

namespace platform {

// Starts a program with its arguments as raw bytes, so a file name that is not valid UTF-8
// reaches it exactly as it is on disk (QProcess only takes QStrings and would encode such a
// name into another, non-existent one). No shell is involved: each argument is one argv
// entry. The program gets argv[0] = `program`, the launcher's environment, its own session
// (it outlives the launcher and its terminal) and default signal handling; it runs in
// `workingFolder`, or in the launcher's folder when that is empty. A program without a
// slash is looked up in PATH. The child is reaped when it ends, so it never lingers in the
// process table as a zombie that a poll would take for a running emulator.
// `outputFd`, when not -1, becomes the program's standard output and error (a pipe the
// launcher reads, so it can say what an emulator wrote before it gave up).
// Returns the process id, or nothing when the program could not be started (missing, not
// executable, working folder unusable).
std::optional<pid_t> spawnDetached(const QByteArray& program, const QList<QByteArray>& arguments,
                                   const QByteArray& workingFolder = QByteArray(),
                                   int outputFd = -1);

}  // namespace platform
