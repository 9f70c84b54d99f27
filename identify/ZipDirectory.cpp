#include "identify/ZipDirectory.h"

#include "checksum/Crc32Kernel.h"

#include <QCryptographicHash>
#include <QList>

#include <zlib.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

namespace identify {

namespace {

constexpr quint32 kLocalHeader = 0x04034b50;
constexpr quint32 kCentralHeader = 0x02014b50;
constexpr quint32 kEndRecord = 0x06054b50;
constexpr quint32 kZip64EndRecord = 0x06064b50;
constexpr quint32 kZip64Locator = 0x07064b50;

constexpr qint64 kEndRecordSize = 22;
constexpr qint64 kZip64LocatorSize = 20;
constexpr qint64 kZip64EndRecordSize = 56;
constexpr qint64 kCentralHeaderSize = 46;
constexpr qint64 kLocalHeaderSize = 30;
constexpr qint64 kMaxComment = 0xFFFF;
constexpr qint64 kChunk = 64 * 1024;

quint16 u16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint16(b[0] | (b[1] << 8));
}
quint32 u32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint32(b[0]) | (quint32(b[1]) << 8) | (quint32(b[2]) << 16) | (quint32(b[3]) << 24);
}
quint64 u64(const char* p) {
    return quint64(u32(p)) | (quint64(u32(p + 4)) << 32);
}

// A 64-bit field as a file position: anything past qint64 cannot be inside a file.
bool fitsPosition(quint64 v) {
    return v <= quint64(std::numeric_limits<qint64>::max());
}

// Reads exactly `length` bytes, or fails.
bool readExactly(ZipSource& source, qint64 offset, char* out, qint64 length) {
    while (length > 0) {
        const qint64 n = source.readAt(offset, out, length);
        if (n <= 0) return false;
        offset += n;
        out += n;
        length -= n;
    }
    return true;
}

struct EndRecord {
    qint64 position = 0;  // where the directory must end by (the first end record)
    quint64 entries = 0;
    quint64 directorySize = 0;
    quint64 directoryOffset = 0;
};

// Finds the end record in the file's tail. A comment may itself hold the signature, so a
// record whose comment reaches exactly to the end of the file is preferred; otherwise the
// last one found whose comment fits.
QString findEndRecord(ZipSource& source, EndRecord& end, bool& zip64Wanted) {
    const qint64 size = source.size();
    if (size < kEndRecordSize) return QStringLiteral("too short to be a zip");
    const qint64 tailLength = std::min(size, kMaxComment + kEndRecordSize);
    QByteArray tail(tailLength, Qt::Uninitialized);
    if (!readExactly(source, size - tailLength, tail.data(), tailLength))
        return QStringLiteral("cannot be read");
    qint64 fitting = -1, exact = -1;
    for (qint64 i = tailLength - kEndRecordSize; i >= 0 && exact < 0; --i) {
        const char* p = tail.constData() + i;
        if (u32(p) != kEndRecord) continue;
        const qint64 recordEnd = i + kEndRecordSize + u16(p + 20);
        if (recordEnd == tailLength)
            exact = i;
        else if (recordEnd < tailLength && fitting < 0)
            fitting = i;
    }
    const qint64 at = exact >= 0 ? exact : fitting;
    if (at < 0) return QStringLiteral("no end of the zip directory (a cut-off file?)");
    const char* p = tail.constData() + at;
    const quint16 disk = u16(p + 4), directoryDisk = u16(p + 6);
    const quint16 entriesHere = u16(p + 8), entries = u16(p + 10);
    const quint32 directorySize = u32(p + 12), directoryOffset = u32(p + 16);
    zip64Wanted = entries == 0xFFFF || entriesHere == 0xFFFF || directorySize == 0xFFFFFFFF ||
                  directoryOffset == 0xFFFFFFFF || disk == 0xFFFF || directoryDisk == 0xFFFF;
    if (!zip64Wanted && (disk != 0 || directoryDisk != 0 || entriesHere != entries))
        return QStringLiteral("a zip split over several disks");
    end.position = size - tailLength + at;
    end.entries = entries;
    end.directorySize = directorySize;
    end.directoryOffset = directoryOffset;
    return {};
}

