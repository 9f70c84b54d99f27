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

// From one 128-bit accumulator and the remaining whole 16-byte blocks to the 32-bit
// register: fold the blocks in, then reduce (Barrett). Always inlined, so the wide kernels
// get it in their own (VEX) encoding: a call into legacy SSE code with the upper register
// halves still dirty costs a false dependency on every instruction, which halved the
// speed of every later SSE kernel run.
__attribute__((target("pclmul,sse4.1"), always_inline)) inline std::uint32_t reduce(
    __m128i x1, const std::uint8_t* buf, std::size_t len) {
    alignas(16) static const std::uint64_t k3k4[] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static const std::uint64_t k5k0[] = {0x0163cd6124, 0x0000000000};
    alignas(16) static const std::uint64_t poly[] = {0x01db710641, 0x01f7011641};

    __m128i x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    while (len >= 16) {
        x1 = fold16(x1, load(buf), x0);
        buf += 16;
        len -= 16;
    }

    // 128 -> 64 bits.
    __m128i t = _mm_clmulepi64_si128(x1, x0, 0x10);
    const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), t);
    x0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    t = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, mask32);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, x0, 0x00), t);

    // Barrett reduction to 32 bits.
    x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    t = _mm_and_si128(x1, mask32);
    t = _mm_clmulepi64_si128(t, x0, 0x10);
    t = _mm_and_si128(t, mask32);
    t = _mm_clmulepi64_si128(t, x0, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

// Four consecutive 128-bit accumulators (earliest first) folded into one, then reduced.
__attribute__((target("pclmul,sse4.1"), always_inline)) inline std::uint32_t finish(
    __m128i x1, __m128i x2, __m128i x3, __m128i x4, const std::uint8_t* buf, std::size_t len) {
    const __m128i k128 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    x1 = fold16(x1, x2, k128);
    x1 = fold16(x1, x3, k128);
    x1 = fold16(x1, x4, k128);
    return reduce(x1, buf, len);
}

// Folds 128 bytes at a time in eight 128-bit lanes with carry-less multiplication: enough
// independent multiplies in flight to hide their latency. Needs len >= 128 and a multiple
// of 16.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t crc32Clmul(std::uint32_t crc,
                                                                  const std::uint8_t* buf,
                                                                  std::size_t len) {
    // x^(1024±32) and x^(512±32) modulo the polynomial, bit-reflected.
    const __m128i k1024 = _mm_set_epi64x(0x014a7fe880, 0x01e88ef372);
    const __m128i k512 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);

    __m128i x[8];
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i)
        x[i] = load(buf + 16 * i);
    x[0] = _mm_xor_si128(x[0], _mm_cvtsi32_si128(static_cast<int>(crc)));
    buf += 128;
    len -= 128;
    while (len >= 128) {
#pragma GCC unroll 8
        for (int i = 0; i < 8; ++i)
            x[i] = fold16(x[i], load(buf + 16 * i), k1024);
        buf += 128;
        len -= 128;
    }
#pragma GCC unroll 8
    for (int i = 0; i < 4; ++i)
        x[i + 4] = fold16(x[i], x[i + 4], k512);
    return finish(x[4], x[5], x[6], x[7], buf, len);
}

