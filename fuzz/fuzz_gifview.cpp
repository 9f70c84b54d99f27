// libFuzzer entry for the whole view without a window: the bytes are loaded as a GIF file,
// then drawn through every path (scaled or not, masked, with a custom background) and
// animated for a few ticks. The last byte picks the drawing settings.

#include "gifview/GifViewCore.h"
#include "gifview/GifViewHost.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <unistd.h>

namespace {

QString scratchFile() {
    static const QString name =
        QDir::temp().filePath(QStringLiteral("rombard-fuzz-%1.gif").arg(getpid()));
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.gui.imageio.warning=false");
    static QGuiApplication app(*argc, *argv);
    // A 70-byte file may name a 120-megabyte frame; decoding such pictures under the
    // sanitizers would leave no time for anything else, and a refused decode is a case the
    // view must handle anyway.
    QImageReader::setAllocationLimit(4);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 20) return 0;
    {
        QFile file(scratchFile());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    const std::uint8_t settings = data[size - 1];
    HeadlessGifHost host(QSize(48, 32));
    GifViewCore view(host);
    view.setAutoSize(settings & 1);
    view.setStretch((settings >> 1) % 3);
    view.setStretchMethod((settings >> 3) & 1);
    if (settings & 0x10) {
        view.beginCustomBackground()->fill(Qt::yellow);
        view.commitCustomBackground();
    }
    if (!view.loadGif(scratchFile())) return 0;
    if (settings & 0x20 && view.gifFrameCount() >= 1) view.frame(1)->setForceTransparency(true);
    view.showFrame(1);
    view.setAnimate(true);
    for (int i = 0; i < 2 * view.gifFrameCount() + 1 && i < 12; ++i)
        view.advanceAnimation();
    if (settings & 0x40) view.cropGif(17, 9);
    if (settings & 0x80) view.removeFrame(1);
    view.advanceAnimation();
    view.unloadGif(true);
    return 0;
}
