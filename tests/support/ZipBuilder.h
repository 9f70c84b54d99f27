#pragma once

// Builds zip archives in memory with zlib, and remembers where each record went so a test
// can damage exactly the field it means to.

#include <QByteArray>

#include <zlib.h>

#include <cstring>
#include <vector>

namespace zipbuild {

struct Entry {
    QByteArray name;
    QByteArray data;
    bool deflate = true;
};

struct Layout {
    QByteArray bytes;
    std::vector<qint64> local;    // each member's local header
    std::vector<qint64> central;  // each member's central directory record
    qint64 directory = 0;         // the first central record
    qint64 zip64End = -1;         // the ZIP64 end record, when written
    qint64 locator = -1;          // the ZIP64 locator, when written
    qint64 end = 0;               // the end of central directory record
};

inline quint32 crcOf(const QByteArray& data) {
    return quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
}

inline QByteArray rawDeflate(const QByteArray& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

inline void put16(QByteArray& b, quint32 v) {
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}
inline void put32(QByteArray& b, quint32 v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline void put64(QByteArray& b, quint64 v) {
    put32(b, quint32(v));
    put32(b, quint32(v >> 32));
}
// Overwrites a little-endian field in place.
inline void set16(QByteArray& b, qint64 at, quint32 v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}
inline void set32(QByteArray& b, qint64 at, quint32 v) {
    set16(b, at, v & 0xFFFF);
    set16(b, at + 2, v >> 16);
}
inline void set64(QByteArray& b, qint64 at, quint64 v) {
    set32(b, at, quint32(v));
    set32(b, at + 4, quint32(v >> 32));
}

// `zip64`: the sizes and offsets saturate their 32-bit fields and live in ZIP64 extra
// fields and records, as an archiver writes them for large files.
inline Layout build(const std::vector<Entry>& entries, bool zip64 = false) {
    Layout l;
    QByteArray& z = l.bytes;
    struct Written {
        quint32 crc;
        qint64 compressed;
    };
    std::vector<Written> written;
    for (const Entry& e : entries) {
        const QByteArray packed = e.deflate ? rawDeflate(e.data) : e.data;
        l.local.push_back(z.size());
        put32(z, 0x04034b50);
        put16(z, zip64 ? 45 : 20);
        put16(z, 0);
        put16(z, e.deflate ? 8 : 0);
        put32(z, 0);
        put32(z, crcOf(e.data));
        put32(z, zip64 ? 0xFFFFFFFF : quint32(packed.size()));
        put32(z, zip64 ? 0xFFFFFFFF : quint32(e.data.size()));
        put16(z, quint32(e.name.size()));
        put16(z, zip64 ? 20 : 0);
        z.append(e.name);
        if (zip64) {
            put16(z, 1);
            put16(z, 16);
            put64(z, quint64(e.data.size()));
            put64(z, quint64(packed.size()));
        }
        z.append(packed);
        written.push_back({crcOf(e.data), packed.size()});
    }
    l.directory = z.size();
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        l.central.push_back(z.size());
        put32(z, 0x02014b50);
        put16(z, zip64 ? 45 : 20);
        put16(z, zip64 ? 45 : 20);
        put16(z, 0);
        put16(z, e.deflate ? 8 : 0);
        put32(z, 0);
        put32(z, written[i].crc);
        put32(z, zip64 ? 0xFFFFFFFF : quint32(written[i].compressed));
        put32(z, zip64 ? 0xFFFFFFFF : quint32(e.data.size()));
        put16(z, quint32(e.name.size()));
        put16(z, zip64 ? 28 : 0);
        put16(z, 0);
        put16(z, 0);
        put16(z, 0);
        put32(z, 0);
        put32(z, zip64 ? 0xFFFFFFFF : quint32(l.local[i]));
        z.append(e.name);
        if (zip64) {
            put16(z, 1);
            put16(z, 24);
            put64(z, quint64(e.data.size()));
            put64(z, quint64(written[i].compressed));
            put64(z, quint64(l.local[i]));
        }
    }
    const qint64 directorySize = z.size() - l.directory;
    if (zip64) {
        l.zip64End = z.size();
        put32(z, 0x06064b50);
        put64(z, 44);
        put16(z, 45);
        put16(z, 45);
        put32(z, 0);
        put32(z, 0);
        put64(z, entries.size());
        put64(z, entries.size());
        put64(z, quint64(directorySize));
        put64(z, quint64(l.directory));
        l.locator = z.size();
        put32(z, 0x07064b50);
        put32(z, 0);
        put64(z, quint64(l.zip64End));
        put32(z, 1);
    }
    l.end = z.size();
    put32(z, 0x06054b50);
    put16(z, 0);
    put16(z, 0);
    put16(z, zip64 ? 0xFFFF : quint32(entries.size()));
    put16(z, zip64 ? 0xFFFF : quint32(entries.size()));
    put32(z, zip64 ? 0xFFFFFFFF : quint32(directorySize));
    put32(z, zip64 ? 0xFFFFFFFF : quint32(l.directory));
    put16(z, 0);
    return l;
}

}  // namespace zipbuild
