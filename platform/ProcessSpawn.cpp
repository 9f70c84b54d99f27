#include "platform/ProcessSpawn.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <thread>
#include <vector>

extern char** environ;

namespace platform {

namespace {
// Owns the spawn attributes and file actions for the length of one start.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    bool attrReady = false, actionsReady = false;
    ~SpawnSetup() {
        if (actionsReady) posix_spawn_file_actions_destroy(&actions);
        if (attrReady) posix_spawnattr_destroy(&attr);
    }
};

void reapWhenDone(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}
}  // namespace

std::optional<pid_t> spawnDetached(const QByteArray& program, const QList<QByteArray>& arguments,
                                   const QByteArray& workingFolder, int outputFd) {
    if (program.isEmpty() || program.contains('\0')) return std::nullopt;

    SpawnSetup s;
    if (posix_spawnattr_init(&s.attr) != 0) return std::nullopt;
    s.attrReady = true;
    // Signals the launcher ignores or blocks (a broken pipe, for one) must not stay so in
    // the emulator.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigmask(&s.attr, &none);
    posix_spawnattr_setsigdefault(&s.attr, &all);
    posix_spawnattr_setflags(&s.attr,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    if (posix_spawn_file_actions_init(&s.actions) != 0) return std::nullopt;
    s.actionsReady = true;
    if (!workingFolder.isEmpty() &&
        posix_spawn_file_actions_addchdir_np(&s.actions, workingFolder.constData()) != 0)
        return std::nullopt;
    if (outputFd >= 0 &&
        (posix_spawn_file_actions_adddup2(&s.actions, outputFd, STDOUT_FILENO) != 0 ||
         posix_spawn_file_actions_adddup2(&s.actions, outputFd, STDERR_FILENO) != 0))
        return std::nullopt;

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(program.constData()));
    for (const QByteArray& a : arguments)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const auto run = program.contains('/') ? ::posix_spawn : ::posix_spawnp;
    // glibc reports a failed exec (and a failed chdir) as the result of the call.
    if (run(&pid, program.constData(), &s.actions, &s.attr, argv.data(), environ) != 0)
        return std::nullopt;
    reapWhenDone(pid);
    return pid;
}

}  // namespace platform
