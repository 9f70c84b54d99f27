// The preview's two costs on every selection. The screenshot search over an emulator
// folder whose seven picture folders each hold 10,000 pictures, against the same search
// done with one stat call per candidate path, measured in the same run. And selection to
// picture in a window over 2,000 games with 1920 x 1080 PNG screenshots: one selection
// waited for (a picture seen for the first time, then the same pictures in a new window,
// from the thumbnails the first left), and Down held at the keyboard's repeat rate, each
// far jump against a plain decode of the same PNG on the window's thread right after it.

#include "BenchWindow.h"
#include "Quick.h"
#include "TimeReporter.h"
#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/games/PngDecoder.h"
#include "launcher/games/Screenshots.h"
#include "launcher/ui/PictureBox.h"
#include "platform/FileNames.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

const int kPictures = bench::sized<int>(10000, 100);
const int kGames = bench::sized<int>(2000, 20);
const char* const kSubfolders[] = {
    "pics", "shots", "snapshots", "snap", "screenshots", "roms/snes", "roms/covers_retro/snes"};
// 40 characters, with no picture under any of its prefixes.
const QString kMissing = QStringLiteral("Zyx Quest of the Forgotten Realm [!].smc");
// Its picture is in "shots/" under its full name.
const QString kPresent = QStringLiteral("Game Title 04321 (Europe) (En,Fr).smc");

void touchOld(const QString& path) {
    // Listings of a folder changed in the last seconds are taken again; these are old.
    const timespec times[2] = {{1500000000, 0}, {1500000000, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

void emptyFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0644);
    if (fd >= 0) ::close(fd);
}

const QString& pictureRoot() {
    static const QString root = [] {
        const QString p = QDir::tempPath() + QStringLiteral("/rombard-bench-preview/");
        const QString marker = p + QStringLiteral("complete");
        if (QFile::exists(marker)) return p;
        QDir(p).removeRecursively();
        const char* types[] = {"png", "jpg", "gif", "bmp", "PNG"};
        for (const char* sub : kSubfolders) {
            const QString folder = p + QLatin1String(sub) + QLatin1Char('/');
            QDir().mkpath(folder);
            for (int i = 0; i < kPictures; ++i)
                emptyFile(folder + QStringLiteral("Game Title %1 (Europe) (En,Fr).%2")
                                       .arg(i, 5, 10, QLatin1Char('0'))
                                       .arg(QLatin1String(types[i % 5])));
        }
        // Nothing else to find, in the listed folder at least.
        emptyFile(p + QStringLiteral("shots/") + withExtension(kPresent, ".png"));
        for (const char* sub : kSubfolders)
            touchOld(p + QLatin1String(sub));
        touchOld(p + QStringLiteral("roms/covers_retro"));
        touchOld(p + QStringLiteral("roms"));
        emptyFile(marker);
        touchOld(p);
        return p;
    }();
    return root;
}

QStringList searchFolders() {
    const QString root = pictureRoot();
    return screenshotFoldersOf(root + QStringLiteral("pics"), root,
                               root + QStringLiteral("roms/snes"));
}

void BM_FindScreenshotWorst(benchmark::State& state) {
    ScreenshotSearch search;
    const QStringList folders = searchFolders();
    search.screenshotOf(folders, kMissing);  // the first search lists the folders
    for (auto _ : state)
        benchmark::DoNotOptimize(search.screenshotOf(folders, kMissing));
}

void BM_FindScreenshotTypical(benchmark::State& state) {
    ScreenshotSearch search;
    const QStringList folders = searchFolders();
    if (search.screenshotOf(folders, kPresent).isEmpty()) state.SkipWithError("not found");
    for (auto _ : state)
        benchmark::DoNotOptimize(search.screenshotOf(folders, kPresent));
}

// The reference: the same walk with a stat call for each candidate path.
QString probeWithStat(const QStringList& folders, const QString& name) {
    for (const QString& folder : folders) {
        for (qsizetype k = name.size(); k >= 1; --k) {
            if (name.at(k - 1) == kPathSeparator) break;
            for (const char* type : {".png", ".jpg", ".gif", ".bmp"}) {
                const QString candidate = folder + withExtension(name.left(k), QLatin1String(type));
                struct stat st;
                if (::stat(platform::encodeName(candidate).constData(), &st) == 0) return candidate;
            }
        }
    }
    return {};
}

void BM_StatProbesWorst(benchmark::State& state) {
    const QStringList folders = searchFolders();
    for (auto _ : state)
        benchmark::DoNotOptimize(probeWithStat(folders, kMissing));
}

BENCHMARK(BM_FindScreenshotWorst)->Unit(benchmark::kMicrosecond)->MinTime(bench::minTime(0.5));
BENCHMARK(BM_FindScreenshotTypical)->Unit(benchmark::kMicrosecond)->MinTime(bench::minTime(0.5));
BENCHMARK(BM_StatProbesWorst)->Unit(benchmark::kMicrosecond)->MinTime(bench::minTime(0.5));

// A screenshot-like picture: flat areas, gradients and a noisy region, so that the PNG
// costs what a real one costs to decode.
QByteArray screenshotPng() {
    QImage image(1920, 1080, QImage::Format_RGB32);
    QRandomGenerator random(1);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const bool noisy = (x / 240 + y / 270) % 3 == 0;
            line[x] = noisy ? qRgb(random.bounded(256), random.bounded(256), (x ^ y) & 255)
                            : qRgb(x / 8, y / 5, ((x / 64) * 40) & 255);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const QByteArray& screenshotPngBytes() {
    static const QByteArray bytes = screenshotPng();
    return bytes;
}

// The same screenshot's decode alone: the fast decoder against Qt's reader.
void BM_PngDecodeFast(benchmark::State& state) {
    const QByteArray& bytes = screenshotPngBytes();
    for (auto _ : state) {
        std::optional<QImage> image = decodePngBytes(bytes);
        if (!image) state.SkipWithError("not decoded");
        benchmark::DoNotOptimize(image);
    }
}

void BM_PngDecodeQt(benchmark::State& state) {
    const QByteArray& bytes = screenshotPngBytes();
    for (auto _ : state) {
        QImage image;
        if (!image.loadFromData(bytes, "PNG")) state.SkipWithError("not decoded");
        benchmark::DoNotOptimize(image);
    }
}

BENCHMARK(BM_PngDecodeFast)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_PngDecodeQt)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));