__attribute__((target("avx2"))) inline __m256i load256(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Moves a 256-bit accumulator on (by its constants) and adds `next`.
__attribute__((target("vpclmulqdq,avx2,pclmul"))) inline __m256i fold32(__m256i acc, __m256i next,
                                                                        __m256i k) {
    const __m256i lo = _mm256_clmulepi64_epi128(acc, k, 0x00);
    const __m256i hi = _mm256_clmulepi64_epi128(acc, k, 0x11);
    return _mm256_xor_si256(_mm256_xor_si256(lo, hi), next);
}

// The folding on 256-bit registers, for processors that multiply two lanes at once without
// AVX-512: 256 bytes a step in eight accumulators. Needs len >= 256 and a multiple of 16.
__attribute__((target("vpclmulqdq,avx2,pclmul,sse4.1"))) std::uint32_t crc32Vclmul256(
    std::uint32_t crc, const std::uint8_t* buf, std::size_t len) {
    // x^(D±32) modulo the polynomial, bit-reflected, for fold distances D of 2048, 1024
    // and 256 bits.
    const __m256i k2048 = _mm256_set_epi64x(0x01322d1430, 0x011542778a, 0x01322d1430, 0x011542778a);
    const __m256i k1024 = _mm256_set_epi64x(0x014a7fe880, 0x01e88ef372, 0x014a7fe880, 0x01e88ef372);
    const __m256i k256 = _mm256_set_epi64x(0x015a546366, 0x00f1da05aa, 0x015a546366, 0x00f1da05aa);

    __m256i a[8];
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i)
        a[i] = load256(buf + 32 * i);
    a[0] = _mm256_xor_si256(a[0], _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(crc))));
    buf += 256;
    len -= 256;
    while (len >= 256) {
#pragma GCC unroll 8
        for (int i = 0; i < 8; ++i)
            a[i] = fold32(a[i], load256(buf + 32 * i), k2048);
        buf += 256;
        len -= 256;
    }
#pragma GCC unroll 8
    for (int i = 0; i < 4; ++i)
        a[i + 4] = fold32(a[i], a[i + 4], k1024);
    a[5] = fold32(a[4], a[5], k256);
    a[6] = fold32(a[5], a[6], k256);
    a[7] = fold32(a[6], a[7], k256);
    const __m128i k128 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i one =
        fold16(_mm256_castsi256_si128(a[7]), _mm256_extracti128_si256(a[7], 1), k128);
    return reduce(one, buf, len);
}

#define ROMBARD_AVX512_TARGET "avx512f,avx512vl,avx512bw,vpclmulqdq,pclmul,sse4.1"

