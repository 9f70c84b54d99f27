// CRC throughput against zlib's crc32 and against a plain read of the same memory.
// Absolute speeds drift on shared machines, so the figures that count are the ratios
// printed at the end.

#include "Quick.h"
#include "checksum/Crc32.h"
#include "checksum/Crc32Kernel.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const std::size_t kBufferSize = bench::sized(std::size_t{256} << 20, std::size_t{1} << 20);

const std::vector<std::uint8_t>& buffer() {
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> v(kBufferSize);
        std::mt19937_64 rng(42);
        for (std::size_t i = 0; i + 8 <= v.size(); i += 8) {
            const std::uint64_t x = rng();
            std::memcpy(v.data() + i, &x, 8);
        }
        return v;
    }();
    return data;
}

void BM_CalculateBytes(benchmark::State& state) {
    const auto& data = buffer();
    Crc32 crc;
    for (auto _ : state)
        benchmark::DoNotOptimize(crc.calculateBytes(data));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    state.SetLabel(crckernel::crc32KernelName());
}

void BM_ZlibCrc32(benchmark::State& state) {
    const auto& data = buffer();
    for (auto _ : state) {
        // zlib takes at most 4 GiB per call; the buffer is far smaller.
        benchmark::DoNotOptimize(crc32(0, data.data(), static_cast<uInt>(data.size())));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_SlicingBy8(benchmark::State& state) {
    const auto& data = buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(crckernel::crc32UpdatePortable(~0u, data.data(), data.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// The ceiling: one read of every byte and nothing else.
void BM_ReadPass(benchmark::State& state) {
    const auto& data = buffer();
    for (auto _ : state) {
        std::uint64_t acc[4] = {0, 0, 0, 0};
        const std::uint8_t* p = data.data();
        for (std::size_t i = 0; i + 32 <= data.size(); i += 32) {
            std::uint64_t w[4];
            std::memcpy(w, p + i, 32);
            acc[0] ^= w[0];
            acc[1] ^= w[1];
            acc[2] ^= w[2];
            acc[3] ^= w[3];
        }
        benchmark::DoNotOptimize(acc[0] ^ acc[1] ^ acc[2] ^ acc[3]);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

std::string warmFile() {
    static const std::string path = [] {
        const char* size = std::getenv("BENCH_CRC_FILE_MIB");
        const std::size_t mib = size ? std::strtoul(size, nullptr, 10) : bench::sized(1024, 4);
        std::string p = "/tmp/rombard-bench-crc.bin";
        std::FILE* f = std::fopen(p.c_str(), "wb");
        if (!f) return std::string();
        const auto& data = buffer();
        for (std::size_t written = 0; written < (mib << 20);) {
            const std::size_t n = std::min(data.size(), (mib << 20) - written);
            std::fwrite(data.data(), 1, n, f);
            written += n;
        }
        std::fclose(f);
        Crc32 warm;  // one pass brings it into the page cache
        warm.calculateFile(p);
        return p;
    }();
    return path;
}

std::int64_t fileSize(const std::string& p) {
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::fclose(f);
    return n;
}

void BM_CalculateFile(benchmark::State& state) {
    const std::string p = warmFile();
    Crc32 crc;
    for (auto _ : state)
        benchmark::DoNotOptimize(crc.calculateFile(p));
    state.SetBytesProcessed(state.iterations() * fileSize(p));
}

void BM_ReadFileZlib(benchmark::State& state) {
    const std::string p = warmFile();
    std::vector<std::uint8_t> block(Crc32::kFileBlock);
    for (auto _ : state) {
        const int fd = ::open(p.c_str(), O_RDONLY);
        uLong crc = crc32(0, nullptr, 0);
        ssize_t got;
        while ((got = ::read(fd, block.data(), block.size())) > 0)
            crc = crc32(crc, block.data(), static_cast<uInt>(got));
        ::close(fd);
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(state.iterations() * fileSize(p));
}

// One kernel by name over the buffer, for each kernel's share of the read pass.
void runKernel(benchmark::State& state, const std::string& kernel) {
    const auto& data = buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(crckernel::crc32UpdateWith(kernel, ~0u, data.data(), data.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// The same file read block by block and nothing else: what calculateFile can reach. Run
// with calculateFile's block and with 4 MiB blocks (larger blocks read faster here); the
// faster of the two is the reference.
void BM_ReadFile(benchmark::State& state) {
    const std::string p = warmFile();
    std::vector<std::uint8_t> block(std::size_t(state.range(0)) << 10);
    for (auto _ : state) {
        const int fd = ::open(p.c_str(), O_RDONLY);
        std::uint8_t sink = 0;
        ssize_t got;
        while ((got = ::read(fd, block.data(), block.size())) > 0)
            sink ^= block[std::size_t(got) - 1];
        ::close(fd);
        benchmark::DoNotOptimize(sink);
    }
    state.SetBytesProcessed(state.iterations() * fileSize(p));
}

BENCHMARK(BM_CalculateBytes)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_SlicingBy8)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_ReadPass)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(1.0));
BENCHMARK(BM_CalculateFile)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(2.0));
BENCHMARK(BM_ReadFileZlib)->Unit(benchmark::kMillisecond)->MinTime(bench::minTime(2.0));
BENCHMARK(BM_ReadFile)
    ->Arg(Crc32::kFileBlock >> 10)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(bench::minTime(2.0));

// Keeps each benchmark's throughput so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const auto it = r.counters.find("bytes_per_second");
            if (it == r.counters.end()) continue;
            speed[r.run_name.function_name +
                  (r.run_name.args.empty() ? "" : "/" + r.run_name.args)] = it->second.value;
        }
    }
    std::map<std::string, double> speed;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (const std::string& k : crckernel::crc32Kernels())
        benchmark::RegisterBenchmark(("BM_Kernel/" + k).c_str(), runKernel, k)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(bench::minTime(1.0));
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto gbs = [&](const char* name) { return reporter.speed[name] / 1e9; };
    auto ratio = [&](const char* a, const char* b) {
        return reporter.speed[b] > 0 ? reporter.speed[a] / reporter.speed[b] : 0.0;
    };
    std::printf("kernel: %s\n", crckernel::crc32KernelName());
    std::printf(
        "CalculateBytes %.2f GB/s, zlib %.2f GB/s, slicing-by-8 %.2f GB/s, read pass %.2f GB/s\n",
        gbs("BM_CalculateBytes"), gbs("BM_ZlibCrc32"), gbs("BM_SlicingBy8"), gbs("BM_ReadPass"));
    std::printf("share of read bandwidth: %.2f\n", ratio("BM_CalculateBytes", "BM_ReadPass"));
    std::printf("CalculateFile ratio vs read + zlib: %.2f\n",
                ratio("BM_CalculateFile", "BM_ReadFileZlib"));
    const std::string smallRead = "BM_ReadFile/" + std::to_string(Crc32::kFileBlock >> 10);
    const std::string plainRead = reporter.speed[smallRead] >= reporter.speed["BM_ReadFile/4096"]
                                      ? smallRead
                                      : "BM_ReadFile/4096";
    std::printf("plain read of the file, %zu KiB blocks %.2f GB/s, 4 MiB blocks %.2f GB/s\n",
                Crc32::kFileBlock >> 10, gbs(smallRead.c_str()), gbs("BM_ReadFile/4096"));
    std::printf("CalculateFile share of a plain read of the file: %.2f\n",
                ratio("BM_CalculateFile", plainRead.c_str()));
    // Every carry-less multiply kernel must keep up with memory; the table kernel is only
    // the fallback for processors without one.
    double worst = 0;
    for (const std::string& k : crckernel::crc32Kernels()) {
        const double share = ratio(("BM_Kernel/" + k).c_str(), "BM_ReadPass");
        std::printf("crc32 share of read pass, %s: %.2f\n", k.c_str(), share);
        if (k != "slice8" && (worst == 0 || share < worst)) worst = share;
    }
    std::printf("crc32 share of read pass: %.2f\n", worst);
    std::printf("crc32 ratio vs zlib: %.2f\n", ratio("BM_CalculateBytes", "BM_ZlibCrc32"));
    std::remove("/tmp/rombard-bench-crc.bin");
    return 0;
}
