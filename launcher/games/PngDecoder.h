#pragma once

// A quicker way through the PNG files screenshots nearly always are (8 bits per sample, not
// interlaced, RGB or RGBA, sometimes grey or a palette): the whole file in memory, one
// inflate over all its image data, rows unfiltered in place. Anything else, or anything not
// exactly as the format requires, is left to Qt's reader, which decides what to make of it:
// a picture read here is always the one Qt would have read, pixel for pixel.

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSize>

#include <functional>
#include <optional>

// What the file's header promises, when the fast decoder may take the file on: its size.
// `head` needs only the first 33 bytes (signature and header chunk).
std::optional<QSize> fastPngSize(QByteArrayView head);

// The picture in `bytes`: RGB32 when it is opaque, ARGB32 (not premultiplied) when it has
// alpha, Grayscale8 for grey without alpha. Nothing when the file is anything the fast path
// does not take or is damaged in any way, and nothing as soon as `wanted` (when given)
// answers false.
std::optional<QImage> decodePngBytes(QByteArrayView bytes,
                                     const std::function<bool()>& wanted = {});
