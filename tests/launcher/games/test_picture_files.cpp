// Pictures through the loader: the fast decoder's files and the ones it leaves to Qt.

#include "imaging/PngDecoder.h"
#include "launcher/games/PictureLoader.h"
#include "support/PngBuilder.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

using png::qtDecode;
using png::qtEncoded;
using png::screenshotLike;

TEST(PictureFiles, FastAndFallbackPngsBothLoad) {
    TempFolder folder;
    const QImage source = screenshotLike(400, 200, QImage::Format_ARGB32, 11);
    const QByteArray fastPng = qtEncoded(source);
    ASSERT_TRUE(decodePngBytes(fastPng));
    // Qt writes 16 bits a sample for 64-bit formats: not the fast decoder's.
    const QByteArray deepPng = qtEncoded(source.convertToFormat(QImage::Format_RGBA64));
    ASSERT_FALSE(decodePngBytes(deepPng));
    // Damaged image data: Qt makes of it what it does.
    QByteArray damaged = fastPng;
    damaged[damaged.size() - 20] = char(damaged[damaged.size() - 20] ^ 0xff);
    ASSERT_FALSE(decodePngBytes(damaged));

    const struct {
        const char* what;
        QByteArray bytes;
        QSize box;
    } cases[] = {
        {"fast, shrunk", fastPng, {100, 100}},    {"fast, whole", fastPng, {}},
        {"16 bits, shrunk", deepPng, {100, 100}}, {"16 bits, whole", deepPng, {}},
        {"damaged", damaged, {100, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = folder.write(QStringLiteral("picture.png"), c.bytes);
        QSize full;
        const QImage loaded = loadPictureFile(path, c.box, &full);
        // What the loader always did: Qt's reading, scaled, on white.
        QImage expected = qtDecode(c.bytes);
        EXPECT_EQ(full, expected.isNull() ? QSize() : expected.size());
        if (expected.isNull()) {
            EXPECT_TRUE(loaded.isNull());
            continue;
        }
        if (c.box.isValid())
            expected = expected.scaled(c.box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QImage onWhite(expected.size(), QImage::Format_RGB32);
        onWhite.fill(Qt::white);
        QPainter(&onWhite).drawImage(0, 0, expected);
        EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
        EXPECT_EQ(loaded, onWhite);
    }
    // Stopped before it starts: nothing, fast path or not.
    const QString path = folder.write(QStringLiteral("stopped.png"), fastPng);
    EXPECT_TRUE(loadPictureFile(path, {100, 100}, nullptr, [] { return false; }).isNull());
}

}  // namespace
