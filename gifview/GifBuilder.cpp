#include "gifview/GifBuilder.h"

#include <algorithm>

int GifBuilder::tableBits(std::size_t entries) {
    int bits = 0;
    while ((std::size_t{2} << bits) < entries && bits < 7)
        ++bits;
    return bits;
}

void GifBuilder::putTable(QByteArray& out, const std::vector<QRgb>& palette, int bits) {
    const std::size_t count = std::size_t{2} << bits;
    for (std::size_t i = 0; i < count; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : 0;
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
}

void GifBuilder::put16(int value) {
    m_bytes.append(static_cast<char>(value & 0xFF));
    m_bytes.append(static_cast<char>((value >> 8) & 0xFF));
}

GifBuilder::GifBuilder(int width, int height, const std::vector<QRgb>& palette, int backgroundIndex,
                       const char* signature) {
    m_bytes.append(signature, 6);
    put16(width);
    put16(height);
    if (palette.empty()) {
        m_bytes.append('\0');
        m_bytes.append(static_cast<char>(backgroundIndex));
        m_bytes.append('\0');
        return;
    }
    m_globalBits = tableBits(palette.size());
    m_bytes.append(static_cast<char>(0x80 | 0x70 | m_globalBits));
    m_bytes.append(static_cast<char>(backgroundIndex));
    m_bytes.append('\0');
    putTable(m_bytes, palette, m_globalBits);
}

GifBuilder& GifBuilder::loops(int count, int subBlockSize) {
    m_bytes.append("\x21\xFF\x0B", 3);
    m_bytes.append("NETSCAPE2.0", 11);
    m_bytes.append(static_cast<char>(subBlockSize));
    m_bytes.append('\x01');
    put16(count);
    for (int i = 3; i < subBlockSize; ++i)
        m_bytes.append('\0');
    m_bytes.append('\0');
    return *this;
}

GifBuilder& GifBuilder::control(int disposal, int delayHundredths, int transparentIndex) {
    m_bytes.append("\x21\xF9\x04", 3);
    m_bytes.append(static_cast<char>(((disposal & 7) << 2) | (transparentIndex >= 0 ? 1 : 0)));
    put16(delayHundredths);
    m_bytes.append(static_cast<char>(std::max(transparentIndex, 0)));
    m_bytes.append('\0');
    return *this;
}

GifBuilder& GifBuilder::comment(const QByteArray& text) {
    m_bytes.append("\x21\xFE", 2);
    for (qsizetype at = 0; at < text.size(); at += 255) {
        const QByteArray part = text.mid(at, 255);
        m_bytes.append(static_cast<char>(part.size()));
        m_bytes.append(part);
    }
    m_bytes.append('\0');
    return *this;
}

GifBuilder& GifBuilder::image(int left, int top, int width, int height,
                              const std::vector<std::uint8_t>& pixels,
                              const std::vector<QRgb>& localPalette) {
    m_bytes.append('\x2C');
    put16(left);
    put16(top);
    put16(width);
    put16(height);
    int bits = std::max(m_globalBits, 0);
    if (!localPalette.empty()) {
        bits = tableBits(localPalette.size());
        m_bytes.append(static_cast<char>(0x80 | bits));
        putTable(m_bytes, localPalette, bits);
    } else {
        m_bytes.append('\0');
    }
    const int minCodeSize = std::max(2, bits + 1);
    m_bytes.append(static_cast<char>(minCodeSize));

    const int clear = 1 << minCodeSize;
    const int codeWidth = minCodeSize + 1;
    QByteArray data;
    std::uint32_t buffer = 0;
    int filled = 0;
    auto putCode = [&](int code) {
        buffer |= static_cast<std::uint32_t>(code) << filled;
        filled += codeWidth;
        while (filled >= 8) {
            data.append(static_cast<char>(buffer & 0xFF));
            buffer >>= 8;
            filled -= 8;
        }
    };
    int sinceClear = 0;
    putCode(clear);
    for (std::uint8_t p : pixels) {
        if (sinceClear == clear - 2) {
            putCode(clear);
            sinceClear = 0;
        }
        putCode(p & (clear - 1));
        ++sinceClear;
    }
    putCode(clear + 1);
    if (filled > 0) data.append(static_cast<char>(buffer & 0xFF));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray part = data.mid(at, 255);
        m_bytes.append(static_cast<char>(part.size()));
        m_bytes.append(part);
    }
    m_bytes.append('\0');
    return *this;
}

GifBuilder& GifBuilder::raw(const QByteArray& bytes) {
    m_bytes.append(bytes);
    return *this;
}

QByteArray GifBuilder::bytes() const {
    return m_bytes + QByteArray(1, '\x3B');
}
