#pragma once

// Disc images in the CHD format, as far as the identifier reads them: the header.

#include <QByteArray>

namespace chdbuild {

inline void putBig(QByteArray& bytes, int at, quint64 value, int count) {
    for (int i = count - 1; i >= 0; --i, value >>= 8)
        bytes[at + i] = char(value & 0xFF);
}

// A CHD of `version` whose header carries `sha1`, then a body for its offsets to point into.
inline QByteArray chd(int version, const QByteArray& sha1, int bodyBytes = 256) {
    const int length = version == 3 ? 120 : version == 4 ? 108 : 124;
    const int sha1At = version == 3 ? 80 : version == 4 ? 48 : 84;
    QByteArray bytes(length + bodyBytes, '\x5A');
    bytes.replace(0, 8, "MComprHD");
    putBig(bytes, 8, quint64(length), 4);
    putBig(bytes, 12, quint64(version), 4);
    if (version == 5) {
        putBig(bytes, 40, quint64(length), 8);       // the map, right after the header
        putBig(bytes, 48, quint64(length + 16), 8);  // the metadata
    } else {
        putBig(bytes, 36, quint64(length + 16), 8);
    }
    bytes.replace(sha1At, 20, sha1);
    return bytes;
}

}  // namespace chdbuild
