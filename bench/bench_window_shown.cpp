// The real program, from exec to its window mapped on the X server, as a user waits for it:
// an emulator folder whose "roms" holds 30,000 games against the same folder with an empty
// "roms", started in turn in one run so the ratio holds on a busy machine. Also the window
// process's peak resident memory half a second after its window was mapped, and again once
// the work that follows the listing (identification) has run, over the 30,000 games.
// ROMBARD_BENCH_GAMES sets another number of games (100000 for the memory goal). The
// system's data folders are left out, so no software list is read, unless
// ROMBARD_BENCH_SOFTWARE_LISTS is set.
//
// Without a DISPLAY the benchmark starts a bare Xvfb of its own (no window manager: the
// window is mapped as soon as the program asks) and stops it at the end.

#include "Quick.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

int gamesWanted() {
    const int asked = qEnvironmentVariableIntValue("ROMBARD_BENCH_GAMES");
    return asked > 0 ? asked : bench::sized(30000, 300);
}
const int kGames = gamesWanted();
const int kRuns = bench::sized(7, 1);
constexpr int kWaitMs = 20000;
// The list fills just after the window shows: the peak is read this long after the mapping.
constexpr int kSettleMs = 500;
// ... and again this long after it, when the background work that follows has had its turn.
constexpr int kLaterMs = 3000;

