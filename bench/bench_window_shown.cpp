// The real program, from exec to its window mapped on the X server, as a user waits for it:
// an emulator folder whose "roms" holds 30,000 games against the same folder with an empty
// "roms", started in turn in one run so the ratio holds on a busy machine. Also the window
// process's peak resident memory half a second after its window was mapped, and again once
// the work that follows the listing (identification) has run, over the 30,000 games.
// ROMBARD_BENCH_GAMES sets another number of games (100000 for the memory goal). The
// system's data folders are left out, so no software list is read, unless
// ROMBARD_BENCH_SOFTWARE_LISTS is set.
//
// Without a DISPLAY the benchmark starts a bare Xvfb of its own and stops it at the end.

#include "ProgramStarts.h"
#include "Quick.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

int gamesWanted() {
    const int asked = qEnvironmentVariableIntValue("ROMBARD_BENCH_GAMES");
    return asked > 0 ? asked : bench::sized(30000, 300);
}
const int kGames = gamesWanted();
const int kRuns = bench::sized(7, 1);
// The list fills just after the window shows: the peak is read this long after the mapping.
constexpr int kSettleMs = 500;
// ... and again this long after it, when the background work that follows has had its turn.
constexpr int kLaterMs = 3000;

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string program = argc > 1 ? argv[1] : ROMBARD_PROGRAM;

    bench::OwnXServer ownServer;
    xcb_connection_t* x = bench::connectToX(ownServer);
    if (!x) return 1;

    QTemporaryDir full, empty, home;
    if (!bench::makeEmulatorFolder(full.path(), kGames) ||
        !bench::makeEmulatorFolder(empty.path(), 0)) {
        std::fprintf(stderr, "cannot make the sample folders\n");
        return 1;
    }

    bench::Starter starter(x, program, home.path());
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
        const auto f = starter.once(full.path(), {}, bench::kStartWaitMs, kSettleMs, kLaterMs);
        const auto e = starter.once(empty.path(), {}, bench::kStartWaitMs, kSettleMs, kLaterMs);
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

    const double f = bench::median(fullMs), e = bench::median(emptyMs);
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
