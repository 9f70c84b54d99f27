#pragma once

// Builds zip archives in memory with zlib, and remembers where each record went so a test
// can damage exactly the field it means to.

#include <QByteArray>

#include <zlib.h>

#include <cstring>
#include <initializer_list>
#include <utility>
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

// Little-endian fields in a row, each a value and its width in bytes.
inline void put(QByteArray& b, std::initializer_list<std::pair<quint64, int>> fields) {
    for (const auto& [value, width] : fields)
        for (int i = 0; i < width; ++i)
            b.append(char((value >> (8 * i)) & 0xFF));
}
// Overwrites a little-endian field in place.
inline void setField(QByteArray& b, qint64 at, quint64 v, int width) {
    for (int i = 0; i < width; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}
inline void set16(QByteArray& b, qint64 at, quint32 v) {
    setField(b, at, v, 2);
}
inline void set32(QByteArray& b, qint64 at, quint32 v) {
    setField(b, at, v, 4);
}
inline void set64(QByteArray& b, qint64 at, quint64 v) {
    setField(b, at, v, 8);
}

// `zip64`: the sizes and offsets saturate their 32-bit fields and live in ZIP64 extra
// fields and records, as an archiver writes them for large files. One field a pair of value
// and width, the records as the format lays them out.
// clang-format off
inline Layout build(const std::vector<Entry>& entries, bool zip64 = false) {
    Layout l;
    QByteArray& z = l.bytes;
    const quint64 version = zip64 ? 45 : 20, full32 = 0xFFFFFFFF;
    const auto field32 = [&](qint64 v) { return zip64 ? full32 : quint64(v); };
    std::vector<QByteArray> packed;
    for (const Entry& e : entries) {
        packed.push_back(e.deflate ? rawDeflate(e.data) : e.data);
        l.local.push_back(z.size());
        put(z, {{0x04034b50, 4}, {version, 2}, {0, 2}, {e.deflate ? 8 : 0, 2}, {0, 4},
                {crcOf(e.data), 4}, {field32(packed.back().size()), 4}, {field32(e.data.size()), 4},
                {quint64(e.name.size()), 2}, {zip64 ? 20 : 0, 2}});
        z.append(e.name);
        if (zip64)
            put(z, {{1, 2}, {16, 2}, {quint64(e.data.size()), 8}, {quint64(packed.back().size()), 8}});
        z.append(packed.back());
    }
    l.directory = z.size();
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        l.central.push_back(z.size());
        put(z, {{0x02014b50, 4}, {version, 2}, {version, 2}, {0, 2}, {e.deflate ? 8 : 0, 2},
                {0, 4}, {crcOf(e.data), 4}, {field32(packed[i].size()), 4},
                {field32(e.data.size()), 4}, {quint64(e.name.size()), 2}, {zip64 ? 28 : 0, 2},
                {0, 2}, {0, 2}, {0, 2}, {0, 4}, {field32(l.local[i]), 4}});
        z.append(e.name);
        if (zip64)
            put(z, {{1, 2}, {24, 2}, {quint64(e.data.size()), 8}, {quint64(packed[i].size()), 8},
                    {quint64(l.local[i]), 8}});
    }
    const quint64 directorySize = quint64(z.size() - l.directory), count = entries.size();
    if (zip64) {
        l.zip64End = z.size();
        put(z, {{0x06064b50, 4}, {44, 8}, {45, 2}, {45, 2}, {0, 4}, {0, 4}, {count, 8},
                {count, 8}, {directorySize, 8}, {quint64(l.directory), 8}});
        put(z, {{0x07064b50, 4}, {0, 4}, {quint64(l.zip64End), 8}, {1, 4}});
    }
    l.end = z.size();
    put(z, {{0x06054b50, 4}, {0, 2}, {0, 2}, {zip64 ? 0xFFFF : count, 2},
            {zip64 ? 0xFFFF : count, 2}, {zip64 ? full32 : directorySize, 4},
            {field32(l.directory), 4}, {0, 2}});
    return l;
}
// clang-format on

}  // namespace zipbuild
