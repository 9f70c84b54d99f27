#pragma once

// A folder served as a slow network share (tests/programs/slow_fs, FUSE): every call waits
// a fixed time, and hang() makes every call wait until letGo(). Mounting needs /dev/fuse
// and root, as in CI; where either is missing, mounted() is false and the test skips.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

extern char** environ;

namespace support {

class SlowShare {
public:
    SlowShare(const char* program, const QString& source, const QString& mountPoint, int delayUs)
        : m_mountPoint(mountPoint.toUtf8()) {
        if (!program || ::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0) return;
        const QByteArray from = source.toUtf8();
        const QByteArray delay = QByteArray::number(delayUs);
        char* const argv[] = {const_cast<char*>(program), const_cast<char*>(from.constData()),
                              const_cast<char*>(m_mountPoint.constData()),
                              const_cast<char*>(delay.constData()), nullptr};
        // The share says in this file when a hang holds (see hang()); kept out of the
        // folders the tests list.
        QByteArray made = QByteArrayLiteral("/tmp/slow_fs-state-XXXXXX");
        const int fd = ::mkstemp(made.data());
        if (fd < 0) return;
        ::close(fd);
        m_stateFile = made;
        const QByteArray state = "SLOW_FS_STATE=" + m_stateFile;
        std::vector<char*> env;
        for (char** e = environ; *e; ++e)
            env.push_back(*e);
        env.push_back(const_cast<char*>(state.constData()));
        env.push_back(nullptr);
        if (::posix_spawn(&m_pid, program, nullptr, nullptr, argv, env.data()) != 0) {
            m_pid = -1;
            return;
        }
        // Mounted once the mount point lies on another device than its folder.
        const QByteArray parent = m_mountPoint + "/..";
        for (int i = 0; i < 500 && !m_mounted; ++i) {
            struct stat a {
            }, b{};
            m_mounted = ::stat(m_mountPoint.constData(), &a) == 0 &&
                        ::stat(parent.constData(), &b) == 0 && a.st_dev != b.st_dev;
            if (!m_mounted) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~SlowShare() {
        if (m_pid > 0) end();
        // Once the share has ended: it writes the file at each change of state.
        if (!m_stateFile.isEmpty()) ::unlink(m_stateFile.constData());
    }
    SlowShare(const SlowShare&) = delete;
    SlowShare& operator=(const SlowShare&) = delete;

    bool mounted() const { return m_mounted; }
    // Returns once the share has taken the hang: a call made after it waits.
    void hang() {
        if (m_pid <= 0) return;
        ::unlink(m_stateFile.constData());
        ::kill(m_pid, SIGUSR1);
        for (int i = 0; i < 2000; ++i) {
            char state = 0;
            const int fd = ::open(m_stateFile.constData(), O_RDONLY | O_CLOEXEC);
            if (fd >= 0) {
                const ssize_t got = ::read(fd, &state, 1);
                ::close(fd);
                if (got == 1 && state == 'h') return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void letGo() {
        if (m_pid > 0) ::kill(m_pid, SIGUSR2);
    }

private:
    void end() {
        letGo();
        ::kill(m_pid, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 300 && !ended; ++i) {
            ended = ::waitpid(m_pid, nullptr, WNOHANG) == m_pid;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ended) {
            // Still busy: the mount is cut off; calls still waiting on it fail.
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        // A share that ended without unmounting (killed, or under a sanitizer that cut its
        // exit short) would leave a dead mount in the temporary folder; none is harmless.
        ::umount2(m_mountPoint.constData(), MNT_DETACH);
    }

    QByteArray m_mountPoint;
    QByteArray m_stateFile;
    pid_t m_pid = -1;
    bool m_mounted = false;
};

}  // namespace support
