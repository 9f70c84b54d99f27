#pragma once

// A CHD disc or disk image is known by the SHA-1 its header carries (the one over the data
// and the metadata, which is what software lists give for a <disk>): reading the header is
// one small read, where hashing the image would mean unpacking gigabytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace identify {

// The longest header of the versions read (v5); one read of this many bytes is enough.
constexpr qint64 kChdHeaderRead = 124;

// Whether a file's first bytes are a CHD's tag.
bool looksLikeChd(QByteArrayView head);

struct ChdHeader {
    int version = 0;
    QByteArray sha1;  // 20 bytes when ok
    QString problem;  // why the header cannot be trusted; empty when ok
    bool ok() const { return problem.isEmpty(); }
};

// Reads the header at the start of `head` (the file's first bytes, as many as it has up to
// kChdHeaderRead) of a file `fileSize` bytes long. Versions 3, 4 and 5 are read; a header
// shorter than its version's, of another length, or pointing past the file's end is refused
// with the reason.
ChdHeader readChdHeader(QByteArrayView head, qint64 fileSize);

}  // namespace identify