// An emulator folder as users keep one: the emulator program beside a "roms" folder.
bool makeEmulatorFolder(const QString& root, int games) {
    QFile emulator(root + QStringLiteral("/snes9x"));
    if (!emulator.open(QIODevice::WriteOnly)) return false;
    emulator.write("#!/bin/sh\n");
    emulator.close();
    emulator.setPermissions(emulator.permissions() | QFile::ExeOwner);
    if (!QDir().mkpath(root + QStringLiteral("/roms"))) return false;
    for (int i = 0; i < games; ++i) {
        const QByteArray path = QFile::encodeName(
            root + QStringLiteral("/roms/Game %1 (U) [!].smc").arg(i, 5, 10, QLatin1Char('0')));
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0) return false;
        ::close(fd);
    }
    // Made an hour ago, as a folder of games kept for years, not one still being written.
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
        while (::poll(&p, 1, kWaitMs) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
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

struct Start {
    double ms = 0;
    long peakKiB = 0;       // the window process's VmHWM kSettleMs after its window was mapped
    long laterPeakKiB = 0;  // ... and kLaterMs after it
};

long peakResidentKiB(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return std::atol(line.mid(6).trimmed().constData());
    return 0;
}

class Starter {
public:
    Starter(xcb_connection_t* x, std::string program, QString home)
        : m_x(x), m_program(std::move(program)), m_home(std::move(home)) {
        // Every top-level window of every screen reports its mapping to us.
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        for (auto it = xcb_setup_roots_iterator(xcb_get_setup(x)); it.rem; xcb_screen_next(&it))
            xcb_change_window_attributes(x, it.data->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(x);
    }

    // Starts the program on `folder` and times it until its first top-level window is
    // mapped; the program is then stopped without saving anything, so every start finds the
    // same settings (none).
    std::optional<Start> once(const QString& folder) {
        const QByteArray encoded = QFile::encodeName(folder);
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
            ::execl(m_program.c_str(), m_program.c_str(), encoded.constData(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid < 0) return std::nullopt;
        std::optional<Start> result;
        const int fd = xcb_get_file_descriptor(m_x);
        while (!result && timer.elapsed() < kWaitMs) {
            xcb_generic_event_t* e = xcb_poll_for_event(m_x);
            if (!e) {
                if (xcb_connection_has_error(m_x)) break;
                pollfd p{fd, POLLIN, 0};
                ::poll(&p, 1, 50);
                if (::waitpid(pid, nullptr, WNOHANG) == pid) return std::nullopt;  // it died
                continue;
            }
            if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto* m = reinterpret_cast<const xcb_map_notify_event_t*>(e);
                if (!m->override_redirect)
                    result = Start{static_cast<double>(timer.nsecsElapsed()) / 1e6, 0};
            }
            std::free(e);
        }
        if (result) {
            ::usleep(kSettleMs * 1000);
            result->peakKiB = peakResidentKiB(pid);
            ::usleep((kLaterMs - kSettleMs) * 1000);
            result->laterPeakKiB = peakResidentKiB(pid);
        }
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        // Unmap and destroy notices of the window just stopped are not the next start's.
        while (xcb_generic_event_t* e = xcb_poll_for_event(m_x))
            std::free(e);
        return result;
    }

private:
    xcb_connection_t* m_x;
    std::string m_program;
    QString m_home;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string program = argc > 1 ? argv[1] : ROMBARD_PROGRAM;

    OwnXServer ownServer;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        if (!ownServer.start()) {
            std::fprintf(stderr, "no DISPLAY, and Xvfb could not be started\n");
            return 1;
        }
        ::setenv("DISPLAY", ownServer.display().c_str(), 1);
    }
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "cannot connect to the X server %s\n", std::getenv("DISPLAY"));
        return 1;
    }

    QTemporaryDir full, empty, home;
    if (!makeEmulatorFolder(full.path(), kGames) || !makeEmulatorFolder(empty.path(), 0)) {
        std::fprintf(stderr, "cannot make the sample folders\n");
        return 1;
    }
    QDir().mkpath(home.path() + QStringLiteral("/runtime"));
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    Starter starter(x, program, home.path());
    // One start of each first, unmeasured: the program's own pages and Qt's libraries come
    // into the page cache, as they are for a user who has started anything Qt before.
    if (!starter.once(full.path()) || !starter.once(empty.path())) {
        std::fprintf(stderr, "%s did not map a window\n", program.c_str());
        return 1;
    }
    std::vector<double> fullMs, emptyMs;
    long fullPeak = 0, emptyPeak = 0, fullLater = 0, emptyLater = 0;
    for (int i = 0; i < kRuns; ++i) {
        // In turn, so both see the same load on the machine.
        const std::optional<Start> f = starter.once(full.path());
        const std::optional<Start> e = starter.once(empty.path());
        if (!f || !e) {
            std::fprintf(stderr, "a start did not map its window\n");
            return 1;
        }
        fullMs.push_back(f->ms);
        emptyMs.push_back(e->ms);
        fullPeak = std::max(fullPeak, f->peakKiB);
        emptyPeak = std::max(emptyPeak, e->peakKiB);
        fullLater = std::max(fullLater, f->laterPeakKiB);
        emptyLater = std::max(emptyLater, e->laterPeakKiB);
        std::printf("run %d: %d games %.1f ms %.1f/%.1f MiB, no games %.1f ms %.1f/%.1f MiB\n",
                    i + 1, kGames, f->ms, f->peakKiB / 1024.0, f->laterPeakKiB / 1024.0, e->ms,
                    e->peakKiB / 1024.0, e->laterPeakKiB / 1024.0);
    }
    xcb_disconnect(x);

    const double f = median(fullMs), e = median(emptyMs);
    std::printf(
        "window mapped with %d games: %.1f ms; with an empty roms: %.1f ms (medians of "
        "%d)\n",
        kGames, f, e, kRuns);
    std::printf("ratio: %.2f (goal at most 1.5)\n", f / e);
    std::printf(
        "peak resident memory of the window: %.1f MiB with %d games, %.1f MiB without "
        "(%.0f bytes a game)\n",
        fullPeak / 1024.0, kGames, emptyPeak / 1024.0, (fullPeak - emptyPeak) * 1024.0 / kGames);
    std::printf(
        "... %.1f s after the window showed: %.1f MiB with %d games, %.1f MiB without (%.0f "
        "bytes a game; goal at most 500 at 100,000 games)\n",
        kLaterMs / 1000.0, fullLater / 1024.0, kGames, emptyLater / 1024.0,
        (fullLater - emptyLater) * 1024.0 / kGames);
    return 0;
}
