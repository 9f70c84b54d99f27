#pragma once

// Writes GIF files block by block, for the diagnostics, the benchmark and the tests that
// need exact byte layouts. Image data is LZW-coded without compression (a clear code before
// the code table would widen), which every decoder reads.

#include <QByteArray>
#include <QRgb>

#include <cstdint>
#include <vector>

class GifBuilder {
public:
    // An empty palette writes no global colour table. Palettes are padded to a power of two.
    GifBuilder(int width, int height, const std::vector<QRgb>& palette, int backgroundIndex = 0,
               const char* signature = "GIF89a");

    GifBuilder& loops(int count, int subBlockSize = 3);
    GifBuilder& control(int disposal, int delayHundredths, int transparentIndex = -1);
    GifBuilder& comment(const QByteArray& text);
    // pixels: width × height palette indexes, row by row.
    GifBuilder& image(int left, int top, int width, int height,
                      const std::vector<std::uint8_t>& pixels,
                      const std::vector<QRgb>& localPalette = {});
    GifBuilder& raw(const QByteArray& bytes);
    // The file so far plus the trailer.
    QByteArray bytes() const;
    // Current length without the trailer, i.e. the 1-based position of the next block - 1.
    qint64 size() const { return m_bytes.size(); }

private:
    void put16(int value);
    static void putTable(QByteArray& out, const std::vector<QRgb>& palette, int bits);
    static int tableBits(std::size_t entries);

    QByteArray m_bytes;
    int m_globalBits = -1;
};
