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

#include <cstddef>
#include <functional>
#include <memory>
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

// decodePngBytes with its working memory (the inflated rows, image data in several chunks
// joined) kept from one picture to the next. Memory the heap hands out afresh for a
// screenshot's rows comes as new pages, each faulted in on first touch: that cost a decode
// as much as the inflating, unless the whole process kept its heap large. Kept per thread
// (one decoder is not to be shared); a buffer past kKeptBytes goes back after its picture.
class PngDecoder {
public:
    static constexpr std::size_t kKeptBytes = 64u << 20;

    std::optional<QImage> decode(QByteArrayView bytes, const std::function<bool()>& wanted = {});

private:
    struct Buffer {
        std::unique_ptr<uchar[]> data;
        std::size_t size = 0;
        // At least `bytes` of memory, or null when there is none to be had.
        uchar* atLeast(std::size_t bytes);
        void trim();
    };
    Buffer m_rows, m_joined;
};
