#pragma once

// The mask path of frame drawing on pixel buffers: a one-bit mask (white = keep what is
// under the frame), then destination AND stretched mask, OR stretched image.

#include <QImage>
#include <QRect>

#include <vector>

// One byte per picture pixel, 1 for white. From transparency: white where the picture is
// transparent. Colour-keyed: white where the picture's colour equals key.
std::vector<unsigned char> buildMask(const QImage& picture, QRgb key, bool fromTransparency);

// Draws picture (any size) stretched into dest on target, keeping target pixels where the
// mask is white. Pixels are picked nearest-neighbour; picture colours count without alpha.
void drawMasked(QImage& target, const QRect& dest, const QImage& picture,
                const std::vector<unsigned char>& mask);

// Draws picture stretched into dest, every pixel opaque.
void drawOpaque(QImage& target, const QRect& dest, const QImage& picture);
