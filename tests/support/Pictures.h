#pragma once

// A picture of one colour, encoded as a picture file of the given format holds it.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>

inline QByteArray encodedPicture(const QSize& size, const QColor& color,
                                 const char* format = "PNG") {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}
