#pragma once

// ROMBARD_BENCH_QUICK=1 runs every measurement once, on small sizes: scripts/test runs each
// benchmark that way so that none stops building or running unseen. Its figures mean
// nothing; the real ones come from a run without it.

#include <cstdlib>

namespace bench {

inline bool quick() {
    static const bool set = [] {
        const char* value = std::getenv("ROMBARD_BENCH_QUICK");
        return value != nullptr && *value != '\0' && *value != '0';
    }();
    return set;
}

// `full` normally, `small` in a quick run.
template <typename T>
T sized(T full, T small) {
    return quick() ? small : full;
}

// The least time Google Benchmark spends on one benchmark.
inline double minTime(double seconds) {
    return sized(seconds, 0.001);
}

}  // namespace bench
