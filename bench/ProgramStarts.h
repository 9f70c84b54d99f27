#pragma once

// The real program started as a user starts it, timed from exec to its window mapped on the
// X server and to the moments its folder reaches the list (the rombard.folders log lines),
// with the window process's peak resident memory. Without a DISPLAY, OwnXServer starts a bare
// Xvfb (no window manager: a window is mapped as soon as the program asks).

#include <xcb/xcb.h>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace bench {

constexpr int kStartWaitMs = 20000;

// An emulator folder as users keep one: the emulator program beside a "roms" folder, made an
// hour ago as a folder of games kept for years. `roms` false leaves "roms" to the caller (a
// mount point made elsewhere).
inline bool makeEmulatorFolder(const QString& root, int games, bool roms = true) {
    QFile emulator(root + QStringLiteral("/snes9x"));
    if (!emulator.open(QIODevice::WriteOnly)) return false;
    emulator.write("#!/bin/sh\n");
    emulator.close();
    emulator.setPermissions(emulator.permissions() | QFile::ExeOwner);
    if (!roms) return true;
    if (!QDir().mkpath(root + QStringLiteral("/roms"))) return false;
    for (int i = 0; i < games; ++i) {
        const QByteArray path = QFile::encodeName(
            root + QStringLiteral("/roms/Game %1 (U) [!].smc").arg(i, 6, 10, QLatin1Char('0')));
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0) return false;
        ::close(fd);
    }
    timespec made[2];
    ::clock_gettime(CLOCK_REALTIME, &made[0]);
    made[0].tv_sec -= 3600;
    made[1] = made[0];
    return ::utimensat(AT_FDCWD, QFile::encodeName(root + QStringLiteral("/roms")).constData(),
                       made, 0) == 0;
}

// A bare X server on a display number it picks itself (-displayfd), stopped on destruction.
class OwnXServer {
public:
    bool start() {
        int fds[2];
        if (::pipe(fds) != 0) return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            const int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, STDERR_FILENO);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24",
                     "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        if (m_pid < 0) {
            ::close(fds[0]);
            return false;
        }
        // Xvfb writes the display number once it accepts connections.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (::poll(&p, 1, kStartWaitMs) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        if (number.empty()) return false;
        m_display = ":" + number;
        return true;
    }
    ~OwnXServer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// Connects to the X server of DISPLAY, starting one of its own where there is none; null,
// with the reason on stderr, when neither works.
inline xcb_connection_t* connectToX(OwnXServer& own) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        if (!own.start()) {
            std::fprintf(stderr, "no DISPLAY, and Xvfb could not be started\n");
            return nullptr;
        }
        ::setenv("DISPLAY", own.display().c_str(), 1);
    }
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "cannot connect to the X server %s\n", std::getenv("DISPLAY"));
        xcb_disconnect(x);
        return nullptr;
    }
    return x;
}

struct Start {
    double ms = 0;  // exec to the window mapped
    // exec to the first log line that begins with each milestone asked for
    std::vector<double> milestoneMs;
    long peakKiB = 0;       // the window process's VmHWM settleMs after its window was mapped
    long laterPeakKiB = 0;  // ... and laterMs after it
};