struct WindowBench : bench::WindowServices {
    std::unique_ptr<MainWindow> window;
    qint64 pngBytes = 0;
    FileListView* fileList() const {
        return window->findChild<FileListView*>(QStringLiteral("Files"));
    }
    QString firstPicture() const { return folder.path() + QStringLiteral("/shots/first.png"); }

    WindowBench() {
        const QString root = folder.path() + QLatin1Char('/');
        QDir().mkpath(root + QStringLiteral("shots"));
        const QString first = root + QStringLiteral("shots/first.png");
        QFile png(first);
        png.open(QIODevice::WriteOnly);
        pngBytes = png.write(screenshotPng());
        png.close();
        for (int i = 0; i < kGames; ++i) {
            const QString game = QStringLiteral("Game %1 (U) [!]").arg(i, 4, 10, QLatin1Char('0'));
            emptyFile(root + QStringLiteral("roms/") + game + QStringLiteral(".smc"));
            // Links: 2,000 pictures of the same content without 2,000 times the disk.
            ::link(QFile::encodeName(first).constData(),
                   QFile::encodeName(root + QStringLiteral("shots/") + game + ".png").constData());
        }
        // As a user's folders are: not changed in the last seconds.
        for (const char* sub : {"", "/roms", "/shots"})
            touchOld(folder.path() + QLatin1String(sub));
        open();
    }
    // The window as a new session opens it: nothing decoded yet.
    void open() {
        window.reset();
        window = std::make_unique<MainWindow>(services());
        window->start();
        window->resize(1280, 800);
        window->show();
        QApplication::processEvents();
    }

    void waitForPicture() {
        while (window->picturePending())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QApplication::processEvents();
    }

    double selectionToPicture(int row) {
        QElapsedTimer t;
        t.start();
        fileList()->setListIndex(row);
        waitForPicture();
        return static_cast<double>(t.nsecsElapsed()) / 1e6;
    }

    struct Held {
        int keys = 0;
        double longestGapMs = 0;
        double longestKeyMs = 0;
        bool rightPicture = false;
    };
    // Down held for `keys` repeats at 30 per second, then let go.
    Held holdDown(int keys) {
        QWidget* list = fileList()->focusProxy() ? fileList()->focusProxy() : fileList();
        list->setFocus();
        Held held;
        QTimer repeat;
        repeat.setInterval(33);
        QElapsedTimer since;
        QObject::connect(&repeat, &QTimer::timeout, [&] {
            if (since.isValid())
                held.longestGapMs =
                    std::max(held.longestGapMs, static_cast<double>(since.nsecsElapsed()) / 1e6);
            since.restart();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
            QElapsedTimer handling;
            handling.start();
            QApplication::sendEvent(list, &press);
            held.longestKeyMs =
                std::max(held.longestKeyMs, static_cast<double>(handling.nsecsElapsed()) / 1e6);
            if (++held.keys == keys) repeat.stop();
        });
        repeat.start();
        while (repeat.isActive())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(list, &release);
        waitForPicture();
        // Every game's picture is "shots/" + its name + ".png".
        const QString expected = withExtension(fileList()->fileName(), QStringLiteral(".png"));
        const auto* picture = window->findChild<PictureBox*>(QStringLiteral("imgShot"));
        held.rightPicture = !fileList()->fileName().isEmpty() &&
                            picture->accessibleName() == expected && !picture->Picture().isNull();
        return held;
    }
};

}  // namespace

