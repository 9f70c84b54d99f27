#include "gifview/GifReader.h"

bool GifReader::available(qint64 count) const {
    return m_position >= 1 && m_position + count - 1 <= m_bytes.size();
}

bool GifReader::readNumber(int count, std::uint32_t& value) {
    if (count < 1 || count > 3 || !available(count)) return false;
    value = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(m_bytes.constData()) + m_position - 1;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    m_position += count;
    return true;
}

bool GifReader::readText(int count, QByteArray& text) {
    if (count < 0 || !available(count)) return false;
    text = m_bytes.mid(m_position - 1, count);
    m_position += count;
    return true;
}

bool GifReader::skipSubBlocks() {
    std::uint32_t size = 0;
    if (!readNumber(1, size)) return false;
    while (size != 0) {
        advance(size);
        if (!readNumber(1, size)) return false;
    }
    return true;
}

int getBits(int value, int mask) {
    if (mask < 1) return 0;
    int result = value & mask;
    while ((mask & 1) == 0) {
        mask >>= 1;
        result >>= 1;
    }
    return result;
}

bool colorFromTable(GifReader& reader, qint64 tablePosition, qint32& index, int tableBits) {
    if (index < 0) return true;
    if (index >= (1 << (tableBits + 1))) {
        index = 0;
        return true;
    }
    const qint64 back = reader.position();
    reader.seek(tablePosition + 3LL * index);
    std::uint32_t colour = 0;
    const bool ok = reader.readNumber(3, colour);
    reader.seek(back);
    if (ok) index = static_cast<qint32>(colour);
    return ok;
}
