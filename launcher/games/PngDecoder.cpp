#include "launcher/games/PngDecoder.h"

#include <spng.h>

#include <cstring>
#include <memory>

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// Rows between two looks at whether the picture is still wanted.
constexpr uint32_t kRowsPerLook = 64;

struct ContextFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

Context open(const QByteArray& bytes) {
    Context ctx(spng_ctx_new(0));
    if (!ctx) return ctx;
    // As libpng does by default: a damaged critical chunk fails, a damaged ancillary one
    // is passed over.
    spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_DISCARD);
    if (spng_set_png_buffer(ctx.get(), bytes.constData(), static_cast<size_t>(bytes.size())) != 0)
        ctx.reset();
    return ctx;
}

void readTexts(spng_ctx* ctx, PngTexts* texts) {
    if (!texts) return;
    texts->clear();
    uint32_t count = 0;
    if (spng_get_text(ctx, nullptr, &count) != 0 || count == 0) return;
    std::vector<spng_text> found(count);
    if (spng_get_text(ctx, found.data(), &count) != 0) return;
    for (uint32_t i = 0; i < count; ++i)
        texts->emplace_back(QByteArray(found[i].keyword),
                            QByteArray(found[i].text, static_cast<qsizetype>(found[i].length)));
}

bool hasTransparency(spng_ctx* ctx, const spng_ihdr& ihdr) {
    if (ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
        ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA)
        return true;
    spng_trns trns;
    return spng_get_trns(ctx, &trns) == 0;
}

}  // namespace

bool IsPngData(const QByteArray& bytes) {
    return bytes.size() >= 8 && std::memcmp(bytes.constData(), kSignature, 8) == 0;
}

QImage DecodePng(const QByteArray& bytes, qint64 maxPixels, const std::function<bool()>& wanted,
                 PngTexts* texts) {
    if (!IsPngData(bytes)) return {};
    const Context ctx = open(bytes);
    if (!ctx) return {};
    spng_ihdr ihdr;
    if (spng_get_ihdr(ctx.get(), &ihdr) != 0) return {};
    if (qint64(ihdr.width) * ihdr.height > maxPixels) return {};
    spng_exif exif;
    if (spng_get_exif(ctx.get(), &exif) == 0) return {};

    const bool deep = ihdr.bit_depth == 16;
    const int format = deep ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
    // Every alpha sample is opaque without transparency: the picture then needs no painting
    // on white before it is shown.
    const QImage::Format imageFormat =
        deep ? (hasTransparency(ctx.get(), ihdr) ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
             : (hasTransparency(ctx.get(), ihdr) ? QImage::Format_RGBA8888
                                                 : QImage::Format_RGBX8888);
    size_t size = 0;
    if (spng_decoded_image_size(ctx.get(), format, &size) != 0) return {};
    QImage image(static_cast<int>(ihdr.width), static_cast<int>(ihdr.height), imageFormat);
    if (image.isNull() || size != static_cast<size_t>(image.sizeInBytes())) return {};

    if (ihdr.interlace_method != SPNG_INTERLACE_NONE) {
        // Interlaced rows come pass after pass: decoded whole, straight into the picture.
        if (spng_decode_image(ctx.get(), image.bits(), size, format, SPNG_DECODE_TRNS) != 0)
            return {};
    } else {
        if (spng_decode_image(ctx.get(), nullptr, 0, format,
                              SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE) != 0)
            return {};
        const size_t rowBytes = static_cast<size_t>(image.bytesPerLine());
        int ret = 0;
        for (uint32_t row = 0;; ++row) {
            if (row % kRowsPerLook == 0 && wanted && !wanted()) return {};
            spng_row_info info;
            if (spng_get_row_info(ctx.get(), &info) != 0) break;
            ret = spng_decode_row(ctx.get(), image.scanLine(static_cast<int>(info.row_num)),
                                  rowBytes);
            if (ret != 0) break;
        }
        if (ret != SPNG_EOI) return {};
    }
    if (wanted && !wanted()) return {};
    readTexts(ctx.get(), texts);
    return image;
}

std::optional<QSize> PngHeader(const QByteArray& bytes, PngTexts* texts) {
    if (!IsPngData(bytes)) return std::nullopt;
    const Context ctx = open(bytes);
    if (!ctx) return std::nullopt;
    spng_ihdr ihdr;
    if (spng_get_ihdr(ctx.get(), &ihdr) != 0) return std::nullopt;
    readTexts(ctx.get(), texts);
    return QSize(static_cast<int>(ihdr.width), static_cast<int>(ihdr.height));
}
