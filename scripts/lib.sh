# Shared by scripts/run and scripts/test: installs the Debian packages that are missing.
# shellcheck shell=bash

# xa65 assembles the sample game; SDL reads the game pads; libsqlite3-dev holds the library
# database; libxml2-dev reads software lists and DATs; libzip-dev reads zips and
# libarchive-dev unpacks 7z archives; libdeflate-dev inflates screenshots; ccache makes every
# build after the first quick.
BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
                zlib1g-dev xa65 libsdl2-dev libsqlite3-dev libxml2-dev libzip-dev libarchive-dev
                libdeflate-dev ccache)
# clang-format checks the code's layout; desktop-file-utils and appstream check the desktop
# files; file and dpkg-dev let CPack work out the package's dependencies; libxcb1-dev and
# xvfb let bench_window_shown watch the real window appear; mame-data's software lists
# are real checksum sources, and libxml2-utils' xmllint the reference for indexing them;
# weston (headless) and qt6-wayland put the window on a real Wayland compositor; fuse3
# makes a slow or hung network share for the tests of a games folder on one.
TEST_PACKAGES=(clang-format libgtest-dev libgmock-dev googletest libbenchmark-dev clang
               libfuzzer-14-dev libclang-rt-14-dev desktop-file-utils appstream file dpkg-dev
               jdupes libxcb1-dev xvfb mame-data libxml2-utils weston qt6-wayland fuse3
               libfuse3-dev)
# Stella runs the sample game.
RUN_PACKAGES=(xdg-utils stella)

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

