# Shared by scripts/run and scripts/test: installs the Debian packages that are missing.
# shellcheck shell=bash

BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
                zlib1g-dev)
TEST_PACKAGES=(libgtest-dev libgmock-dev googletest libbenchmark-dev clang libfuzzer-14-dev jdupes
               libclang-rt-14-dev)
RUN_PACKAGES=(xdg-utils)

ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build DIR [TARGET...]: configures, then builds the targets (all
# when none is named).
configure_and_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    local targets=()
    local t
    for t in "$@"; do targets+=(--target "$t"); done
    cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}

# run_gif_fuzzer SECONDS: builds the GIF view's libFuzzer targets with clang (ASan, UBSan) in
# build-fuzz and runs them for SECONDS in all (the block walk, then the whole view), starting
# from the test GIFs.
run_gif_fuzzer() {
    local seconds=$1
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROMBARD_FUZZ=ON \
        -DROMBARD_WERROR=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
    cmake --build build-fuzz -j"$(nproc)" --target fuzz_gif fuzz_gifview
    # The walk may allocate no more than a small file's worth; the view draws into surfaces.
    local target limit
    for target in fuzz_gif:64 fuzz_gifview:512; do
        limit=${target#*:}
        target=${target%:*}
        mkdir -p "build-fuzz/corpus/$target"
        cp tests/gifview/data/*.gif "build-fuzz/corpus/$target/"
        # Qt keeps some allocations until exit; leaks are not what this run looks for.
        ASAN_OPTIONS=detect_leaks=0 "build-fuzz/fuzz/$target" -max_total_time=$((seconds / 2)) \
            -max_len=4096 -malloc_limit_mb="$limit" -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix=build-fuzz/ "build-fuzz/corpus/$target"
    done
}
