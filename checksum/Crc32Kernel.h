#pragma once

#include <cstddef>
#include <cstdint>

namespace crckernel {

// Reflected CRC-32 (polynomial 0xEDB88320) over `len` bytes, carrying the running register
// `crc` (kept before the final complement). The fastest kernel this processor runs is
// chosen once; every kernel gives the same result.
std::uint32_t crc32Update(std::uint32_t crc, const std::uint8_t* data, std::size_t len);

// The portable kernel, for tests that compare kernels.
std::uint32_t crc32UpdatePortable(std::uint32_t crc, const std::uint8_t* data, std::size_t len);

// The one-byte-at-a-time definition, for tests.
std::uint32_t crc32UpdateBytewise(std::uint32_t crc, const std::uint8_t* data, std::size_t len);

// Name of the kernel crc32Update uses ("pclmul" or "slice8").
const char* crc32KernelName();

const std::uint32_t* crc32Table();  // the 256-entry reflected table

}  // namespace crckernel
