#pragma once

// Runs one of our command-line programs as a user would: byte arguments (names that are
// not UTF-8 reach it unchanged), its own folder and environment, standard output kept.

#include <QByteArray>
#include <QList>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace support {

struct ProgramRun {
    int status = -1;  // the exit status; -1 when it did not exit normally
    QByteArray out;
};

// `env` entries are "NAME=value" added to the test's own environment; standard error goes
// to /dev/null.
inline ProgramRun runProgram(const char* program, const QList<QByteArray>& args,
                             const QByteArray& cwd, const QList<QByteArray>& env) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    std::vector<const char*> argv{program};
    for (const QByteArray& a : args)
        argv.push_back(a.constData());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::dup2(::open("/dev/null", O_WRONLY), 2);
        if (::chdir(cwd.constData()) != 0) ::_exit(127);
        for (const QByteArray& e : env)
            ::putenv(const_cast<char*>(e.constData()));
        ::execv(program, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    ProgramRun run;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        run.out.append(buffer, n);
    ::close(pipeFds[0]);
    int status = -1;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace support
