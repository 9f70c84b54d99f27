#pragma once

// Another user on the same machine, for what one user must never be able to do to another:
// a forked child that gives up root for `uid` (its group the same number) and runs `body`,
// whose result is its exit status. Only root can do this; callers skip otherwise.

#include <grp.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace support {

// Users no real account is expected to have (65534 is nobody).
constexpr uid_t kNobodyUid = 65534;
constexpr uid_t kVictimUid = 65533;
constexpr uid_t kAttackerUid = kNobodyUid;

inline bool canActAsOtherUsers() {
    return ::geteuid() == 0;
}

// In a child: becomes `uid` (its group the same number) for good. False when refused.
inline bool becomeUser(uid_t uid) {
    return ::setgroups(0, nullptr) == 0 && ::setresgid(uid, uid, uid) == 0 &&
           ::setresuid(uid, uid, uid) == 0;
}

// The child's pid, or -1. The child ends with status 100 when it cannot become `uid`.
inline pid_t startAs(uid_t uid, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (!becomeUser(uid)) ::_exit(100);
    ::_exit(body());
}

// The child's exit status; -1 when it did not exit normally.
inline int waitFor(pid_t pid) {
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline void stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace support
