#include "checksum/Crc32.h"
#include "checksum/Crc32Kernel.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QFile>

#include <random>
#include <vector>

namespace {

std::vector<std::uint8_t> randomBytes(std::size_t n, unsigned start) {
    std::mt19937 rng(start);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(rng());
    return v;
}

TEST(Crc, PublishedCheckValuesAndHexText) {
    struct Case {
        int algorithm;
        std::string_view text;
        std::uint32_t expected;
        const char* hex;
    };
    const Case cases[] = {
        {1, "123456789", 0xCBF43926u, "CBF43926"},
        {1, "", 0x00000000u, "0"},
        {1, "The quick brown fox jumps over the lazy dog", 0x414FA339u, "414FA339"},
        {0, "123456789", 0x31C3u, "31C3"},
        {0, "", 0x0000u, "0"}};
    for (const Case& c : cases) {
        Crc32 crc;
        crc.setAlgorithm(c.algorithm);
        const CrcValue v = crc.calculateString(c.text);
        EXPECT_EQ(static_cast<std::uint32_t>(v.number()), c.expected) << c.text;
        EXPECT_EQ(v.hex(), c.hex) << c.text;
    }
    EXPECT_EQ(Crc32().calculateString("123456789").number(), -873187034);  // CRC-32 by default
}

TEST(Crc, EveryKernelMatchesTheBytewiseDefinition) {
    const auto data = randomBytes(5000, 11);
    const auto kernels = crckernel::crc32Kernels();
    EXPECT_EQ(kernels.front(), "slice8");  // the portable kernel always runs
    for (const std::string& kernel : kernels) {
        for (std::size_t offset : {0u, 1u, 3u, 8u}) {
            // Every length around the 16-, 128- and 256-byte steps, then coarser.
            for (std::size_t len = 0; len + offset <= data.size(); len += (len < 600 ? 1 : 997)) {
                const std::uint8_t* p = data.data() + offset;
                const std::uint32_t want = crckernel::crc32UpdateBytewise(0x12345678u, p, len);
                ASSERT_EQ(crckernel::crc32UpdateWith(kernel, 0x12345678u, p, len), want)
                    << kernel << " " << offset << "+" << len;
            }
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)
TEST(Crc, KernelChoiceFollowsTheProcessorsFeatures) {
    struct Case {
        crckernel::CpuFeatures cpu;  // pclmul, sse4.1, vpclmulqdq, avx2, avx512
        const char* kernel;
    };
    // clang-format off
    const Case cases[] = {
        {{false, true, true, true, true}, "slice8"}, {{true, false, true, true, true}, "slice8"},
        {{true, true, false, false, false}, "pclmul"}, {{true, true, true, false, false}, "pclmul"},
        {{true, true, false, true, true}, "pclmul"},  // AVX-512 without the wide multiply
        {{true, true, true, true, false}, "vpclmul-avx2"},
        {{true, true, true, true, true}, "vpclmul-avx512"},
        {{true, true, true, false, true}, "vpclmul-avx512"},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_STREQ(crckernel::crc32KernelFor(c.cpu), c.kernel)
            << c.cpu.pclmul << c.cpu.sse41 << c.cpu.vpclmulqdq << c.cpu.avx2 << c.cpu.avx512;
}
#endif

// Any algorithm but 0 is CRC-32; a switch clears the register; a value set is pre-final.
TEST(Crc, AlgorithmAndValueLets) {
    for (const std::int32_t set : {1, -1, 2, 65536, 0}) {
        Crc32 crc;
        crc.addString("dirty");
        crc.setAlgorithm(set);
        EXPECT_EQ(crc.algorithm(), set == 0 ? 0 : -1) << set;
        EXPECT_EQ(crc.value().number(), 0) << "cleared after switching to " << set;
    }
    Crc32 crc;
    crc.setValue(0);
    EXPECT_EQ(crc.value().number(), -1);  // complement of 0
    crc.setValue(0xFFFFFFFFLL);           // wraps to the cleared register
    EXPECT_EQ(crc.addString("123456789").number(), static_cast<std::int32_t>(0xCBF43926u));
    crc.setAlgorithm(0);
    crc.setValue(0x1234);
    EXPECT_EQ(crc.value().number(), 0x1234);
}

TEST(CrcFile, WholeFileEmptyFileAndFailures) {
    TempFolder dir;
    const auto bytes = [](const QString& path) { return QFile::encodeName(path).toStdString(); };

    // Around the first block (read alone) and the 1 MiB read-ahead ring filling and wrapping.
    const std::size_t block = Crc32::kFileBlock, mib = std::size_t{1} << 20;
    const std::size_t sizes[] = {1,         block - 1,       block,
                                 block + 1, block + 4 * mib, block + 6 * mib + 3};
    const auto all = randomBytes(sizes[std::size(sizes) - 1], 3);
    for (std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const QString big = dir.write(
            "big.bin", QByteArray(reinterpret_cast<const char*>(all.data()), qsizetype(size)));
        for (int algorithm : {1, 0}) {
            Crc32 crc;
            crc.setAlgorithm(algorithm);
            const CrcValue expected = crc.calculateBytes({all.data(), size});
            EXPECT_EQ(crc.calculateFile(bytes(big)), std::optional(expected));
        }
    }

    Crc32 crc;
    crc.addString("abc");
    const CrcValue before = crc.value();
    EXPECT_EQ(crc.calculateFile(bytes(dir.write("empty.bin"))), std::optional(CrcValue::empty()));
    EXPECT_EQ(crc.value(), before) << "an empty file leaves the register untouched";

    EXPECT_FALSE(crc.calculateFile(bytes(dir.file("missing"))));
    EXPECT_FALSE(crc.calculateFile(bytes(dir.path()))) << "a folder cannot be read as a file";
}

}  // namespace