int main(int argc, char** argv) {
    bench::allocateAsTheProgram();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The thumbnails the run writes stay out of the user's cache.
    QTemporaryDir cacheHome;
    qputenv("XDG_CACHE_HOME", cacheHome.path().toUtf8());
    QApplication app(argc, argv);
    pictureRoot();
    benchmark::Initialize(&argc, argv);
    bench::TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    WindowBench bench;
    std::vector<double> times, next, plain;
    const auto plainDecode = [&] {
        QElapsedTimer t;
        t.start();
        QImageReader reader(bench.firstPicture());
        benchmark::DoNotOptimize(reader.read());
        return static_cast<double>(t.nsecsElapsed()) / 1e6;
    };
    for (int i = 1; i <= 15; ++i) {
        times.push_back(bench.selectionToPicture(i * 97));
        // The reference under the same load as the jump: a shared machine's other work
        // comes and goes within seconds.
        plain.push_back(plainDecode());
        // A moment on that game, as a user looks at it, then the next one.
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 400)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        next.push_back(bench.selectionToPicture(i * 97 + 1));
    }
    std::sort(times.begin(), times.end());
    std::sort(next.begin(), next.end());
    std::sort(plain.begin(), plain.end());
    const WindowBench::Held held = bench.holdDown(150);

    // A new session over the same games: their pictures come from the thumbnails written
    // after the first selections.
    bench.open();
    std::vector<double> thumbed;
    for (int i = 1; i <= 15; ++i)
        thumbed.push_back(bench.selectionToPicture(i * 97));
    std::sort(thumbed.begin(), thumbed.end());
    int thumbnails = 0;
    for (const char* size : {"large", "x-large", "xx-large"})
        thumbnails +=
            int(QDir(cacheHome.path() + QStringLiteral("/thumbnails/") + QLatin1String(size))
                    .entryList(QDir::Files)
                    .size());

    auto& t = reporter.time;
    const double worst = t["BM_FindScreenshotWorst"];
    const double typical = t["BM_FindScreenshotTypical"];
    const double probes = t["BM_StatProbesWorst"];
    std::printf("stat probes, worst case: %.1f us\n", probes);
    const double fastPng = t["BM_PngDecodeFast"];
    const double qtPng = t["BM_PngDecodeQt"];
    if (fastPng > 0 && qtPng > 0)
        std::printf("1920 x 1080 PNG decode alone: %.1f ms fast, %.1f ms Qt's reader, ratio %.2f\n",
                    fastPng, qtPng, fastPng / qtPng);
    std::printf(
        "holding Down: %d keys at 30 per second, longest wait between repeats %.0f ms "
        "(longest key handling %.1f ms), picture at release %s\n",
        held.keys, held.longestGapMs, held.longestKeyMs, held.rightPicture ? "right" : "WRONG");
    std::printf(
        "selection to picture: %.1f ms (median of %zu: a game far from the last one, "
        "1920 x 1080 PNG of %lld KiB; reading that PNG whole on this thread right after "
        "each: %.1f ms; ratio %.2f)\n",
        times[times.size() / 2], times.size(), static_cast<long long>(bench.pngBytes / 1024),
        plain[plain.size() / 2], times[times.size() / 2] / plain[plain.size() / 2]);
    std::printf("selection to picture, the next game after a moment on one: %.1f ms\n",
                next[next.size() / 2]);
    std::printf(
        "selection to picture from a fresh thumbnail (a new window, the same far "
        "jumps): %.1f ms (median of %zu; %d thumbnails in the cache)\n",
        thumbed[thumbed.size() / 2], thumbed.size(), thumbnails);
    std::printf("preview lookup: %.1f us worst, %.1f us typical, ratio vs stat probes: %.2f\n",
                worst, typical, probes > 0 ? worst / probes : 0.0);
    return 0;
}
