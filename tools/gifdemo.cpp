// gifdemo [FILE.gif]: shows one GIF animated in three views side by side, unscaled,
// proportionally stretched and stretched to fill, each with the raster path below it.
// Without a file it makes a small animation of its own.

#include "gifview/GifBuilder.h"
#include "gifview/ui/GifView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QWidget>

namespace {

// A 64×48 field with a ball that bounces across it: frame 1 is the field, every later frame
// a transparent 12×12 ball whose area is restored (disposal 3) before the next.
QByteArray bouncingBall() {
    const std::vector<QRgb> palette = {qRgb(0, 0, 0),     qRgb(30, 90, 200),   qRgb(250, 210, 40),
                                       qRgb(240, 60, 40), qRgb(255, 255, 255), qRgb(20, 140, 60),
                                       qRgb(0, 0, 0),     qRgb(0, 0, 0)};
    GifBuilder b(64, 48, palette);
    b.loops(0);
    std::vector<std::uint8_t> field(64 * 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            field[static_cast<std::size_t>(y) * 64 + x] =
                y > 40 ? 5 : ((x / 8 + y / 8) % 2 ? 1 : 4);
    b.control(1, 20).image(0, 0, 64, 48, field);
    std::vector<std::uint8_t> ball(12 * 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            const int dx = 2 * x - 11, dy = 2 * y - 11;
            const int d = dx * dx + dy * dy;
            ball[static_cast<std::size_t>(y) * 12 + x] = d > 121 ? 0 : (d > 60 ? 3 : 2);
        }
    for (int f = 0; f < 12; ++f) {
        const int x = f * 4;
        const int y = 28 - (f % 6 < 3 ? f % 6 : 6 - f % 6) * 9;
        b.control(3, 8, 0).image(x, y, 12, 12, ball);
    }
    return b.bytes();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString file = app.arguments().value(1);
    if (file.isEmpty()) {
        file = QDir::temp().filePath(QStringLiteral("rombard-gifdemo.gif"));
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) out.write(bouncingBall());
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("GIF view"));
    auto* grid = new QGridLayout(&window);
    const char* names[] = {"Stretch 0", "Stretch 1 (proportional)", "Stretch 2 (fill)"};
    for (int method = 0; method < 2; ++method) {
        for (int stretch = 0; stretch < 3; ++stretch) {
            auto* view = new GifView(&window);
            view->setAutoSize(false);
            view->setBorderStyle(3);
            view->setBackColor(0x303030);
            view->setStretch(stretch);
            view->setStretchMethod(method);
            view->setFixedSize(260, 150);
            view->loadGif(file);
            view->setAnimate(true);
            grid->addWidget(new QLabel(QString::fromLatin1(names[stretch]) +
                                       (method ? QStringLiteral(", raster") : QString())),
                            method * 2, stretch);
            grid->addWidget(view, method * 2 + 1, stretch);
        }
    }
    window.show();
    return app.exec();
}
