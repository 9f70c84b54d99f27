# Shared by scripts/run and scripts/test: installs the Debian packages that are missing.
# shellcheck shell=bash

# xa65 assembles the sample game; SDL reads the game pads; libsqlite3-dev holds the library
# database; libxml2-dev reads software lists and DATs; libdeflate-dev inflates screenshots;
# ccache makes every build after the first quick.
BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
                zlib1g-dev xa65 libsdl2-dev libsqlite3-dev libxml2-dev libdeflate-dev ccache)
# clang-format checks the code's layout; desktop-file-utils and appstream check the desktop
# files; file and dpkg-dev let CPack work out the package's dependencies; libxcb1-dev and
# xvfb let bench_window_shown watch the real window appear; mame-data's software lists
# are real checksum sources, and libxml2-utils' xmllint the reference for indexing them;
# fuse3 makes a slow or hung network share for the tests of a games folder on one.
TEST_PACKAGES=(clang-format libgtest-dev libgmock-dev googletest libbenchmark-dev clang
               libfuzzer-14-dev libclang-rt-14-dev desktop-file-utils appstream file dpkg-dev
               jdupes libxcb1-dev xvfb mame-data libxml2-utils fuse3 libfuse3-dev)
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

# The tests whose code runs on threads of its own (the CRC read-ahead, the picture loader,
# the duplicate search, the wait for a started program, the pads' own thread), as a CTest
# name pattern, and the test programs that hold them. ThreadSanitizer runs only these: Qt is
# not instrumented, so elsewhere it would report Qt's own locking rather than ours.
THREADED_TESTS='^(Crc|CrcFile|PictureFiles|PreviewTest|Duplicates|DuplicatesWindow|ProgramStart|SdlGamepads|GamepadWindowTest|ChecksumIndexTest|ChecksumCache|FirstRead|Verdicts|GameIdentificationTest|IdentifyWindow|ReadAhead|QueuedCalls|BackgroundListing|ShareWindowTest)\.'
THREADED_TEST_PROGRAMS=(checksum_tests platform_tests launcher_tests identify_tests filelist_tests)

# run_sanitized_tests DIR SANITIZERS [PATTERN TARGET...]: builds the test programs in DIR
# with -fsanitize=SANITIZERS and runs their tests; with a PATTERN, builds only the TARGETs
# and runs only the tests whose names match it. Warnings are the normal build's business:
# the instrumented code makes GCC warn about paths that cannot happen. -O1 with line
# tables only compiles in two thirds of the time -O2 -g takes, and the reports still name
# files and lines.
run_sanitized_tests() {
    local dir=$1 sanitizers=$2
    shift 2
    local pattern=() targets=(test_programs)
    if [ $# -gt 0 ]; then
        pattern=(-R "$1")
        shift
        targets=("$@")
    fi
    configure_and_build -DROMBARD_SANITIZE="$sanitizers" -DROMBARD_BENCH=OFF \
        -DROMBARD_WERROR=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
        "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1" "$dir" "${targets[@]}"
    # The first fault fails its test rather than scrolling by. LeakSanitizer stays on: the
    # test programs end with nothing of theirs or Qt's reported. Qt is not built with TSan,
    # so TSan cannot see the ordering Qt's own locks and atomics give (Qt's image code hands
    # work to a thread pool of its own, for one) and would report races inside Qt; with
    # ignore_noninstrumented_modules it judges only what our instrumented code touches.
    (cd "$dir" &&
        ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        TSAN_OPTIONS=ignore_noninstrumented_modules=1:halt_on_error=1:second_deadlock_stack=1 \
        QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j"$(nproc)" \
            "${pattern[@]}")
}

# run_gif_fuzzer SECONDS: builds the libFuzzer targets with clang (ASan, UBSan) in build-fuzz
# and runs them for SECONDS in all (the GIF block walk, the whole GIF view, the DAT reader,
# the zip directory and unpacking, the fast PNG decoder), starting from the test files.
run_gif_fuzzer() {
    local seconds=$1
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROMBARD_FUZZ=ON \
        -DROMBARD_WERROR=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
    cmake --build build-fuzz -j"$(nproc)" --target fuzz_gif fuzz_gifview fuzz_dat fuzz_zip fuzz_png
    # The walk and the readers may allocate no more than a small file's worth; the view
    # draws into surfaces, and a PNG's picture may be 1032 times its bytes.
    local targets=(fuzz_gif:64:gif fuzz_gifview:512:gif fuzz_dat:128:xml fuzz_zip:64:zip
                   fuzz_png:256:png)
    local target limit corpus
    for target in "${targets[@]}"; do
        IFS=: read -r target limit corpus <<<"$target"
        mkdir -p "build-fuzz/corpus/$target"
        case $corpus in
            gif) cp tests/gifview/data/*.gif "build-fuzz/corpus/$target/" ;;
            xml) cp tests/identify/data/*.xml "build-fuzz/corpus/$target/" ;;
            zip) cp tests/identify/data/zip/*.zip "build-fuzz/corpus/$target/" ;;
            png) cp tests/launcher/data/png/* "build-fuzz/corpus/$target/" ;;
        esac
        # Qt keeps some allocations until exit; leaks are not what this run looks for.
        ASAN_OPTIONS=detect_leaks=0 "build-fuzz/fuzz/$target" \
            -max_total_time=$((seconds / ${#targets[@]})) \
            -max_len=4096 -malloc_limit_mb="$limit" -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix=build-fuzz/ "build-fuzz/corpus/$target"
    done
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
