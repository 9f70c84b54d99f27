#include "checksum/Crc32.h"

#include "checksum/Crc32Kernel.h"

#include <array>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

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

// Hands out a file's blocks in order. The first block is read on the caller's thread;
// a file longer than that is read ahead on a second thread into a small ring of blocks, so
// that reading and checksumming overlap and a warm file costs about what reading it costs.
// Small files, most of a ROM folder, never start the thread.
class BlockReader {
public:
    explicit BlockReader(std::FILE* file) : m_file(file) {}
    ~BlockReader() {
        if (m_thread.joinable()) {
            {
                std::lock_guard lock(m_mutex);
                m_stop = true;
            }
            m_changed.notify_all();
            m_thread.join();
        }
    }
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    // The next block (empty at the end of the file), or nothing after a read error. The
    // block stays valid until release().
    std::optional<std::span<const std::uint8_t>> next() {
        if (!m_thread.joinable()) {
            if (m_ended) return std::span<const std::uint8_t>();
            Slot& s = m_first;
            if (!s.data) s.data = std::make_unique_for_overwrite<std::uint8_t[]>(kBlock);
            if (!readInto(s)) return std::nullopt;
            m_produced = 1;
            if (s.size == kBlock && !m_ended) m_thread = std::thread([this] { readAhead(); });
            return std::span<const std::uint8_t>(s.data.get(), s.size);
        }
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_consumed < m_produced || m_ended || m_error; });
        if (m_consumed < m_produced) {
            const Slot& s = slot(m_consumed);
            return std::span<const std::uint8_t>(s.data.get(), s.size);
        }
        if (m_error) return std::nullopt;
        return std::span<const std::uint8_t>();
    }

    void release() {
        if (!m_thread.joinable()) {
            m_produced = 0;
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            ++m_consumed;
        }
        m_changed.notify_all();
    }

    bool failed() const {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

private:
    static constexpr std::size_t kBlock = Crc32::kFileBlock;
    static constexpr std::size_t kAheadBlock = std::size_t{1} << 20;
    static constexpr std::size_t kSlots = 4;
    struct Slot {
        std::unique_ptr<std::uint8_t[]> data;
        std::size_t size = 0;
    };

    // Block 0 is the one read before the thread starts; the read-ahead blocks, larger
    // because larger reads cost less per byte, take turns in the ring.
    Slot& slot(std::size_t n) { return n == 0 ? m_first : m_slots[(n - 1) % kSlots]; }

    // Fills a slot; false on a read error. Marks the end of the file when it is reached.
    bool readInto(Slot& s) {
        s.size = std::fread(s.data.get(), 1, kBlock, m_file);
        if (std::ferror(m_file)) {
            m_error = true;
            return false;
        }
        if (s.size < kBlock) m_ended = true;
        return true;
    }

    void readAhead() {
        for (std::size_t n = 1;; ++n) {
            {
                std::unique_lock lock(m_mutex);
                // Block n's slot is free once the block kSlots before it has been used.
                m_changed.wait(lock, [&] { return m_stop || n < m_consumed + kSlots; });
                if (m_stop) return;
            }
            Slot& s = slot(n);
            if (!s.data) s.data = std::make_unique_for_overwrite<std::uint8_t[]>(kAheadBlock);
            const std::size_t got = std::fread(s.data.get(), 1, kAheadBlock, m_file);
            const bool error = std::ferror(m_file) != 0;
            {
                std::lock_guard lock(m_mutex);
                s.size = got;
                if (error) {
                    m_error = true;
                } else if (got > 0) {
                    m_produced = n + 1;
                }
                if (got < kAheadBlock) m_ended = true;
            }
            m_changed.notify_all();
            if (error || got < kAheadBlock) return;
        }
    }

    std::FILE* m_file;
    Slot m_first;
    std::array<Slot, kSlots> m_slots;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_produced = 0;  // blocks read so far
    std::size_t m_consumed = 0;  // blocks released by the caller
    bool m_ended = false;
    bool m_error = false;
    bool m_stop = false;
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

Crc32::Crc32() {
    setAlgorithm(1);
}

void Crc32::setAlgorithm(std::int32_t newValue) {
    m_algorithm = newValue != 0 ? -1 : 0;
    clear();
}

void Crc32::clear() {
    m_crc16 = 0;
    m_crc32 = 0xFFFFFFFFu;
}

CrcValue Crc32::value() const {
    if (m_algorithm != 0) return CrcValue(static_cast<std::int32_t>(~m_crc32));
    return CrcValue(static_cast<std::int32_t>(m_crc16 & 0xFFFF));
}

void Crc32::setValue(std::int64_t newValue) {
    const auto v = static_cast<std::uint32_t>(static_cast<std::uint64_t>(newValue));
    if (m_algorithm != 0)
        m_crc32 = v;
    else
        m_crc16 = v & 0xFFFF;
}

CrcValue Crc32::addBytes(std::span<const std::uint8_t> bytes) {
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

CrcValue Crc32::addString(std::string_view text) {
    return addBytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

CrcValue Crc32::calculateBytes(std::span<const std::uint8_t> bytes) {
    clear();
    return addBytes(bytes);
}

CrcValue Crc32::calculateString(std::string_view text) {
    clear();
    return addString(text);
}

std::optional<CrcValue> Crc32::calculateFile(const std::string& name) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
    if (!file) return std::nullopt;
    // Our buffers are the only ones: no second copy through stdio's.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    BlockReader reader(file.get());
    bool first = true;
    while (const std::optional<std::span<const std::uint8_t>> block = reader.next()) {
        if (block->empty()) break;
        if (first) {
            clear();
            first = false;
        }
        addBytes(*block);
        reader.release();
    }
    if (reader.failed()) return std::nullopt;
    if (first) return CrcValue::empty();
    return value();
}
