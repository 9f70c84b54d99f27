#pragma once

// A cursor over a GIF file's bytes with 1-based positions. Every read is checked against the
// end of the data; moves are free and only the next read fails when they went too far, so
// a walk over any bytes ends after at most one read per byte.

#include <QByteArray>

#include <cstdint>

class GifReader {
public:
    explicit GifReader(const QByteArray& bytes) : m_bytes(bytes) {}

    qint64 position() const { return m_position; }
    void seek(qint64 position) { m_position = position; }
    void advance(qint64 count) { m_position += count; }
    qint64 size() const { return m_bytes.size(); }

    // Reads 1 to 3 bytes as an unsigned little-endian number. False past the end.
    bool readNumber(int count, std::uint32_t& value);
    // Reads count bytes as they are. False past the end.
    bool readText(int count, QByteArray& text);
    // Size bytes and the blocks they announce, through the zero terminator.
    bool skipSubBlocks();

private:
    bool available(qint64 count) const;

    const QByteArray& m_bytes;
    qint64 m_position = 1;
};

// The bits of value under mask, shifted down so the mask's lowest bit becomes bit 0.
int getBits(int value, int mask);

// Converts a colour index of the table at tablePosition (2^(tableBits+1) entries) into a
// colour value, red in the low byte. A negative index stays as it is; an index beyond the
// table becomes 0. False when the table entry lies past the end of the file.
bool colorFromTable(GifReader& reader, qint64 tablePosition, qint32& index, int tableBits);
