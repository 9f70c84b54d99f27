// Pictures through the loader, at the size they are shown and on white: the fast decoder's
// files, the ones it leaves to Qt, and what is no picture at all.

#include "imaging/PngDecoder.h"
#include "launcher/games/PictureLoader.h"
#include "support/Pictures.h"
#include "support/PngBuilder.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

using png::qtDecode;
using png::qtEncoded;
using png::screenshotLike;

TEST(PictureFiles, DecodeAsQtDoesAtTheShownSizeOnWhite) {
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
        QSize shown;  // invalid: whatever Qt makes of it
    } cases[] = {
        {"fast, shrunk keeping its shape", fastPng, {100, 100}, {100, 50}},
        {"fast, no box: its own size", fastPng, {}, {400, 200}},
        {"16 bits, shrunk", deepPng, {100, 100}, {100, 50}},
        {"16 bits, whole", deepPng, {}, {400, 200}},
        {"never enlarged",
         qtEncoded(screenshotLike(40, 20, QImage::Format_RGB32, 12)),
         {100, 100},
         {40, 20}},
        {"damaged", damaged, {100, 100}, {}},
        {"not a picture", "hello, this is text", {100, 100}, {}},
        {"truncated", fastPng.left(60), {100, 100}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = folder.write(QStringLiteral("picture.png"), c.bytes);
        QSize full;
        const QImage loaded = loadPictureFile(path, c.box, &full);
        if (c.shown.isValid()) {
            EXPECT_EQ(loaded.size(), c.shown);
        }
        // What the loader always did: Qt's reading, shrunk to fit, on white.
        QImage expected = qtDecode(c.bytes);
        EXPECT_EQ(full, expected.isNull() ? QSize() : expected.size());
        if (expected.isNull()) {
            EXPECT_TRUE(loaded.isNull());
            continue;
        }
        if (c.box.isValid() && !QRect(QPoint(), c.box).contains(expected.rect()))
            expected = expected.scaled(c.box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QImage onWhite(expected.size(), QImage::Format_RGB32);
        onWhite.fill(Qt::white);
        QPainter(&onWhite).drawImage(0, 0, expected);
        EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
        EXPECT_EQ(loaded, onWhite);
    }
#ifndef __SANITIZE_ADDRESS__
    // Not under AddressSanitizer: GCC 12's leak checker crashes at exit scanning the
    // thread-local storage that Qt's JPEG plugin leaves behind.
    const QString jpeg = folder.write("picture.jpg", encodedPicture({300, 300}, Qt::green, "JPG"));
    EXPECT_EQ(loadPictureFile(jpeg, {90, 60}).size(), QSize(60, 60));
#endif
    // A clear picture shows on white; a missing one, or one no longer wanted before it
    // starts, is no picture.
    const QString clear = folder.write("clear.png", encodedPicture({10, 10}, QColor(255, 0, 0, 0)));
    EXPECT_EQ(loadPictureFile(clear, {10, 10}).pixelColor(5, 5), QColor(Qt::white));
    EXPECT_TRUE(loadPictureFile(folder.file("missing.png"), {10, 10}).isNull());
    const QString path = folder.write(QStringLiteral("stopped.png"), fastPng);
    EXPECT_TRUE(loadPictureFile(path, {100, 100}, nullptr, [] { return false; }).isNull());
}

}  // namespace
