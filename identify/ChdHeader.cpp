#include "identify/ChdHeader.h"

#include <array>

namespace identify {

namespace {

constexpr QByteArrayView kTag("MComprHD");

// Where each version keeps what is read here; every number is big-endian.
struct Layout {
    int version;
    qint64 length;
    int sha1At;
    // Offsets (64-bit) that must lie inside the file: the map (v5) and the metadata.
    std::array<int, 2> offsetsAt;
};

constexpr std::array<Layout, 3> kLayouts{{
    {3, 120, 80, {36, -1}},
    {4, 108, 48, {36, -1}},
    {5, 124, 84, {40, 48}},
}};

quint64 bigEndian(QByteArrayView bytes, int at, int count) {
    quint64 value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

}  // namespace

bool looksLikeChd(QByteArrayView head) {
    return head.size() >= kTag.size() && head.first(kTag.size()) == kTag;
}

ChdHeader readChdHeader(QByteArrayView head, qint64 fileSize) {
    ChdHeader header;
    if (!looksLikeChd(head)) {
        header.problem = QStringLiteral("not a CHD image (its first bytes are not a CHD tag)");
        return header;
    }
    if (head.size() < 16) {
        header.problem = QStringLiteral("the CHD header is cut short");
        return header;
    }
    header.version = int(bigEndian(head, 12, 4));
    const qint64 length = qint64(bigEndian(head, 8, 4));
    const Layout* layout = nullptr;
    for (const Layout& l : kLayouts)
        if (l.version == header.version) layout = &l;
    if (!layout) {
        header.problem = QStringLiteral("CHD version %1 is not read (only 3, 4 and 5)")
                             .arg(bigEndian(head, 12, 4));
        return header;
    }
    if (length != layout->length) {
        header.problem = QStringLiteral(
                             "the CHD header is damaged (version %1 with a header "
                             "of %2 bytes, not %3)")
                             .arg(header.version)
                             .arg(length)
                             .arg(layout->length);
        return header;
    }
    if (head.size() < layout->length || fileSize < layout->length) {
        header.problem = QStringLiteral("the CHD file is cut short inside its header");
        return header;
    }
    // A file cut after its header still has the right SHA-1 in it, but it is not the disc
    // the list describes: its map and metadata must at least be there.
    for (const int at : layout->offsetsAt) {
        if (at < 0) continue;
        const quint64 offset = bigEndian(head, at, 8);
        if (offset != 0 && (offset < quint64(layout->length) || offset >= quint64(fileSize))) {
            header.problem = QStringLiteral(
                "the CHD file is cut short or damaged (its header "
                "points past its end)");
            return header;
        }
    }
    header.sha1 = head.sliced(layout->sha1At, 20).toByteArray();
    if (header.sha1 == QByteArray(20, '\0')) {
        header.sha1.clear();
        header.problem = QStringLiteral("the CHD header carries no SHA-1");
    }
    return header;
}

}  // namespace identify
