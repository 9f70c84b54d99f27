#pragma once

// Runs one of our command-line programs as a user would: byte arguments (names that are
// not UTF-8 reach it unchanged), its own folder and environment, standard output kept.

#include "support/Forked.h"
#include "support/OtherUser.h"

#include <QByteArray>
#include <QList>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace support {

using ProgramRun = Forked;

// `env` entries are "NAME=value" added to the test's own environment; standard error goes
// to /dev/null. With `as`, root runs it as that user (status 100 when it cannot).
inline ProgramRun runProgram(const char* program, const QList<QByteArray>& args,
                             const QByteArray& cwd, const QList<QByteArray>& env, uid_t as = 0) {
    std::vector<const char*> argv{program};
    for (const QByteArray& a : args)
        argv.push_back(a.constData());
    argv.push_back(nullptr);
    return runForked([&](int out) {
        ::dup2(out, 1);
        ::close(out);
        ::dup2(::open("/dev/null", O_WRONLY), 2);
        if (as != 0 && ::geteuid() == 0 && !becomeUser(as)) return 100;
        if (::chdir(cwd.constData()) != 0) return 127;
        for (const QByteArray& e : env)
            ::putenv(const_cast<char*>(e.constData()));
        ::execv(program, const_cast<char* const*>(argv.data()));
        return 127;
    });
}

}  // namespace support