QString readZip64EndRecord(ZipSource& source, EndRecord& end) {
    char locator[kZip64LocatorSize];
    const qint64 locatorAt = end.position - kZip64LocatorSize;
    if (locatorAt < 0 || !readExactly(source, locatorAt, locator, kZip64LocatorSize) ||
        u32(locator) != kZip64Locator)
        return QStringLiteral("the ZIP64 end of the directory is missing");
    const quint64 recordAt = u64(locator + 8);
    if (u32(locator + 4) != 0 || u32(locator + 16) > 1)
        return QStringLiteral("a zip split over several disks");
    // The record lies before its locator, never on top of it.
    if (!fitsPosition(recordAt) || qint64(recordAt) > locatorAt - kZip64EndRecordSize)
        return QStringLiteral("the ZIP64 end of the directory points outside the file");
    char record[kZip64EndRecordSize];
    if (!readExactly(source, qint64(recordAt), record, kZip64EndRecordSize) ||
        u32(record) != kZip64EndRecord)
        return QStringLiteral("the ZIP64 end of the directory is damaged");
    if (u32(record + 16) != 0 || u32(record + 20) != 0 || u64(record + 24) != u64(record + 32))
        return QStringLiteral("a zip split over several disks");
    end.position = qint64(recordAt);
    end.entries = u64(record + 32);
    end.directorySize = u64(record + 40);
    end.directoryOffset = u64(record + 48);
    return {};
}

// The ZIP64 extra field holds, in this order, only the fields whose 32-bit value is
// saturated.
bool applyZip64Extra(const char* extra, qint64 length, ZipMember& m, bool wantSize,
                     bool wantCompressed, bool wantOffset, bool wantDisk, quint32& disk) {
    qint64 pos = 0;
    while (pos + 4 <= length) {
        const quint16 id = u16(extra + pos), blockLength = u16(extra + pos + 2);
        const char* data = extra + pos + 4;
        if (pos + 4 + blockLength > length) return false;
        if (id == 0x0001) {
            qint64 at = 0;
            const auto take = [&](quint64& value) {
                if (at + 8 > blockLength) return false;
                value = u64(data + at);
                at += 8;
                return true;
            };
            quint64 size = quint64(m.size), compressed = quint64(m.compressedSize),
                    offset = quint64(m.localHeaderOffset);
            if ((wantSize && !take(size)) || (wantCompressed && !take(compressed)) ||
                (wantOffset && !take(offset)))
                return false;
            if (wantDisk) {
                if (at + 4 > blockLength) return false;
                disk = u32(data + at);
            }
            if (!fitsPosition(size) || !fitsPosition(compressed) || !fitsPosition(offset))
                return false;
            m.size = qint64(size);
            m.compressedSize = qint64(compressed);
            m.localHeaderOffset = qint64(offset);
            return true;
        }
        pos += 4 + blockLength;
    }
    return !(wantSize || wantCompressed || wantOffset || wantDisk);
}

}  // namespace

qint64 MemoryZipSource::readAt(qint64 offset, char* out, qint64 length) {
    if (offset < 0 || length < 0) return -1;
    if (offset >= m_bytes.size()) return 0;
    const qint64 n = std::min(length, qint64(m_bytes.size()) - offset);
    std::memcpy(out, m_bytes.data() + offset, size_t(n));
    return n;
}

