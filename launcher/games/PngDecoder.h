#pragma once

// PNG pictures decoded by libspng, which takes about half the time of Qt's own reader for
// a screen-sized screenshot: the one format where the decode is most of the wait between
// a selection and its picture.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

// A PNG's text chunks (tEXt, zTXt, iTXt): keyword and text.
using PngTexts = std::vector<std::pair<QByteArray, QByteArray>>;

// Whether `bytes` begin with the PNG signature.
bool IsPngData(const QByteArray& bytes);

// The picture in `bytes`, transparency applied, 16-bit samples kept as 16-bit; a null
// image when libspng cannot decode it, when it is larger than `maxPixels`, or when it
// carries an orientation (eXIf) that only Qt's reader applies. Decoding stops, with a null
// image, as soon as `wanted` answers false. `texts`, when given, receives the text chunks.
QImage DecodePng(const QByteArray& bytes, qint64 maxPixels,
                 const std::function<bool()>& wanted = {}, PngTexts* texts = nullptr);

// The size and the text chunks that come before the image data, without decoding it;
// nothing when `bytes` is not a PNG libspng can read.
std::optional<QSize> PngHeader(const QByteArray& bytes, PngTexts* texts);
