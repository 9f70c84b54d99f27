#pragma once

// A zip archive's directory, read without unpacking anything: the members' names, sizes and
// CRC-32s are all the identification needs, and only a member that has to be confirmed by
// its SHA-1 is ever unpacked. libzip reads the records; what it leaves to its caller is
// checked here, as an archive comes from anywhere: members whose packed bytes add up to
// more than the file holds (the overlapping-record bomb), a member larger than the caller
// takes, and unpacking that goes past the stated size. Member names are checked by the
// callers (unsafeMemberName).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace identify {

// The bytes a zip is read from: a file by its descriptor, or bytes in memory.
class ZipSource {
public:
    virtual ~ZipSource() = default;
    virtual qint64 size() const = 0;
    // Reads up to `length` bytes at `offset` into `out`; the count read, or -1 on an error.
    virtual qint64 readAt(qint64 offset, char* out, qint64 length) = 0;
};

class MemoryZipSource final : public ZipSource {
public:
    explicit MemoryZipSource(QByteArrayView bytes) : m_bytes(bytes) {}
    qint64 size() const override { return m_bytes.size(); }
    qint64 readAt(qint64 offset, char* out, qint64 length) override;

private:
    QByteArrayView m_bytes;
};

// Reads through a descriptor the caller keeps open (pread, so the position is left alone).
class FileZipSource final : public ZipSource {
public:
    FileZipSource(int fd, qint64 size) : m_fd(fd), m_size(size) {}
    qint64 size() const override { return m_size; }
    qint64 readAt(qint64 offset, char* out, qint64 length) override;

private:
    int m_fd;
    qint64 m_size;
};

struct ZipMember {
    QByteArray name;  // the bytes the archive gives, in no particular encoding
    qint64 compressedSize = 0;
    qint64 size = 0;
    quint32 crc = 0;
    int method = 0;  // 0 stored, 8 deflate; others are listed but cannot be unpacked
    bool encrypted = false;
    quint64 index = 0;  // the member's place in the directory

    // A folder entry ("dir/") holds no data of its own.
    bool isFolder() const { return name.endsWith('/'); }
};

// Whether a member's name would lead outside the archive's own folder if it were ever
// unpacked (absolute, a ".." step, a backslash or a NUL): such an archive is refused. libzip
// hands out a zip's names with any NUL turned into a space, so for a zip that leaves the
// others.
bool unsafeMemberName(const QByteArray& name);

// Whether the first bytes of a file are a zip's: a local file header, or the end record of
// an empty archive. Archives with something before their first member (self-extracting
// ones) are not taken for zips: a cartridge image may hold anything at its end.
bool looksLikeZip(QByteArrayView head);

struct ZipDirectory {
    std::vector<ZipMember> members;  // in the directory's order
    QString error;                   // why the directory could not be read; members empty
    bool ok() const { return error.isEmpty(); }
};

// Reads the directory (the end record is looked for only in the file's last 64 KiB + 22
// bytes). Every member needs its own local header, packed bytes and directory record before
// the end record; an archive whose members claim more than that room is refused.
ZipDirectory readZipDirectory(ZipSource& source);

struct MemberDigest {
    QByteArray sha1;  // 20 bytes when the member unpacked to exactly what the directory says
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// A member is unpacked only when it says it is at most this large.
constexpr qint64 kMaxZipMember = qint64{64} << 30;

// Unpacks one member (stored or deflate) of the archive it was listed from, in small pieces,
// into a SHA-1, checking its size and (through libzip) its CRC-32. A member stating more
// than `maxSize` bytes is refused before anything is unpacked, and the unpacking stops as
// soon as the output passes the stated size, so a member claiming to be small cannot unpack
// into gigabytes. The archive is opened again, and has to hold the very member listed.
MemberDigest digestMember(ZipSource& source, const ZipMember& member,
                          qint64 maxSize = kMaxZipMember);

}  // namespace identify