qint64 FileZipSource::readAt(qint64 offset, char* out, qint64 length) {
    for (;;) {
        const ssize_t n = ::pread(m_fd, out, size_t(length), off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool unsafeMemberName(const QByteArray& name) {
    if (name.isEmpty() || name.startsWith('/') || name.contains('\\') || name.contains('\0'))
        return true;
    for (const QByteArray& step : name.split('/'))
        if (step == "..") return true;
    return false;
}

bool looksLikeZip(QByteArrayView head) {
    if (head.size() < 4) return false;
    const quint32 signature = u32(head.data());
    return signature == kLocalHeader || signature == kEndRecord;
}

ZipDirectory readZipDirectory(ZipSource& source) {
    ZipDirectory result;
    const auto fail = [&](QString error) {
        result.members.clear();
        result.error = std::move(error);
        return result;
    };
    EndRecord end;
    bool zip64 = false;
    if (QString error = findEndRecord(source, end, zip64); !error.isEmpty()) return fail(error);
    if (zip64)
        if (QString error = readZip64EndRecord(source, end); !error.isEmpty()) return fail(error);

    if (!fitsPosition(end.directoryOffset) || !fitsPosition(end.directorySize) ||
        qint64(end.directoryOffset) > end.position ||
        qint64(end.directorySize) > end.position - qint64(end.directoryOffset))
        return fail(QStringLiteral("the zip directory points outside the file"));
    const qint64 directoryOffset = qint64(end.directoryOffset);
    const qint64 directorySize = qint64(end.directorySize);
    if (directorySize > kMaxZipDirectory)
        return fail(QStringLiteral("the zip directory is too large"));
    // Each record takes at least its fixed part, so the directory's real size bounds the
    // count whatever the end record claims.
    if (end.entries > quint64(directorySize / kCentralHeaderSize))
        return fail(QStringLiteral("the zip directory claims %1 members but has room for %2")
                        .arg(end.entries)
                        .arg(directorySize / kCentralHeaderSize));

    QByteArray directory(directorySize, Qt::Uninitialized);
    if (!readExactly(source, directoryOffset, directory.data(), directorySize))
        return fail(QStringLiteral("the zip directory cannot be read"));
    result.members.reserve(size_t(end.entries));
    qint64 pos = 0;
    for (quint64 k = 0; k < end.entries; ++k) {
        if (pos + kCentralHeaderSize > directorySize)
            return fail(QStringLiteral("the zip directory is cut short"));
        const char* p = directory.constData() + pos;
        if (u32(p) != kCentralHeader) return fail(QStringLiteral("the zip directory is damaged"));
        const qint64 nameLength = u16(p + 28), extraLength = u16(p + 30),
                     commentLength = u16(p + 32);
        const qint64 recordLength = kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (pos + recordLength > directorySize)
            return fail(QStringLiteral("the zip directory is cut short"));
        ZipMember m;
        m.flags = u16(p + 8);
        m.method = u16(p + 10);
        m.crc = u32(p + 16);
        const quint32 compressed = u32(p + 20), size = u32(p + 24), offset = u32(p + 42);
        quint32 disk = u16(p + 34);
        m.compressedSize = compressed;
        m.size = size;
        m.localHeaderOffset = offset;
        m.name = QByteArray(p + kCentralHeaderSize, nameLength);
        if (size == 0xFFFFFFFF || compressed == 0xFFFFFFFF || offset == 0xFFFFFFFF ||
            disk == 0xFFFF) {
            if (!applyZip64Extra(p + kCentralHeaderSize + nameLength, extraLength, m,
                                 size == 0xFFFFFFFF, compressed == 0xFFFFFFFF, offset == 0xFFFFFFFF,
                                 disk == 0xFFFF, disk))
                return fail(QStringLiteral("a member's ZIP64 sizes are missing or damaged"));
        }
        if (disk != 0) return fail(QStringLiteral("a zip split over several disks"));
        result.members.push_back(std::move(m));
        pos += recordLength;
    }

    // Members follow one another before the directory. Their order on disk need not be the
    // directory's, so they are checked sorted by position; a member whose data would run
    // into the next (a record pointing back, or two sharing their data) makes the archive
    // a forgery.
    std::vector<const ZipMember*> byPosition;
    byPosition.reserve(result.members.size());
    for (const ZipMember& m : result.members)
        byPosition.push_back(&m);
    std::sort(byPosition.begin(), byPosition.end(), [](const ZipMember* a, const ZipMember* b) {
        return a->localHeaderOffset < b->localHeaderOffset;
    });
    for (size_t i = 0; i < byPosition.size(); ++i) {
        const ZipMember& m = *byPosition[i];
        const qint64 limit =
            i + 1 < byPosition.size() ? byPosition[i + 1]->localHeaderOffset : directoryOffset;
        if (m.localHeaderOffset > limit || m.compressedSize > limit - m.localHeaderOffset ||
            kLocalHeaderSize > limit - m.localHeaderOffset - m.compressedSize)
            return fail(QStringLiteral("zip members overlap or point outside the file"));
    }
    return result;
}

MemberDigest digestMember(ZipSource& source, const ZipMember& member) {
    MemberDigest result;
    const auto fail = [&](QString error) {
        result.error = std::move(error);
        return result;
    };
    if (member.encrypted()) return fail(QStringLiteral("the member is encrypted"));
    if (member.method != 0 && member.method != 8)
        return fail(QStringLiteral("the member's compression (method %1) is not supported")
                        .arg(member.method));
    char local[kLocalHeaderSize];
    if (member.localHeaderOffset < 0 ||
        !readExactly(source, member.localHeaderOffset, local, kLocalHeaderSize) ||
        u32(local) != kLocalHeader)
        return fail(QStringLiteral("the member's header is missing"));
    const qint64 dataStart =
        member.localHeaderOffset + kLocalHeaderSize + u16(local + 26) + u16(local + 28);
    if (member.compressedSize < 0 || dataStart > source.size() ||
        member.compressedSize > source.size() - dataStart)
        return fail(QStringLiteral("the member's data lies outside the file"));
    if (member.method == 0 && member.compressedSize != member.size)
        return fail(QStringLiteral("the member's stored size does not match"));

    QCryptographicHash sha1(QCryptographicHash::Sha1);
    quint32 crc = 0xFFFFFFFFu;
    qint64 produced = 0;
    const auto take = [&](const char* data, qint64 length) {
        produced += length;
        if (produced > member.size) return false;
        crc = crckernel::crc32Update(crc, reinterpret_cast<const std::uint8_t*>(data),
                                     size_t(length));
        sha1.addData(QByteArrayView(data, length));
        return true;
    };
    const auto input = std::make_unique_for_overwrite<char[]>(kChunk);
    qint64 consumed = 0;
    const auto readInput = [&]() -> qint64 {
        const qint64 want = std::min(kChunk, member.compressedSize - consumed);
        if (want <= 0) return 0;
        if (!readExactly(source, dataStart + consumed, input.get(), want)) return -1;
        consumed += want;
        return want;
    };
    const QString tooLong = QStringLiteral("the member unpacks to more than its stated size");

    if (member.method == 0) {
        for (;;) {
            const qint64 n = readInput();
            if (n < 0) return fail(QStringLiteral("the member cannot be read"));
            if (n == 0) break;
            if (!take(input.get(), n)) return fail(tooLong);
        }
    } else {
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return fail(QStringLiteral("the member cannot be unpacked"));
        const std::unique_ptr<z_stream, int (*)(z_stream*)> ending(&z, inflateEnd);
        const auto output = std::make_unique_for_overwrite<char[]>(kChunk);
        // Every round either takes input or gives output (zlib says Z_BUF_ERROR when it
        // can do neither), and both are bounded, so the loop ends.
        for (;;) {
            if (z.avail_in == 0) {
                const qint64 n = readInput();
                if (n < 0) return fail(QStringLiteral("the member cannot be read"));
                z.next_in = reinterpret_cast<Bytef*>(input.get());
                z.avail_in = uInt(n);
            }
            z.next_out = reinterpret_cast<Bytef*>(output.get());
            z.avail_out = uInt(kChunk);
            const int rc = inflate(&z, Z_NO_FLUSH);
            if (!take(output.get(), kChunk - qint64(z.avail_out))) return fail(tooLong);
            if (rc == Z_STREAM_END) break;
            if (rc == Z_BUF_ERROR && z.avail_in == 0)
                return fail(QStringLiteral("the member's data ends early"));
            if (rc != Z_OK) return fail(QStringLiteral("the member's data is damaged"));
        }
    }
    if (produced != member.size)
        return fail(QStringLiteral("the member unpacks to less than its stated size"));
    if (~crc != member.crc)
        return fail(QStringLiteral("the member's CRC-32 does not match the directory"));
    result.sha1 = sha1.result();
    return result;
}

}  // namespace identify
