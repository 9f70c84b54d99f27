#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crckernel {

// Reflected CRC-32 (polynomial 0xEDB88320) over `len` bytes, carrying the running register
// `crc` (kept before the final complement). The fastest kernel this processor runs is
// chosen once; every kernel gives the same result.
std::uint32_t crc32Update(std::uint32_t crc, const std::uint8_t* data, std::size_t len);

// The portable kernel, for tests that compare kernels.
std::uint32_t crc32UpdatePortable(std::uint32_t crc, const std::uint8_t* data, std::size_t len);

// The one-byte-at-a-time definition, for tests.
std::uint32_t crc32UpdateBytewise(std::uint32_t crc, const std::uint8_t* data, std::size_t len);

// Name of the kernel crc32Update uses ("vpclmul-avx512", "vpclmul-avx2", "pclmul" or
// "slice8").
const char* crc32KernelName();

// What the choice depends on (avx512: its F, VL and BW parts together).
struct CpuFeatures {
    bool pclmul = false;
    bool sse41 = false;
    bool vpclmulqdq = false;
    bool avx2 = false;
    bool avx512 = false;
};
// The kernel crc32Update would choose on a processor with these features (x86 builds;
// elsewhere always "slice8").
const char* crc32KernelFor(const CpuFeatures& cpu);

// Every kernel this processor runs, slowest first, and a run of a named one (tests check
// that all agree).
std::vector<std::string> crc32Kernels();
std::uint32_t crc32UpdateWith(const std::string& kernelName, std::uint32_t crc,
                              const std::uint8_t* data, std::size_t len);

const std::uint32_t* crc32Table();  // the 256-entry reflected table

}  // namespace crckernel
