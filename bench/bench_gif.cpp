// The cost of one animation tick (dispose, draw, present) of a 320×240, 30-frame GIF against
// a plain QImage decode of the same frame pictures, and the share of one core the animation
// takes at the GIF's own delays. The ratios printed at the end are the figures that count.

#include "Quick.h"
#include "gifview/GifBuilder.h"
#include "gifview/GifViewCore.h"
#include "gifview/GifViewHost.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFrames = 30;
constexpr int kDelayHundredths = 5;

// A full first frame, then 29 moving 160×120 frames with the three disposal methods and a
// transparent colour, as screenshots of animated games tend to be.
QByteArray animation() {
    std::vector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(qRgb(i, (i * 7) & 255, 255 - i));
    GifBuilder b(kWidth, kHeight, palette);
    b.loops(0);
    std::vector<std::uint8_t> full(static_cast<std::size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            full[static_cast<std::size_t>(y) * kWidth + x] = static_cast<std::uint8_t>(x ^ y);
    b.control(1, kDelayHundredths).image(0, 0, kWidth, kHeight, full);
    for (int f = 1; f < kFrames; ++f) {
        std::vector<std::uint8_t> part(160 * 120);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x)
                part[static_cast<std::size_t>(y) * 160 + x] =
                    static_cast<std::uint8_t>(((x / 8 + y / 8 + f) % 5) == 0 ? 0 : (x + y + f * 9));
        b.control(1 + f % 3, kDelayHundredths, 0).image(f * 5, f * 4, 160, 120, part);
    }
    return b.bytes();
}

struct Loaded {
    Loaded() {
        file = QDir::temp().filePath(QStringLiteral("rombard-bench-gif.gif"));
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) out.write(animation());
        out.close();
        loaded = view.loadGif(file);
        pictures.reserve(kFrames);
        for (int i = 1; i <= view.gifFrameCount(); ++i)
            pictures.push_back(view.document().framePicture(i));
    }
    ~Loaded() {
        view.unloadGif(true);
        QFile::remove(file);
    }
    HeadlessGifHost host{QSize(kWidth, kHeight)};
    GifViewCore view{host};
    QString file;
    bool loaded = false;
    std::vector<QByteArray> pictures;
};

Loaded& loaded() {
    static Loaded l;
    return l;
}

// budget: bytes of decoded frames the view may keep (0: decode every frame on every tick).
void tick(benchmark::State& state, qint64 budget) {
    Loaded& l = loaded();
    if (!l.loaded) {
        state.SkipWithError("the benchmark GIF did not load");
        return;
    }
    l.view.document().setCacheBudget(budget);
    QImage window(kWidth, kHeight, QImage::Format_RGB32);
    l.view.setAnimate(true);
    for (auto _ : state) {
        l.view.advanceAnimation();
        // Present: what the widget's paint does with the control surface.
        QPainter p(&window);
        p.drawImage(0, 0, l.view.surface());
    }
    l.view.setAnimate(false);
}

void BM_AnimationTick(benchmark::State& state) {
    tick(state, GifDocument::kDefaultCacheBudget);
}

void BM_AnimationTickUncached(benchmark::State& state) {
    tick(state, 0);
}

void BM_QImageDecode(benchmark::State& state) {
    Loaded& l = loaded();
    std::size_t i = 0;
    for (auto _ : state) {
        QImage image;
        image.loadFromData(l.pictures[i], "GIF");
        benchmark::DoNotOptimize(image.constBits());
        i = (i + 1) % l.pictures.size();
    }
}

BENCHMARK(BM_AnimationTick)->Unit(benchmark::kMicrosecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_AnimationTickUncached)->Unit(benchmark::kMicrosecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_QImageDecode)->Unit(benchmark::kMicrosecond)->MinTime(bench::minTime(1.0));

class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.iterations > 0)
                nanos[r.run_name.function_name] = r.GetAdjustedCPUTime() * 1e3;  // µs → ns
    }
    std::map<std::string, double> nanos;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double cached = reporter.nanos["BM_AnimationTick"];
    const double uncached = reporter.nanos["BM_AnimationTickUncached"];
    const double decode = reporter.nanos["BM_QImageDecode"];
    const double delayNs = kDelayHundredths * 10.0 * 1e6;
    std::printf("tick %.1f µs (decoding every frame %.1f µs), QImage decode %.1f µs\n",
                cached / 1e3, uncached / 1e3, decode / 1e3);
    if (decode > 0)
        std::printf("tick / decode: %.3f (decoding every frame %.3f)\n", cached / decode,
                    uncached / decode);
    std::printf("share of one core at %d ms per frame: %.3f%% (decoding every frame %.3f%%)\n",
                kDelayHundredths * 10, 100.0 * cached / delayNs, 100.0 * uncached / delayNs);
    return 0;
}
