#include "checksum/clsCRC.h"

#include "checksum/Crc32Kernel.h"

#include <cstdio>
#include <memory>

namespace {

// CRC-16/XMODEM table; entries may carry bits above bit 15, which never reach a result.
const std::array<std::uint32_t, 256>& crc16Table() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i * 256, crc = 0;
            for (int k = 0; k < 8; ++k) {
                crc = ((crc ^ c) & 0x8000) ? (crc * 2) ^ 0x1021 : crc * 2;
                c *= 2;
            }
            t[i] = crc;
        }
        return t;
    }();
    return table;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string CrcValue::hex() const {
    if (!m_hasNumber) return {};
    static const char digits[] = "0123456789ABCDEF";
    std::uint32_t v = static_cast<std::uint32_t>(m_number);
    std::string out;
    do {
        out.insert(out.begin(), digits[v & 0xF]);
        v >>= 4;
    } while (v != 0);
    return out;
}

clsCRC::clsCRC() {
    setAlgorithm(1);
}

void clsCRC::setAlgorithm(std::int32_t New_Value) {
    m_algorithm = New_Value != 0 ? -1 : 0;
    Clear();
}

void clsCRC::Clear() {
    m_crc16 = 0;
    m_crc32 = 0xFFFFFFFFu;
}

CrcValue clsCRC::value() const {
    if (m_algorithm != 0) return CrcValue(static_cast<std::int32_t>(~m_crc32));
    return CrcValue(static_cast<std::int32_t>(m_crc16 & 0xFFFF));
}

void clsCRC::setValue(std::int64_t New_Value) {
    const auto v = static_cast<std::uint32_t>(static_cast<std::uint64_t>(New_Value));
    if (m_algorithm != 0)
        m_crc32 = v;
    else
        m_crc16 = v & 0xFFFF;
}

CrcValue clsCRC::AddBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return value();
    if (m_algorithm != 0) {
        m_crc32 = crckernel::crc32Update(m_crc32, bytes.data(), bytes.size());
    } else {
        const auto& t = crc16Table();
        std::uint32_t r = m_crc16 & 0xFFFF;
        for (const std::uint8_t b : bytes)
            r = ((t[b ^ (r >> 8)] & 0xFFFF) ^ (r << 8)) & 0xFFFF;
        m_crc16 = r;
    }
    return value();
}

CrcValue clsCRC::AddString(std::string_view text) {
    return AddBytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

CrcValue clsCRC::CalculateBytes(std::span<const std::uint8_t> bytes) {
    Clear();
    return AddBytes(bytes);
}

CrcValue clsCRC::CalculateString(std::string_view text) {
    Clear();
    return AddString(text);
}

std::optional<CrcValue> clsCRC::CalculateFile(const std::string& name) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
    if (!file) return std::nullopt;
    // Our buffer is the only one: no second copy through stdio's.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    // Not zeroed: every byte used is read first.
    const auto block = std::make_unique_for_overwrite<std::uint8_t[]>(kFileBlock);
    bool first = true;
    for (;;) {
        const std::size_t got = std::fread(block.get(), 1, kFileBlock, file.get());
        if (std::ferror(file.get())) return std::nullopt;
        if (got == 0) break;
        if (first) {
            Clear();
            first = false;
        }
        AddBytes({block.get(), got});
        if (got < kFileBlock && std::feof(file.get())) break;
    }
    if (first) return CrcValue::empty();
    return value();
}
