#include "platform/Descendants.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace {
struct Proc {
    int pid;
    int parent;
    char state;
    const char* command = "sh";
};

// A /proc of a few processes; the launcher is pid 100.
QString fakeProc(TempFolder& t, const std::vector<Proc>& table) {
    for (const Proc& p : table)
        t.write(QStringLiteral("proc/%1/stat").arg(p.pid),
                QStringLiteral("%1 (%2) %3 %4 1 1 0 -1\n")
                    .arg(p.pid)
                    .arg(QString::fromLatin1(p.command))
                    .arg(QChar::fromLatin1(p.state))
                    .arg(p.parent)
                    .toUtf8());
    t.write(QStringLiteral("proc/self"), "not a process");
    return t.file(QStringLiteral("proc"));
}
}  // namespace

// The play lasts while anything below the launcher runs, whoever its parent is now.
TEST(Descendants, AnyLiveProcessBelowTheLauncherCounts) {
    struct Case {
        const char* name;
        std::vector<Proc> table;
        bool running;
    };
    const std::vector<Case> cases = {
        {"nothing started", {{100, 1, 'S'}, {200, 1, 'R'}}, false},
        {"the emulator runs", {{100, 1, 'S'}, {101, 100, 'S'}}, true},
        {"the emulator ended, not yet reaped", {{100, 1, 'S'}, {101, 100, 'Z'}}, false},
        {"its child runs on below it", {{100, 1, 'S'}, {101, 100, 'Z'}, {102, 101, 'R'}}, true},
        {"an orphan handed to the launcher", {{100, 1, 'S'}, {103, 100, 'S'}}, true},
        {"a grandchild of a grandchild",
         {{100, 1, 'S'}, {101, 100, 'S'}, {102, 101, 'S'}, {104, 102, 'D'}},
         true},
        {"someone else's program", {{100, 1, 'S'}, {300, 200, 'R'}, {200, 1, 'S'}}, false},
        {"a command with spaces and parentheses",
         {{100, 1, 'S'}, {101, 100, 'S', "wine ) (x"}},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        platform::ProcDescendants follower(fakeProc(t, c.table), 100);
        EXPECT_EQ(follower.anyRunning(), c.running);
    }
}

// What runs when a game starts (a picture viewer, a file manager, and theirs) never keeps
// that game's play going; a process started after it does.
TEST(Descendants, WhatRanBeforeTheGameIsSetAside) {
    TempFolder t;
    const QString proc = fakeProc(t, {{100, 1, 'S'}, {150, 100, 'S'}, {151, 150, 'S'}});
    platform::ProcDescendants follower(proc, 100);
    ASSERT_TRUE(follower.anyRunning());
    follower.setAsideRunning();
    EXPECT_FALSE(follower.anyRunning());
    fakeProc(t, {{101, 100, 'S'}, {152, 151, 'S'}});  // the game; the viewer's new child
    EXPECT_TRUE(follower.anyRunning());
    fakeProc(t, {{101, 100, 'Z'}});  // the game ends, the viewer stays open
    EXPECT_FALSE(follower.anyRunning());
    // The next game's start sets aside only what runs then: a number set aside and ended
    // may be the new game's.
    QFile::remove(t.file("proc/150/stat"));
    QFile::remove(t.file("proc/151/stat"));
    QFile::remove(t.file("proc/152/stat"));
    follower.setAsideRunning();
    fakeProc(t, {{150, 100, 'S'}});
    EXPECT_TRUE(follower.anyRunning());
}

// A real child: running while it waits, and once it has ended it is reaped, not left a
// zombie that would read as running.
TEST(Descendants, AnEndedChildIsReapedAndNoLongerRuns) {
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(gate[1]);
        char c;
        while (::read(gate[0], &c, 1) > 0) {
        }
        ::_exit(0);
    }
    ::close(gate[0]);
    platform::ProcDescendants follower;
    EXPECT_TRUE(follower.anyRunning());
    ::close(gate[1]);  // the child ends now
    siginfo_t info{};
    // Waits for its end but leaves it a zombie, for the follower to find.
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(follower.anyRunning());
    // Reaped by the follower: nothing is left to wait for.
    EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), -1);
}
