// Start-up time of the launcher window over an emulator folder whose "roms" folder holds
// 30,000 matching files: from constructing the window, through scanning the emulators
// and the first selection, to the list filled. The reference is one plain readdir pass
// over the same folder, so the ratio stays meaningful on a busy machine. Each start is
// printed with its processor time and the pages it had faulted in.

#include "BenchWindow.h"
#include "Quick.h"
#include "TimeReporter.h"
#include "filelist/ui/FileListView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int kFiles = bench::sized<int>(30000, 300);
const int kRuns = bench::sized<int>(7, 1);

struct Fixture : bench::WindowServices {
    Fixture() {
        for (int i = 0; i < kFiles; ++i) {
            QFile f(folder.path() +
                    QStringLiteral("/roms/Game %1 (U) [!].smc").arg(i, 5, 10, QLatin1Char('0')));
            f.open(QIODevice::WriteOnly);
        }
    }

    int startOnce() {
        MainWindow window(services());
        window.start();
        return window.findChild<FileListView*>(QStringLiteral("Files"))->listCount();
    }

    int readdirOnce() const {
        int n = 0;
        if (DIR* d =
                ::opendir(QFile::encodeName(folder.path() + QStringLiteral("/roms")).constData())) {
            while (::readdir(d))
                ++n;
            ::closedir(d);
        }
        return n;
    }
};

Fixture* g_fixture = nullptr;

void BM_Startup(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(g_fixture->startOnce());
}

void BM_ReaddirReference(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(g_fixture->readdirOnce());
}

}  // namespace

BENCHMARK(BM_Startup)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench::sized(1, 1))
    ->Repetitions(kRuns);
BENCHMARK(BM_ReaddirReference)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench::sized(1, 1))
    ->Repetitions(kRuns);

int main(int argc, char** argv) {
    bench::allocateAsTheProgram();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Fixture fixture;
    g_fixture = &fixture;
    if (fixture.startOnce() != kFiles) {
        std::fprintf(stderr, "the list did not fill with %d files\n", kFiles);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // Each start on its own: the processor time this thread spent and the pages it had to
    // be given fresh, so that a start slower than the rest shows why.
    for (int i = 0; i < kRuns; ++i) {
        rusage before{}, after{};
        ::getrusage(RUSAGE_THREAD, &before);
        QElapsedTimer wall;
        wall.start();
        fixture.startOnce();
        const double wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
        ::getrusage(RUSAGE_THREAD, &after);
        const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
        std::printf(
            "start %d: %.0f ms, processor %.0f ms (system %.0f ms), %ld pages faulted in\n", i + 1,
            wallMs,
            ms(after.ru_utime) + ms(after.ru_stime) - ms(before.ru_utime) - ms(before.ru_stime),
            ms(after.ru_stime) - ms(before.ru_stime), after.ru_minflt - before.ru_minflt);
    }
    const double startup = bench::medianMs(kRuns, [&] { fixture.startOnce(); });
    const double reference = bench::medianMs(kRuns, [&] { fixture.readdirOnce(); });
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("startup: %.0f ms (median of %d, %d files; goal under 80 ms)\n", startup, kRuns,
                kFiles);
    std::printf("reference readdir pass: %.2f ms; startup / reference = %.1f\n", reference,
                startup / reference);
    std::printf("peak memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