# configure_and_build [-DOPTION=VALUE...] DIR [TARGET...]: configures DIR with the CMake
# options given first, then builds the targets (all when none is named). A compiler cache,
# when one is installed, makes a second run quick.
configure_and_build() {
    local options=()
    while [ $# -gt 0 ] && [[ $1 == -D* ]]; do
        options+=("$1")
        shift
    done
    local dir=$1
    shift
    if command -v ccache >/dev/null; then
        options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
        # The window tests' precompiled header: cached only when ccache is told to trust it.
        export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    fi
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
    local targets=()
    local t
    for t in "$@"; do targets+=(--target "$t"); done
    cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}

# check_formatting: every tracked C++ file is as clang-format (.clang-format) leaves it.
check_formatting() {
    local files=() unformatted=() f
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
    for f in "${files[@]}"; do
        clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
    done
    if [ ${#unformatted[@]} -gt 0 ]; then
        echo "Not formatted (clang-format -i FILE fixes them):" >&2
        printf '  %s\n' "${unformatted[@]}" >&2
        return 1
    fi
    echo "Formatting: ${#files[@]} files as clang-format leaves them"
}

# run_tests DIR [CTEST OPTION...]: runs DIR's tests. A test that skips fails the run, since
# scripts/test installs everything the tests need and runs them as root: a skip means a
# test proved nothing. ROMBARD_ALLOW_SKIPS=1 lets a developer without root run them anyway.
run_tests() {
    local dir=$1
    shift
    local -
    set -o pipefail
    local log
    log=$(mktemp)
    local status=0
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error \
        -j"$(nproc)" "$@") 2>&1 | tee "$log" || status=$?
    if [ "$status" -eq 0 ] && grep -q '(Skipped)$' "$log" && [ "${ROMBARD_ALLOW_SKIPS:-0}" != 1 ]; then
        echo "Tests were skipped (above); install what they need or run as root." >&2
        status=1
    fi
    rm -f "$log"
    return "$status"
}

# run_sanitized_tests DIR SANITIZERS [LABEL TARGET]: builds the test programs in DIR with
# -fsanitize=SANITIZERS and runs their tests; with a LABEL, builds only TARGET and runs
# only the tests that carry the label. Warnings are the normal build's business:
# the instrumented code makes GCC warn about paths that cannot happen. -O1 with line
# tables only compiles in two thirds of the time -O2 -g takes, and the reports still name
# files and lines.
run_sanitized_tests() {
    local dir=$1 sanitizers=$2
    shift 2
    local label=() targets=(test_programs)
    if [ $# -gt 0 ]; then
        label=(-L "^$1\$")
        targets=("$2")
    fi
    configure_and_build -DROMBARD_SANITIZE="$sanitizers" -DROMBARD_TESTS=ON -DROMBARD_BENCH=OFF \
        -DROMBARD_WERROR=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
        "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1" "$dir" "${targets[@]}"
    # The first fault fails its test rather than scrolling by. LeakSanitizer stays on: the
    # test programs end with nothing of theirs or Qt's reported. Qt is not built with TSan,
    # so TSan cannot see the ordering Qt's own locks and atomics give (Qt's image code hands
    # work to a thread pool of its own, for one) and would report races inside Qt; with
    # ignore_noninstrumented_modules it judges only what our instrumented code touches.
    ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        TSAN_OPTIONS=ignore_noninstrumented_modules=1:halt_on_error=1:second_deadlock_stack=1 \
        run_tests "$dir" "${label[@]}"
}

# run_benchmarks_once BUILD_DIR: runs every benchmark in BUILD_DIR once on small sizes
# (bench/Quick.h), so that none stops building or working unseen; the window's own
# benchmark gets an X server of its own.
run_benchmarks_once() {
    local build=$1 bench status=0
    for bench in "$build"/bench/bench_*; do
        [ -f "$bench" ] && [ -x "$bench" ] || continue
        local run=("$bench")
        [ "$(basename "$bench")" = bench_window_shown ] && run=(xvfb-run -a "$bench")
        if ! ROMBARD_BENCH_QUICK=1 QT_QPA_PLATFORM=offscreen "${run[@]}" >"$bench.quick.log" 2>&1; then
            echo "$(basename "$bench") failed on small sizes:" >&2
            tail -20 "$bench.quick.log" >&2
            status=1
        fi
    done
    [ "$status" -eq 0 ] && echo "Benchmarks: each ran once on small sizes"
    return "$status"
}

# run_gif_fuzzer SECONDS: builds the libFuzzer targets with clang (ASan, UBSan) in build-fuzz
# and runs each of them for SECONDS (the GIF block walk, the whole GIF view, the DAT reader,
# the zip directory and unpacking, 7z reading, the fast PNG decoder), starting from the
# test files.
run_gif_fuzzer() {
    local seconds=$1
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROMBARD_FUZZ=ON \
        -DROMBARD_WERROR=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
    cmake --build build-fuzz -j"$(nproc)" --target fuzz_gif fuzz_gifview fuzz_dat fuzz_zip fuzz_7z \
        fuzz_png
    # The walk and the readers may allocate no more than a small file's worth; the view
    # draws into surfaces, and a PNG's picture may be 1032 times its bytes. libarchive
    # reserves zeroed room by the counts a 7z's header claims (gigabytes it never touches,
    # within its own bounds), so for the 7z reading the memory in use is what is watched.
    local targets=(fuzz_gif:64:gif fuzz_gifview:512:gif fuzz_dat:128:xml fuzz_zip:64:zip
                   fuzz_7z:1048576:7z fuzz_png:256:png)
    # Each fuzzer is one thread: as many run side by side as there are cores, each for the
    # full time, its output kept and shown once it ends.
    local target limit corpus status=0
    local -a running=()
    for target in "${targets[@]}"; do
        IFS=: read -r target limit corpus <<<"$target"
        mkdir -p "build-fuzz/corpus/$target"
        case $corpus in
            gif) cp tests/gifview/data/*.gif "build-fuzz/corpus/$target/" ;;
            xml) cp tests/identify/data/*.xml "build-fuzz/corpus/$target/" ;;
            zip) cp tests/identify/data/zip/*.zip "build-fuzz/corpus/$target/" ;;
            7z) cp tests/identify/data/7z/*.7z "build-fuzz/corpus/$target/" ;;
            png) cp tests/imaging/data/png/* "build-fuzz/corpus/$target/" ;;
        esac
        # Qt keeps some allocations until exit; leaks are not what this run looks for.
        # libarchive copes with a refused allocation, as it gets one outside the sanitizer.
        local asan=detect_leaks=0
        [ "$target" = fuzz_7z ] && asan+=:allocator_may_return_null=1
        ASAN_OPTIONS=$asan "build-fuzz/fuzz/$target" \
            -max_total_time="$seconds" \
            -max_len=4096 -malloc_limit_mb="$limit" -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="build-fuzz/$target-" "build-fuzz/corpus/$target" \
            >"build-fuzz/$target.log" 2>&1 &
        running+=("$!:$target")
        if [ "${#running[@]}" -ge "$(nproc)" ]; then
            finish_fuzzer "${running[0]}" || status=1
            running=("${running[@]:1}")
        fi
    done
    local one
    for one in "${running[@]}"; do finish_fuzzer "$one" || status=1; done
    return "$status"
}

# Waits for one fuzzer started above ("pid:target") and shows how it went.
finish_fuzzer() {
    local pid=${1%%:*} target=${1#*:} status=0
    wait "$pid" || status=$?
    echo "== $target"
    if [ "$status" -ne 0 ]; then
        cat "build-fuzz/$target.log"
        echo "$target found a fault (above); its input is kept as build-fuzz/$target-*" >&2
    else
        grep -E '^(Done|stat::)' "build-fuzz/$target.log"
    fi
    return "$status"
}

# The sample game's names in the ready-made emulator folder.
SAMPLE_GAME="Rainbow Drift (Rombard)"

# make_sample_folder BUILD_DIR FOLDER: a copy of the launcher built in BUILD_DIR, links to the
# emulators of its catalogue installed here, the sample game with its screenshot and small
# stand-ins for games of the other systems.
make_sample_folder() {
    local build=$1 folder=$2
    mkdir -p "$folder/roms" "$folder/shots"
    # A copy, not a link: the launcher takes the folder it runs from as the emulator folder.
    cp -f "$build/app/rombard" "$folder/rombard"
    # Every catalogue name "x.exe" stands for a native program "x" in the folder.
    grep -o '"[^"]*\.[eE][xX][eE]"' launcher/emulators/EmulatorCatalogue.cpp | tr -d '"' |
        sed 's/\.[eE][xX][eE]$//' | tr '[:upper:]' '[:lower:]' | sort -u |
        while read -r name; do
            if [ "$name" = rombard ]; then continue; fi
            program=$(PATH="$PATH:/usr/games:/usr/local/games" command -v "$name" || true)
            if [ -n "$program" ]; then ln -sfn "$program" "$folder/$name"; fi
        done
    cp -f "$build/sample-game/rainbow.bin" "$folder/roms/$SAMPLE_GAME.bin"
    cp -f resources/game/rainbow.png "$folder/shots/$SAMPLE_GAME.png"
    # Small stand-ins for games of the other systems; an emulator shows an empty cartridge.
    local game
    for game in "Super Mario World (U) [!].smc" "Zelda no Densetsu ゼルダ (J).nes" \
                "It's a \"quoted\" -game.nes" "--not-an-option.nes" "Sonic (W).sms" \
                "Super Mario 64 (U).z64" "Pac-Man.zip" "Tetris (W).gb" "Pokemon Pinball.gba"; do
        [ -e "$folder/roms/$game" ] || head -c 4096 /dev/zero >"$folder/roms/$game"
    done
}

# check_desktop_files BUILD_DIR: the desktop entry and the software-centre data pass their
# validators, and the Debian package CPack makes holds exactly the files it should.
check_desktop_files() {
    local build=$1
    desktop-file-validate resources/linux/rombard.desktop
    appstreamcli validate --no-net resources/linux/*.metainfo.xml
    (cd "$build" && cpack -G DEB >/dev/null)
    local deb
    deb=$(ls -t "$build"/rombard_*.deb | head -1)  # the one just made
    local expected="./usr/bin/rombard
./usr/bin/rombard-romcheck
./usr/share/applications/rombard.desktop
./usr/share/icons/hicolor/128x128/apps/rombard.png
./usr/share/icons/hicolor/256x256/apps/rombard.png
./usr/share/icons/hicolor/48x48/apps/rombard.png
./usr/share/icons/hicolor/scalable/apps/rombard.svg
./usr/share/man/man6/rombard-romcheck.6
./usr/share/man/man6/rombard.6
./usr/share/metainfo/org.example.rombard.metainfo.xml"
    local listed
    listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)
    if [ "$listed" != "$expected" ]; then
        echo "The package's files differ from the expected list:" >&2
        diff <(echo "$expected") <(echo "$listed") >&2 || true
        return 1
    fi
    dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 ||
        { echo "The package does not depend on Qt's widgets" >&2; return 1; }
    dpkg-deb -f "$deb" Depends | grep -q libsdl2 ||
        { echo "The package does not depend on SDL (the game pads)" >&2; return 1; }
    dpkg-deb -f "$deb" Depends | grep -q libdeflate ||
        { echo "The package does not depend on libdeflate (the PNG decoder)" >&2; return 1; }
    echo "Package $(basename "$deb"): $(echo "$listed" | wc -l) files as expected"
}
