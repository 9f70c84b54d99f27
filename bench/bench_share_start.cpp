// The window over a games folder on a share that answers every call in 1 ms (the slow_fs
// view of a local folder): when the window is shown, when every name is in the list, and
// when every length and date is, for 30,000 games; against a start on an empty games
// folder and one plain readdir + lstat pass over the same share, measured in the same run.
// Then the second start, from the folder's index. Then local folders of 100,000 and 300,000
// games against the empty start. Also a key's answer while the first listing runs.
//
//   bench_share_start [GAMES]      (root: the share is a FUSE mount)

#include "BenchWindow.h"
#include "Quick.h"
#include "filelist/ui/FileListView.h"
#include "support/SlowShare.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kDelayUs = 1000;

void makeGames(const QString& folder, int count) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QByteArray path = QFile::encodeName(
            folder + QStringLiteral("/Game %1 (U) [!].smc").arg(i, 6, 10, QLatin1Char('0')));
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd >= 0) ::close(fd);
    }
}

long peakResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return std::atol(line.mid(6).trimmed().constData());
    return 0;
}

double msSince(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// One readdir pass and one lstat a name: the least any listing with lengths costs.
double readdirAndLstat(const QString& folder) {
    QElapsedTimer t;
    t.start();
    const QByteArray dir = QFile::encodeName(folder);
    DIR* d = ::opendir(dir.constData());
    if (!d) return -1;
    while (const dirent* e = ::readdir(d)) {
        struct stat st {};
        ::fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW);
    }
    ::closedir(d);
    return msSince(t);
}

struct Timings {
    double shown = 0, names = 0, all = 0, keyMs = -1;
};

// A window over `services`' emulator folder, from construction to shown, to every name
// listed, to every length and date; with `key`, a key typed while the listing runs.
Timings startWindow(bench::WindowServices& services, int games, bool key) {
    Timings r;
    QElapsedTimer t;
    t.start();
    MainWindowServices s = services.services();
    s.readsFoldersInBackground = true;
    auto window = std::make_unique<MainWindow>(s);
    window->start();
    window->show();
    QApplication::processEvents();
    r.shown = msSince(t);
    auto* files = window->findChild<FileListView*>(QStringLiteral("Files"));
    // A key waits at most as long as the longest time the window's thread spends away from
    // its event loop: measured by a timer that should fire every 5 ms.
    QTimer tick;
    QElapsedTimer sinceTick;
    double longest = 0;
    if (key) {
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, msSince(sinceTick));
            sinceTick.restart();
        });
        sinceTick.start();
        tick.start();
    }
    while (files->listCount() < games && msSince(t) < 600000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    r.names = msSince(t);
    while (files->folderList().reading() && msSince(t) < 600000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    r.all = msSince(t);
    if (key) {
        auto* line = window->findChild<QLineEdit*>(QStringLiteral("txtCommandLine"));
        QTest::keyClick(line, Qt::Key_A);
        r.keyMs = line->text().endsWith(u'a') ? longest : -1;
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    bench::allocateAsTheProgram();
    QApplication app(argc, argv);
    const int games = argc > 1 ? std::atoi(argv[1]) : bench::sized(30000, 300);

    // The empty start, twice: the first brings the libraries in.
    bench::WindowServices empty;
    startWindow(empty, 0, false);
    const Timings none = startWindow(empty, 0, false);
    std::printf("empty start: window shown %.1f ms\n", none.shown);
    const long emptyPeak = peakResidentKiB();

    // The share: a local folder of games served through slow_fs at the emulator's "roms".
    QTemporaryDir source;
    makeGames(source.path(), games);
    bench::WindowServices onShare;
    const QString roms = onShare.folder.path() + QStringLiteral("/roms");
    support::SlowShare share(SLOW_FS_PROGRAM, source.path(), roms, kDelayUs);
    if (!share.mounted()) {
        std::fprintf(stderr, "the share could not be mounted (FUSE needs root)\n");
        return 1;
    }
    const double pass = readdirAndLstat(roms);
    std::printf("one readdir + lstat pass over %d games on the share: %.1f ms\n", games, pass);

    const Timings first = startWindow(onShare, games, true);
    std::printf(
        "first start, %d games on the share: window %.1f ms, names %.1f ms, all %.1f ms, "
        "a key waits at most %.1f ms\n",
        games, first.shown, first.names, first.all, first.keyMs);
    std::printf("  window / empty start: %.2f (goal at most 1.5)\n", first.shown / none.shown);
    std::printf("  all listed / (empty start + pass): %.2f (goal at most 1.1)\n",
                first.all / (none.shown + pass));

    const Timings second = startWindow(onShare, games, false);
    std::printf("second start (from the index): window %.1f ms, names %.1f ms, all %.1f ms\n",
                second.shown, second.names, second.all);
    std::printf("  window / empty start: %.2f (goal at most 1.5)\n", second.shown / none.shown);
    std::printf("  names / empty start: %.2f (goal at most 2)\n", second.names / none.shown);

    for (const int local : {bench::sized(100000, 500), bench::sized(300000, 1000)}) {
        bench::WindowServices folder;
        makeGames(folder.folder.path() + QStringLiteral("/roms"), local);
        const Timings t = startWindow(folder, local, false);
        std::printf(
            "local folder of %d games: window %.1f ms (%.2f of the empty start), names %.1f "
            "ms, all %.1f ms\n",
            local, t.shown, t.shown / none.shown, t.names, t.all);
        if (local == bench::sized(100000, 500))
            std::printf(
                "  peak memory of the whole process: %.0f bytes a game (goal at most 500)\n",
                (peakResidentKiB() - emptyPeak) * 1024.0 / local);
    }
    return 0;
}
