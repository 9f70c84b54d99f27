#include "checksum/Crc32Kernel.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ROMBARD_HAVE_CLMUL 1
#endif

namespace crckernel {

namespace {

using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

Tables buildTables() {
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

const Tables& tables() {
    static const Tables t = buildTables();
    return t;
}

std::uint32_t load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
}

#ifdef ROMBARD_HAVE_CLMUL
__attribute__((target("sse2"))) inline __m128i load(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// One 128-bit fold: the accumulator moved 128 bits on, plus the next 16 bytes.
__attribute__((target("pclmul,sse4.1"))) inline __m128i fold16(__m128i acc, __m128i next,
                                                               __m128i k) {
    const __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, next), lo);
}

// Folds 64 bytes at a time in four 128-bit lanes with carry-less multiplication, then
// reduces to 32 bits (Barrett). Needs len >= 64 and a multiple of 16.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t crc32Clmul(std::uint32_t crc,
                                                                  const std::uint8_t* buf,
                                                                  std::size_t len) {
    alignas(16) static const std::uint64_t k1k2[] = {0x0154442bd4, 0x01c6e41596};
    alignas(16) static const std::uint64_t k3k4[] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static const std::uint64_t k5k0[] = {0x0163cd6124, 0x0000000000};
    alignas(16) static const std::uint64_t poly[] = {0x01db710641, 0x01f7011641};

    __m128i x1 = load(buf + 0x00), x2 = load(buf + 0x10), x3 = load(buf + 0x20),
            x4 = load(buf + 0x30);
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
    buf += 64;
    len -= 64;

    while (len >= 64) {
        const __m128i x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
        const __m128i x6 = _mm_clmulepi64_si128(x2, x0, 0x00);
        const __m128i x7 = _mm_clmulepi64_si128(x3, x0, 0x00);
        const __m128i x8 = _mm_clmulepi64_si128(x4, x0, 0x00);
        x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
        x2 = _mm_clmulepi64_si128(x2, x0, 0x11);
        x3 = _mm_clmulepi64_si128(x3, x0, 0x11);
        x4 = _mm_clmulepi64_si128(x4, x0, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, x5), load(buf + 0x00));
        x2 = _mm_xor_si128(_mm_xor_si128(x2, x6), load(buf + 0x10));
        x3 = _mm_xor_si128(_mm_xor_si128(x3, x7), load(buf + 0x20));
        x4 = _mm_xor_si128(_mm_xor_si128(x4, x8), load(buf + 0x30));
        buf += 64;
        len -= 64;
    }

    x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    x1 = fold16(x1, x2, x0);
    x1 = fold16(x1, x3, x0);
    x1 = fold16(x1, x4, x0);
    while (len >= 16) {
        x1 = fold16(x1, load(buf), x0);
        buf += 16;
        len -= 16;
    }

    // 128 -> 64 bits.
    __m128i x2b = _mm_clmulepi64_si128(x1, x0, 0x10);
    const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2b);
    x0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    x2b = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, mask32);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, x0, 0x00), x2b);

    // Barrett reduction to 32 bits.
    x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    x2b = _mm_and_si128(x1, mask32);
    x2b = _mm_clmulepi64_si128(x2b, x0, 0x10);
    x2b = _mm_and_si128(x2b, mask32);
    x2b = _mm_clmulepi64_si128(x2b, x0, 0x00);
    x1 = _mm_xor_si128(x1, x2b);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool cpuHasClmul() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}
#endif

std::uint32_t update(std::uint32_t crc, const std::uint8_t* data, std::size_t len) {
#ifdef ROMBARD_HAVE_CLMUL
    static const bool clmul = cpuHasClmul();
    if (clmul && len >= 64) {
        const std::size_t bulk = len & ~std::size_t{15};
        crc = crc32Clmul(crc, data, bulk);
        data += bulk;
        len -= bulk;
    }
#endif
    return crc32UpdatePortable(crc, data, len);
}

}  // namespace

std::uint32_t crc32UpdatePortable(std::uint32_t crc, const std::uint8_t* data, std::size_t len) {
    const Tables& t = tables();
    while (len >= 8) {
        const std::uint32_t one = load32(data) ^ crc;
        const std::uint32_t two = load32(data + 4);
        crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^
              t[4][one >> 24] ^ t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^
              t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
        data += 8;
        len -= 8;
    }
    return crc32UpdateBytewise(crc, data, len);
}

std::uint32_t crc32UpdateBytewise(std::uint32_t crc, const std::uint8_t* data, std::size_t len) {
    const auto& t0 = tables()[0];
    for (std::size_t i = 0; i < len; ++i)
        crc = (crc >> 8) ^ t0[(crc ^ data[i]) & 0xFF];
    return crc;
}

std::uint32_t crc32Update(std::uint32_t crc, const std::uint8_t* data, std::size_t len) {
    return update(crc, data, len);
}

const char* crc32KernelName() {
#ifdef ROMBARD_HAVE_CLMUL
    static const bool clmul = cpuHasClmul();
    if (clmul) return "pclmul";
#endif
    return "slice8";
}

const std::uint32_t* crc32Table() {
    return tables()[0].data();
}

}  // namespace crckernel
