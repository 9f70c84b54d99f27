#include "platform/ProcessMemory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace platform {

namespace {
constexpr std::size_t kMmapThreshold = 32u << 20;
constexpr std::size_t kTrimThreshold = 64u << 20;
// Below the mmap threshold, so the block comes from the heap and, once freed, stays its top.
constexpr std::size_t kHugeStart = 30u << 20;
constexpr std::uintptr_t kHugePage = 2u << 20;
}  // namespace

void setUpHeap() {
    ::mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    ::mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
    // The heap grown by one block that is never touched, its whole huge pages marked, then
    // freed into the heap's top: later blocks are cut from there. Nothing is mapped until
    // used; where huge pages are off, this only grew the heap ahead of time.
    void* block = std::malloc(kHugeStart);
    if (!block) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + kHugeStart) & ~(kHugePage - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    std::free(block);
}

void returnFreedMemory() {
    // The main heap's free top stays (up to the trim threshold), as setUpHeap left it for
    // the pictures to come; the freed pages within every arena go.
    ::malloc_trim(kTrimThreshold);
}

}  // namespace platform
