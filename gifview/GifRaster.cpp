#include "gifview/GifRaster.h"

namespace {

// Source column/row for each destination column/row of a stretch from `from` to `to`.
std::vector<int> pickMap(int from, int to) {
    std::vector<int> map(static_cast<std::size_t>(std::max(to, 0)));
    for (int i = 0; i < to; ++i)
        map[static_cast<std::size_t>(i)] =
            static_cast<int>((static_cast<qint64>(2 * i + 1) * from) / (2LL * to));
    return map;
}

template <typename PixelFn>
void stretchInto(QImage& target, const QRect& dest, const QImage& picture, PixelFn pixel) {
    if (dest.width() <= 0 || dest.height() <= 0 || picture.isNull()) return;
    if (target.format() != QImage::Format_RGB32 && target.format() != QImage::Format_ARGB32) return;
    const QRect clip = dest.intersected(target.rect());
    if (clip.isEmpty()) return;
    const std::vector<int> xs = pickMap(picture.width(), dest.width());
    const std::vector<int> ys = pickMap(picture.height(), dest.height());
    for (int y = clip.top(); y <= clip.bottom(); ++y) {
        const int sy = ys[static_cast<std::size_t>(y - dest.top())];
        auto* line = reinterpret_cast<QRgb*>(target.scanLine(y));
        const auto* src = reinterpret_cast<const QRgb*>(picture.constScanLine(sy));
        for (int x = clip.left(); x <= clip.right(); ++x) {
            const int sx = xs[static_cast<std::size_t>(x - dest.left())];
            line[x] = pixel(line[x], src[sx], static_cast<std::size_t>(sy) * picture.width() + sx);
        }
    }
}

QImage argb(const QImage& picture) {
    return picture.format() == QImage::Format_ARGB32
               ? picture
               : picture.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

std::vector<unsigned char> buildMask(const QImage& picture, QRgb key, bool fromTransparency) {
    const QImage p = argb(picture);
    std::vector<unsigned char> mask(static_cast<std::size_t>(p.width()) * p.height());
    std::size_t i = 0;
    for (int y = 0; y < p.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(p.constScanLine(y));
        for (int x = 0; x < p.width(); ++x, ++i) {
            if (fromTransparency)
                mask[i] = qAlpha(line[x]) == 0 ? 1 : 0;
            else
                mask[i] = (line[x] & 0xFFFFFF) == (key & 0xFFFFFF) ? 1 : 0;
        }
    }
    return mask;
}

void drawMasked(QImage& target, const QRect& dest, const QImage& picture,
                const std::vector<unsigned char>& mask) {
    const QImage p = argb(picture);
    if (mask.size() != static_cast<std::size_t>(p.width()) * p.height()) return;
    stretchInto(target, dest, p, [&mask](QRgb back, QRgb src, std::size_t at) {
        // Image pixels under a white mask pixel were made black, so OR adds nothing there.
        const QRgb keep = mask[at] ? 0xFFFFFFu : 0u;
        const QRgb image = mask[at] ? 0u : (src & 0xFFFFFFu);
        return 0xFF000000u | (back & keep) | image;
    });
}

void drawOpaque(QImage& target, const QRect& dest, const QImage& picture) {
    const QImage p = argb(picture);
    stretchInto(target, dest, p, [](QRgb, QRgb src, std::size_t) { return 0xFF000000u | src; });
}
