#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// A CRC result: a 32-bit signed number (CRC-32 values above 0x7FFFFFFF read as negative),
// or empty, for a file without content.
class CrcValue {
public:
    static CrcValue empty() { return CrcValue(); }
    explicit CrcValue(std::int32_t number) : m_number(number), m_hasNumber(true) {}

    bool isEmpty() const { return !m_hasNumber; }
    std::int32_t number() const { return m_number; }
    // Upper-case hexadecimal without leading zeros ("352441C2", "31C3"); empty when empty.
    std::string hex() const;

    bool operator==(const CrcValue&) const = default;

private:
    CrcValue() = default;
    std::int32_t m_number = 0;
    bool m_hasNumber = false;
};

// Running CRC over bytes, texts and files: CRC-32 (ISO-HDLC, as zlib and ZIP use it; the
// default) or CRC-16/XMODEM. The register carries over between Add calls, so adding a
// text in pieces gives the CRC of the whole.
class Crc32 {
public:
    Crc32();

    CrcValue addBytes(std::span<const std::uint8_t> bytes);
    // The text's bytes as given (callers hand in UTF-8 or Latin-1 as they see fit).
    CrcValue addString(std::string_view text);

    // -1 CRC-32, 0 CRC-16. Any non-zero value selects CRC-32. Setting it clears.
    std::int16_t algorithm() const { return m_algorithm; }
    void setAlgorithm(std::int32_t newValue);

    CrcValue calculateBytes(std::span<const std::uint8_t> bytes);
    CrcValue calculateString(std::string_view text);
    // CRC of the whole file, read in blocks. Empty for a zero-length file (the registers
    // stay untouched); nothing when the file cannot be opened or read.
    std::optional<CrcValue> calculateFile(const std::string& name);

    CrcValue value() const;
    // Stores the number, wrapped to 32 bits, as the selected algorithm's register.
    void setValue(std::int64_t newValue);

    void clear();

    // Small enough that a block just read is still in the core's own cache when the CRC
    // runs over it, large enough that the calls into the system cost little.
    static constexpr std::size_t kFileBlock = std::size_t{256} << 10;

private:
    std::int16_t m_algorithm = -1;
    std::uint32_t m_crc16 = 0;
    std::uint32_t m_crc32 = 0xFFFFFFFFu;
};
