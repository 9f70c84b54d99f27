#pragma once

// Runs a piece of a test in a child process of its own: another program using the same
// files, a process that is killed, or one that runs as another user.

#include <QByteArray>

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace support {

struct Forked {
    int status = -1;  // the exit status; -1 when the child did not exit normally
    QByteArray out;   // what the child wrote to its pipe
};

// `body` gets the pipe to write to and returns the exit status; the child ends with
// _exit, so nothing of the test's own state is torn down twice.
inline Forked runForked(const std::function<int(int out)>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const int status = body(fds[1]);
        ::close(fds[1]);
        ::_exit(status);
    }
    ::close(fds[1]);
    Forked result;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        result.out.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
}

inline void writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) return;
        done += n;
    }
}

}  // namespace support
