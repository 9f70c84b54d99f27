#pragma once

// Builders and a recording host for the GIF view's tests.

#include "gifview/GifBuilder.h"
#include "gifview/GifViewCore.h"
#include "gifview/GifViewHost.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QList>
#include <QRect>

#include <cstdint>
#include <functional>
#include <vector>

namespace giftest {

inline const QRgb kRed = qRgb(255, 0, 0);
inline const QRgb kGreen = qRgb(0, 255, 0);
inline const QRgb kBlue = qRgb(0, 0, 255);
inline const QRgb kWhite = qRgb(255, 255, 255);
inline const QRgb kBlack = qRgb(0, 0, 0);
inline const QRgb kYellow = qRgb(255, 255, 0);

// Index 0 red, 1 green, 2 blue, 3 white.
inline std::vector<QRgb> fourColours() {
    return {kRed, kGreen, kBlue, kWhite};
}

inline std::vector<std::uint8_t> solid(int w, int h, std::uint8_t index) {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h, index);
}

// n frames covering a w×h screen, frame i in palette colour i % 4.
inline QByteArray frames(int n, int loops = -1, int w = 2, int h = 2, int disposal = 1,
                         int delayHundredths = 10) {
    GifBuilder b(w, h, fourColours());
    if (loops >= 0) b.loops(loops);
    for (int i = 0; i < n; ++i)
        b.control(disposal, delayHundredths).image(0, 0, w, h, solid(w, h, i % 4));
    return b.bytes();
}

// A frame of one palette index over `at`, behind its control extension.
struct Patch {
    int disposal, delay;
    QRect at;
    std::uint8_t index;
    int transparent = -1;
};

// A w×h GIF in the four colours, made of those frames.
inline QByteArray patches(int w, int h, const std::vector<Patch>& list) {
    GifBuilder b(w, h, fourColours());
    for (const Patch& p : list)
        b.control(p.disposal, p.delay, p.transparent)
            .image(p.at.x(), p.at.y(), p.at.width(), p.at.height(),
                   solid(p.at.width(), p.at.height(), p.index));
    return b.bytes();
}

// The colour value of an opaque QRgb (red in the low byte).
inline qint32 colourValue(QRgb c) {
    return qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16);
}

// The GIF so far plus a 1×1 second frame, so that its one image is animated, not static.
inline QByteArray withSecondFrame(GifBuilder builder) {
    return builder.control(0, 5).image(0, 0, 1, 1, {0}).bytes();
}

class FakeGifHost : public GifViewHost {
public:
    explicit FakeGifHost(QSize client) : m_client(client) {}
    QSize clientSize() const override { return m_client; }
    QSize outerSize() const override { return m_client; }
    void setOuterSize(const QSize& size) override {
        m_client = size;
        resizes.append(size);
        if (onResize) onResize();
    }
    void invalidate(const QRect&, bool) override {}
    void applyBorderStyle(int style) override { borderStyles.append(style); }

    void setClient(QSize s) { m_client = s; }
    QList<QSize> resizes;
    QList<int> borderStyles;
    std::function<void()> onResize;

private:
    QSize m_client;
};

// A view over a fake host with its application folder in a temporary folder.
struct ViewFixture {
    explicit ViewFixture(QSize client = QSize(100, 100)) : host(client), view(host) {
        view.setApplicationFolder(folder.path());
        host.onResize = [this] { view.relayout(); };
        view.relayout();  // as the widget does when it is made
    }
    // Loads the bytes from a file of that name; AutoSize then sizes the client to the GIF.
    bool load(const QByteArray& bytes, const QString& name = QStringLiteral("a.gif")) {
        return view.loadGif(folder.write(name, bytes));
    }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            view.advanceAnimation();
    }
    QRgb pixel(int x, int y) const { return view.surface().pixel(x, y) | 0xFF000000u; }
    // Turns AutoSize off and sets the stretch mode, as a form with a fixed-size control does.
    void fixed(int stretch, int method = 0) {
        view.setAutoSize(false);
        view.setStretch(stretch);
        view.setStretchMethod(method);
    }

    TempFolder folder;
    FakeGifHost host;
    GifViewCore view;
};

}  // namespace giftest
