#pragma once

// The block walk of a GIF file: signature, logical screen, colour tables and extensions are
// read far enough to know where each frame's bytes lie and how it is timed and placed.
// Pixels are not decoded here.

#include "gifview/GifFrame.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// What the walk learns about the whole file; the loaded state keeps it as it is.
struct GifScreen {
    QString version;  // "gif89a" or "gif87a"
    qint32 background = 0;
    int logicalWidth = 0;
    int logicalHeight = 0;
    int loopCount = -1;
    bool restorePrevious = false;
    // Leading file bytes that precede every frame's bytes in a frame picture.
    qint32 headerLength = 0;
    // The header was fixed by a graphic control extension, so it ends with that block's 0x21.
    bool headerEndsWithIntroducer = false;
};

struct GifWalk : GifScreen {
    qint32 largestFrame = 0;
    std::vector<GifFrame> frames;
};

// Nothing when the bytes are not a GIF this view can show: wrong signature, a read past the
// end, an image without its pending frame record, a 16-bit field of 32768 or more.
std::optional<GifWalk> walkGif(const QByteArray& bytes);

// The single-image GIF that shows one frame: header, frame bytes, trailer.
QByteArray buildFramePicture(const QByteArray& header, bool headerEndsWithIntroducer,
                             const QByteArray& frameBytes, const GifFrame& frame);