inline long peakResidentKiB(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return std::atol(line.mid(6).trimmed().constData());
    return 0;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

class Starter {
public:
    // The program runs with its settings, cache and data below `home`, the same for every
    // start, so a later start finds what an earlier one left in the cache (never settings:
    // each start is stopped without saving).
    Starter(xcb_connection_t* x, std::string program, QString home)
        : m_x(x), m_program(std::move(program)), m_home(std::move(home)) {
        QDir().mkpath(m_home + QStringLiteral("/runtime"));
        QFile::setPermissions(m_home + QStringLiteral("/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Every top-level window of every screen reports its mapping to us.
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        for (auto it = xcb_setup_roots_iterator(xcb_get_setup(x)); it.rem; xcb_screen_next(&it))
            xcb_change_window_attributes(x, it.data->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(x);
    }

    QString cacheFolder() const { return m_home + QStringLiteral("/cache"); }

    // Starts the program on `folder` and times it until its first top-level window is mapped
    // and every one of `milestones` (beginnings of rombard.folders lines) has been logged,
    // waiting at most `waitMs`; with `settleMs`, reads its peak memory that long after the
    // mapping and again `laterMs` after it. Then stops it. Nothing when the window was not
    // mapped, the program died or a milestone did not come in time.
    std::optional<Start> once(const QString& folder,
                              const std::vector<std::string>& milestones = {},
                              int waitMs = kStartWaitMs, int settleMs = 0, int laterMs = 0) {
        const QByteArray encoded = QFile::encodeName(folder);
        int log[2] = {-1, -1};
        if (!milestones.empty() && ::pipe2(log, O_CLOEXEC) != 0) return std::nullopt;
        QElapsedTimer timer;
        timer.start();
        const pid_t pid = ::fork();
        if (pid == 0) {
            const QByteArray home = QFile::encodeName(m_home);
            ::setenv("XDG_CONFIG_HOME", (home + "/config").constData(), 1);
            ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").constData(), 1);
            ::setenv("XDG_CACHE_HOME", (home + "/cache").constData(), 1);
            ::setenv("XDG_DATA_HOME", (home + "/data").constData(), 1);
            // No software lists: their reading costs the same whatever the number of games
            // and would be counted against the games here (ROMBARD_BENCH_SOFTWARE_LISTS=1
            // keeps the system's).
            if (!qEnvironmentVariableIsSet("ROMBARD_BENCH_SOFTWARE_LISTS"))
                ::setenv("XDG_DATA_DIRS", (home + "/data-dirs").constData(), 1);
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            if (log[1] >= 0) {
                ::setenv("QT_LOGGING_RULES", "rombard.folders.info=true", 1);
                ::setenv("QT_MESSAGE_PATTERN", "%{message}", 1);
                ::dup2(log[1], STDERR_FILENO);
            }
            ::execl(m_program.c_str(), m_program.c_str(), encoded.constData(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (log[1] >= 0) ::close(log[1]);
        if (pid < 0) {
            if (log[0] >= 0) ::close(log[0]);
            return std::nullopt;
        }
        Start start;
        start.milestoneMs.assign(milestones.size(), -1);
        bool mapped = false, died = false;
        std::string pending;
        const auto elapsed = [&] { return static_cast<double>(timer.nsecsElapsed()) / 1e6; };
        const auto allSeen = [&] {
            return std::none_of(start.milestoneMs.begin(), start.milestoneMs.end(),
                                [](double ms) { return ms < 0; });
        };
        while (!(mapped && allSeen()) && !died && timer.elapsed() < waitMs) {
            pollfd p[2] = {{xcb_get_file_descriptor(m_x), POLLIN, 0}, {log[0], POLLIN, 0}};
            ::poll(p, log[0] >= 0 ? 2 : 1, 50);
            while (xcb_generic_event_t* e = xcb_poll_for_event(m_x)) {
                if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY && !mapped &&
                    !reinterpret_cast<const xcb_map_notify_event_t*>(e)->override_redirect) {
                    start.ms = elapsed();
                    mapped = true;
                }
                std::free(e);
            }
            if (log[0] >= 0 && (p[1].revents & (POLLIN | POLLHUP))) {
                char buffer[4096];
                const ssize_t got = ::read(log[0], buffer, sizeof buffer);
                if (got > 0) pending.append(buffer, static_cast<size_t>(got));
                for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
                    const std::string line = pending.substr(0, end);
                    pending.erase(0, end + 1);
                    for (size_t i = 0; i < milestones.size(); ++i)
                        if (start.milestoneMs[i] < 0 && line.rfind(milestones[i], 0) == 0)
                            start.milestoneMs[i] = elapsed();
                }
            }
            if (xcb_connection_has_error(m_x) || ::waitpid(pid, nullptr, WNOHANG) == pid)
                died = true;
        }
        if (mapped && settleMs > 0 && !died) {
            ::usleep(settleMs * 1000);
            start.peakKiB = peakResidentKiB(pid);
            ::usleep(laterMs * 1000);
            start.laterPeakKiB = peakResidentKiB(pid);
        }
        if (!died) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (log[0] >= 0) ::close(log[0]);
        // Unmap and destroy notices of the window just stopped are not the next start's.
        while (xcb_generic_event_t* e = xcb_poll_for_event(m_x))
            std::free(e);
        if (!mapped || died || !allSeen()) return std::nullopt;
        return start;
    }

private:
    xcb_connection_t* m_x;
    std::string m_program;
    QString m_home;
};

}  // namespace bench
