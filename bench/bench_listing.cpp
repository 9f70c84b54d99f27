// Listing a ROM folder of 30,000 files against one plain readdir pass that stats every
// entry, measured in the same run; and sorting the listed rows by each header.
#include "Quick.h"
#include "TimeReporter.h"
#include "filelist/FolderList.h"
#include "filelist/ListModel.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

const int kFiles = bench::sized<int>(30000, 300);
const char* const kPattern = "*.zip;*.sms;*.sg;*.sc;*.gg;*.bin;*.smd;*.32x;*.cue;*.iso";

const QString& folder() {
    static const QString path = [] {
        const QString p = QDir::tempPath() + QStringLiteral("/rombard-bench-listing/");
        QDir dir(p);
        if (dir.exists() && dir.entryList(QDir::Files).size() == kFiles) return p;
        dir.removeRecursively();
        QDir().mkpath(p);
        // Mostly games of the pattern's systems, some screenshots and notes that it skips.
        const char* exts[] = {"zip", "sms", "sg",  "sc",  "gg",  "bin", "smd",
                              "32x", "cue", "iso", "ZIP", "SMS", "png", "txt"};
        for (int i = 0; i < kFiles; ++i) {
            const QString name = QStringLiteral("%1Game Title %2 (Rev %3).%4")
                                     .arg(QChar(u'A' + (i * 7919) % 26))
                                     .arg(i)
                                     .arg(i % 3)
                                     .arg(QLatin1String(exts[i % 14]));
            const QByteArray path = QFile::encodeName(p + name);
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            if (fd < 0) continue;
            // Sizes and dates spread out, so sorts have work to do.
            if (ftruncate(fd, (static_cast<off_t>(i) * 104729) % 8000000) != 0) {
            }
            const timespec times[2] = {{1600000000 + (i * 613) % 90000000, 0},
                                       {1600000000 + (i * 613) % 90000000, 0}};
            futimens(fd, times);
            ::close(fd);
        }
        return p;
    }();
    return path;
}

// The reference: every entry of the folder read and stat'ed once.
void BM_ReaddirStat(benchmark::State& state) {
    const QByteArray path = QFile::encodeName(folder());
    for (auto _ : state) {
        DIR* d = opendir(path.constData());
        long long total = 0;
        int n = 0;
        while (const dirent* e = readdir(d)) {
            struct stat st {};
            if (fstatat(dirfd(d), e->d_name, &st, 0) == 0) total += st.st_size;
            ++n;
        }
        closedir(d);
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(n);
    }
}

void BM_Listing(benchmark::State& state) {
    ListModel model;
    FolderList files(model);
    files.initPattern(QString::fromLatin1(kPattern));
    files.setPath(folder());
    for (auto _ : state) {
        files.refresh();
        benchmark::DoNotOptimize(model.count());
    }
    state.counters["rows"] = model.count();
}

// The same listing with every cell written afterwards (more than a view ever shows).
void BM_ListingEveryCell(benchmark::State& state) {
    ListModel model;
    FolderList files(model);
    files.initPattern(QString::fromLatin1(kPattern));
    files.setPath(folder());
    for (auto _ : state) {
        files.refresh();
        for (int i = 0; i < model.count(); ++i)
            benchmark::DoNotOptimize(model.subItemText(i, 3));
    }
}

// Sorting by a clicked header, every row's cells already written once.
void BM_SortByHeader(benchmark::State& state) {
    const int column = static_cast<int>(state.range(0));
    ListModel model;
    FolderList files(model);
    files.initPattern(QString::fromLatin1(kPattern));
    files.setPath(folder());
    files.sortFilesByColumnClick(column);
    for (auto _ : state) {
        files.sortFilesByColumnClick(column);
        benchmark::DoNotOptimize(model.itemText(0));
    }
}

// The first sort after a listing, before any cell text was written.
void BM_FirstSortByHeader(benchmark::State& state) {
    const int column = static_cast<int>(state.range(0));
    ListModel model;
    FolderList files(model);
    files.initPattern(QString::fromLatin1(kPattern));
    files.setPath(folder());
    for (auto _ : state) {
        state.PauseTiming();
        files.refresh();
        state.ResumeTiming();
        files.sortFilesByColumnClick(column);
    }
}

BENCHMARK(BM_ReaddirStat)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_Listing)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_ListingEveryCell)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_SortByHeader)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(bench::minTime(0.5));
BENCHMARK(BM_FirstSortByHeader)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(bench::minTime(0.5));

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    folder();
    bench::TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.time;
    const char* headers[] = {"name", "size", "type", "date"};
    for (int c = 0; c < 4; ++c) {
        const std::string warm = "BM_SortByHeader/" + std::to_string(c) + "";
        const std::string cold = "BM_FirstSortByHeader/" + std::to_string(c) + "";
        std::printf("sort by %s: %.2f ms (first sort after a listing: %.2f ms)\n", headers[c],
                    t[warm], t[cold]);
    }
    const double ref = t["BM_ReaddirStat"];
    auto ratio = [&](const char* name) { return ref > 0 ? t[name] / ref : 0.0; };
    std::printf("readdir + stat pass: %.2f ms\n", ref);
    std::printf("listing with every cell read, ratio vs readdir: %.2f\n",
                ratio("BM_ListingEveryCell"));
    std::printf("listing ratio vs readdir: %.2f\n", ratio("BM_Listing"));
    return 0;
}