// Moves a 512-bit accumulator `bits` on (its constants) and adds `next`.
__attribute__((target(ROMBARD_AVX512_TARGET))) inline __m512i fold64(__m512i acc, __m512i next,
                                                                     __m512i k) {
    const __m512i lo = _mm512_clmulepi64_epi128(acc, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(acc, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, next, 0x96);  // lo ^ hi ^ next
}

// The same folding four times as wide: 256 bytes a step in four 512-bit accumulators,
// which keeps up with memory. Needs len >= 256 and a multiple of 16.
__attribute__((target(ROMBARD_AVX512_TARGET))) std::uint32_t crc32Vclmul(std::uint32_t crc,
                                                                         const std::uint8_t* buf,
                                                                         std::size_t len) {
    // x^(2048±32) and x^(512±32) modulo the polynomial, bit-reflected.
    const __m512i k2048 = _mm512_set_epi64(0x01322d1430, 0x011542778a, 0x01322d1430, 0x011542778a,
                                           0x01322d1430, 0x011542778a, 0x01322d1430, 0x011542778a);
    const __m512i k512 = _mm512_set_epi64(0x01c6e41596, 0x0154442bd4, 0x01c6e41596, 0x0154442bd4,
                                          0x01c6e41596, 0x0154442bd4, 0x01c6e41596, 0x0154442bd4);

    __m512i a0 = _mm512_loadu_si512(buf + 0x00), a1 = _mm512_loadu_si512(buf + 0x40),
            a2 = _mm512_loadu_si512(buf + 0x80), a3 = _mm512_loadu_si512(buf + 0xC0);
    a0 = _mm512_xor_si512(a0, _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
    buf += 256;
    len -= 256;
    while (len >= 256) {
        a0 = fold64(a0, _mm512_loadu_si512(buf + 0x00), k2048);
        a1 = fold64(a1, _mm512_loadu_si512(buf + 0x40), k2048);
        a2 = fold64(a2, _mm512_loadu_si512(buf + 0x80), k2048);
        a3 = fold64(a3, _mm512_loadu_si512(buf + 0xC0), k2048);
        buf += 256;
        len -= 256;
    }
    a1 = fold64(a0, a1, k512);
    a2 = fold64(a1, a2, k512);
    a3 = fold64(a2, a3, k512);
    alignas(64) std::uint8_t lanes[64];
    _mm512_store_si512(lanes, a3);
    return finish(load(lanes), load(lanes + 16), load(lanes + 32), load(lanes + 48), buf, len);
}

enum class Kernel { Portable, Clmul, Vclmul256, Vclmul };

Kernel kernelFor(const CpuFeatures& cpu) {
    if (!cpu.pclmul || !cpu.sse41) return Kernel::Portable;
    if (cpu.vpclmulqdq && cpu.avx512) return Kernel::Vclmul;
    if (cpu.vpclmulqdq && cpu.avx2) return Kernel::Vclmul256;
    return Kernel::Clmul;
}

Kernel bestKernel() {
    __builtin_cpu_init();
    CpuFeatures cpu;
    cpu.pclmul = __builtin_cpu_supports("pclmul");
    cpu.sse41 = __builtin_cpu_supports("sse4.1");
    cpu.vpclmulqdq = __builtin_cpu_supports("vpclmulqdq");
    cpu.avx2 = __builtin_cpu_supports("avx2");
    cpu.avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                 __builtin_cpu_supports("avx512bw");
    return kernelFor(cpu);
}

Kernel kernel() {
    static const Kernel k = bestKernel();
    return k;
}
#else
enum class Kernel { Portable };
Kernel kernelFor(const CpuFeatures&) {
    return Kernel::Portable;
}
Kernel kernel() {
    return Kernel::Portable;
}
#endif

const char* nameOf(Kernel k) {
    switch (k) {
#ifdef ROMBARD_HAVE_CLMUL
        case Kernel::Vclmul:
            return "vpclmul-avx512";
        case Kernel::Vclmul256:
            return "vpclmul-avx2";
        case Kernel::Clmul:
            return "pclmul";
#endif
        case Kernel::Portable:
            break;
    }
    return "slice8";
}

std::uint32_t update(Kernel k, std::uint32_t crc, const std::uint8_t* data, std::size_t len) {
#ifdef ROMBARD_HAVE_CLMUL
    const std::size_t bulk = len & ~std::size_t{15};
    if (k == Kernel::Vclmul && len >= 256) {
        crc = crc32Vclmul(crc, data, bulk);
        data += bulk;
        len -= bulk;
    } else if (k >= Kernel::Vclmul256 && len >= 256) {
        crc = crc32Vclmul256(crc, data, bulk);
        data += bulk;
        len -= bulk;
    } else if (k != Kernel::Portable && len >= 128) {
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
    return update(kernel(), crc, data, len);
}

std::vector<std::string> crc32Kernels() {
    std::vector<std::string> names;
    for (int i = 0; i <= static_cast<int>(kernel()); ++i)
        names.emplace_back(nameOf(static_cast<Kernel>(i)));
    return names;
}

std::uint32_t crc32UpdateWith(const std::string& kernelName, std::uint32_t crc,
                              const std::uint8_t* data, std::size_t len) {
    for (int i = 0; i <= static_cast<int>(kernel()); ++i)
        if (kernelName == nameOf(static_cast<Kernel>(i)))
            return update(static_cast<Kernel>(i), crc, data, len);
    return crc32UpdatePortable(crc, data, len);
}

const char* crc32KernelName() {
    return nameOf(kernel());
}

const char* crc32KernelFor(const CpuFeatures& cpu) {
    return nameOf(kernelFor(cpu));
}

const std::uint32_t* crc32Table() {
    return tables()[0].data();
}

}  // namespace crckernel
