// Opening a folder of 20,000 sub-folders in the folder list: the rows worked out (read,
// hidden ones dropped, sorted without regard to case) and the window's list filled, against
// one plain readdir pass over the same folder measured in the same run.

#include "Quick.h"
#include "TimeReporter.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/window/FolderNavigation.h"
#include "platform/Volumes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

const int kFolders = bench::sized<int>(20000, 200);

const QString& folder() {
    static const QString path = [] {
        const QString p = QDir::tempPath() + QStringLiteral("/rombard-bench-navigation");
        QDir dir(p);
        if (dir.exists() && dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() == kFolders)
            return p;
        dir.removeRecursively();
        QDir().mkpath(p);
        // Mixed letter case, so the order has work to do.
        for (int i = 0; i < kFolders; ++i) {
            const QString name = QStringLiteral("%1ame Collection %2")
                                     .arg(QChar((i % 2 ? u'G' : u'g')))
                                     .arg((i * 7919) % kFolders);
            ::mkdir(QFile::encodeName(p + QLatin1Char('/') + name).constData(), 0755);
        }
        return p;
    }();
    return path;
}

void BM_Readdir(benchmark::State& state) {
    const QByteArray path = QFile::encodeName(folder());
    for (auto _ : state) {
        int n = 0;
        DIR* d = ::opendir(path.constData());
        while (const dirent* e = ::readdir(d))
            n += e->d_type == DT_DIR;
        ::closedir(d);
        benchmark::DoNotOptimize(n);
    }
}

void BM_FolderRows(benchmark::State& state) {
    for (auto _ : state) {
        const FolderRows rows = rowsOf(folder());
        benchmark::DoNotOptimize(rows.rows.size());
    }
}

// The window needs no service but the volumes to fill its folder list.
void BM_WindowFolderList(benchmark::State& state) {
    struct RootOnly : platform::Volumes {
        QStringList roots() override { return {QStringLiteral("/")}; }
        QString rootOf(const QString&) override { return QStringLiteral("/"); }
    } volumes;
    MainWindowServices services;
    services.volumes = &volumes;
    MainWindow window(services);
    auto* list = window.findChild<QListWidget*>(QStringLiteral("dirList"));
    list->show();  // a hidden list is not filled
    // The rows are looked up on the lists' thread; the window's part is filling the list.
    const auto settle = [&] {
        while (window.folderListsPending())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    window.setFolderListPath(folder());
    settle();
    for (auto _ : state) {
        window.refreshFolderList();
        settle();
        benchmark::DoNotOptimize(list->count());
    }
}

BENCHMARK(BM_Readdir)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_FolderRows)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_WindowFolderList)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    folder();
    bench::TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.time;
    const double ref = t["BM_Readdir"];
    auto ratio = [&](const char* name) { return ref > 0 ? t[name] / ref : 0.0; };
    std::printf("readdir pass over %d sub-folders: %.2f ms\n", kFolders, ref);
    std::printf("folder rows ratio vs readdir: %.2f\n", ratio("BM_FolderRows"));
    std::printf("window folder list filled, ratio vs readdir: %.2f\n",
                ratio("BM_WindowFolderList"));
    return 0;
}
