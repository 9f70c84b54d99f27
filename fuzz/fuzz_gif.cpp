// libFuzzer entry for the GIF block walk: any bytes must end the walk with a result or a
// refusal, and a walked file's frame records must stay inside the file.

#include "gifview/GifWalker.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<GifWalk> walk = walkGif(bytes);
    if (!walk) return 0;
    const qint64 fileSize = bytes.size();
    check(walk->headerLength >= 0 && walk->headerLength < fileSize);
    check(walk->largestFrame >= 0 && walk->largestFrame <= fileSize);
    check(walk->frames.size() <= static_cast<std::size_t>(fileSize));
    const QByteArray header = bytes.left(walk->headerLength);
    for (const GifFrame& frame : walk->frames) {
        const qint32 start = frame.framePosition(GifFrame::kStart);
        const qint32 end = frame.framePosition(GifFrame::kEnd);
        check(start >= 1 && start < end && end <= fileSize + 1);
        check(frame.frameWidth() <= walk->logicalWidth &&
              frame.frameHeight() <= walk->logicalHeight);
        const QByteArray picture = buildFramePicture(header, walk->headerEndsWithIntroducer,
                                                     bytes.mid(start - 1, end - start), frame);
        check(picture.size() <= walk->headerLength + (end - start) + 2);
    }
    return 0;
}
