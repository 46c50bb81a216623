#!/usr/bin/env bash
# One entry point for setting up, building, testing, demonstrating and benchmarking Tavrenix.
# Every subcommand first makes sure the Debian packages below are installed.
set -euo pipefail
cd "$(dirname "$0")"

# Everything the build, the tests and the benchmarks need, as Debian packages.
PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  libjpeg62-turbo-dev libturbojpeg0-dev libjpeg-turbo-progs
  libgif-dev libpng-dev libwebp-dev libtiff-dev liblcms2-dev
  qt6-base-dev fonts-liberation2
  libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev e2fsprogs util-linux dpkg-dev
)

# Only ./dev.sh bench needs these: the peers it is compared with (libjpeg-turbo's cjpeg and djpeg
# come with the packages above), the libvips headers its peer pipeline is built against, and the
# tools that time the runs and measure their memory. The tests and CI do without them.
BENCH_PACKAGES=(hyperfine libvips-tools libvips-dev imagemagick python3 python3-pil time)

# ./dev.sh windows needs the MinGW-w64 toolchain (its POSIX thread variant: see
# windows/toolchain-mingw-w64-x86_64.cmake), nasm for libjpeg-turbo's SIMD code, dpkg-dev for
# apt-get source, and zip for the release archive; ./dev.sh windows-test needs Wine too, a
# virtual X server (with xauth, which xvfb-run uses) for the tests that show windows, and
# googletest's sources to build the Windows tests with.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix nasm dpkg-dev zip)
WINE_PACKAGES=(wine wine64 xvfb xauth googletest)

# deps [PACKAGE...]: installs the packages that are missing (default: PACKAGES).
deps() {
  local missing=() wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${PACKAGES[@]}")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "dev.sh: installing ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# deb_src: apt-get source needs a deb-src entry for the configured Debian suite; one is added
# when there is none.
deb_src() {
  grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/ && return 0
  local suite
  suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "dev.sh: adding a deb-src entry for Debian $suite"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
    "$suite" /usr/share/keyrings/debian-archive-keyring.gpg |
    "${sudo[@]}" tee /etc/apt/sources.list.d/tavrenix-deb-src.sources >/dev/null
  "${sudo[@]}" apt-get update -qq
}

# windows: tavrenix-cli.exe and the release archive.
windows() {
  deps "${WINDOWS_PACKAGES[@]}" libcli11-dev cmake ninja-build ccache pkg-config
  deb_src
  windows/build-deps.sh
  build windows tavrenix-cli tavrenix >/dev/null
  local version archive stage
  version=$(sed -n 's/^project(Tavrenix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  archive=build/windows/tavrenix-$version-windows-x64.zip
  stage=build/windows/archive/tavrenix-$version-windows-x64
  rm -rf build/windows/archive "$archive"
  mkdir -p "$stage/licences"
  cp build/windows/app/cli/tavrenix-cli.exe build/windows/app/win32/tavrenix.exe README.md "$stage/"
  cp build/windows-deps/prefix/licences/*.txt "$stage/licences/"
  # The static program carries the toolchain's runtime too: MinGW-w64's (winpthreads
  # included) and GCC's.
  cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licences/mingw-w64-runtime.txt"
  cp /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright "$stage/licences/gcc-runtime.txt"
  (cd build/windows/archive && zip -qr "../$(basename "$archive")" "$(basename "$stage")")
  echo "windows: build/windows/app/cli/tavrenix-cli.exe, build/windows/app/win32/tavrenix.exe and $archive"
}

# static_lcms2: the Little CMS archive of the statically linked programs (deps/lcms2.sh).
static_lcms2() {
  deb_src
  deps/lcms2.sh gcc gcc-ar build/linux-deps/prefix
}

# build PRESET [TARGET...]
build() {
  local preset=$1
  shift
  [ "$preset" = windows ] || static_lcms2
  cmake --preset "$preset" >/dev/null
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  cmake --build --preset "$preset" "${targets[@]}"
}

# fuzz SECONDS [TARGET...]: runs each libFuzzer target (all of fuzz/CMakeLists.txt by default)
# for SECONDS over a working corpus in build/fuzz/corpus that starts from fuzz/corpus. Crashes,
# failed checks, leaks, time-outs (60 s per input) and memory over libFuzzer's default limit
# (2048 MB) are findings: the input is kept in build/fuzz/artifacts and the command fails.
fuzz() {
  local seconds=${1:-}
  [[ $seconds =~ ^[1-9][0-9]*$ ]] || { echo "usage: ./dev.sh fuzz SECONDS [TARGET...]" >&2; exit 2; }
  shift
  build fuzz >/dev/null
  local dir=build/fuzz targets=("$@") failed=() summary=()
  [ ${#targets[@]} -gt 0 ] || mapfile -t targets <"$dir/fuzz/targets.txt"
  mkdir -p "$dir/logs"
  for t in "${targets[@]}"; do
    local exe=$dir/fuzz/${t}_fuzzer log=$dir/logs/$t.log status=0
    [ -x "$exe" ] || { echo "dev.sh: no fuzz target $t" >&2; exit 2; }
    mkdir -p "$dir/corpus/$t" "$dir/artifacts/$t"
    echo "fuzz: $t for ${seconds} s"
    "$exe" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$dir/artifacts/$t/" "$dir/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
    local runs rss
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
    summary+=("$(printf '%-14s %12s executions in %s s, peak RSS %s MB, exit status %s' \
      "$t" "${runs:-?}" "$seconds" "${rss:-?}" "$status")")
    if [ "$status" -ne 0 ]; then
      failed+=("$t")
      grep -E -A 30 '^==[0-9]+==|FUZZ_CHECK|libjpeg-turbo:|SUMMARY|Test unit written' "$log" | head -n 60 || true
    fi
  done
  printf '%s\n' "${summary[@]}"
  if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: findings in ${failed[*]}; inputs in $dir/artifacts, logs in $dir/logs" >&2
    exit 1
  fi
}

usage() {
  cat <<'USAGE'
usage: ./dev.sh COMMAND
  deps    install the Debian packages the project needs (quiet when all are present)
  build   configure and build the debug preset (tests included)
  test    build and run every test through CTest
  demo    build and run the main job on the bundled sample picture
  bench   build the release preset, compare tavrenix-cli with its peers (cjpeg, libvips,
          ImageMagick, Pillow) and run the benchmarks of the hot paths
  asan    build the ASan + UBSan preset (no Qt) and run its tests
  fuzz SECONDS [TARGET...]
          build the libFuzzer targets (clang, ASan + UBSan) and run each for SECONDS;
          fails on any finding
  windows cross-build tavrenix-cli.exe and tavrenix.exe for Windows with MinGW-w64 and write the
          release archive
  windows-test
          build them and run the command-line tests against tavrenix-cli.exe under Wine, then
          the window's tests (win32_tests.exe, and tavrenix.exe's renderings against the Linux
          program's) in a virtual X server
USAGE
}

cmd=${1:-}
[ -n "$cmd" ] || { usage; exit 2; }
shift || true
case "$cmd" in
  deps) deps ;;
  build) deps; build debug ;;
  test)
    deps
    build debug
    ctest --preset debug "$@"
    # The optimised program (vector clones, other inlining) must write the very bytes that the
    # debug build is held to: the tests that run tavrenix-cli, run again with the release one.
    build release tavrenix-cli
    TAVRENIX_CLI_UNDER_TEST="$PWD/build/release/app/cli/tavrenix-cli" \
      ./build/debug/tests/app/app_tests --gtest_brief=1 --gtest_filter='*PinnedMake*:CliMake*'
    TAVRENIX_CLI_UNDER_TEST="$PWD/build/release/app/cli/tavrenix-cli" \
      ./build/debug/tests/jpeg/jpeg_tests --gtest_brief=1 --gtest_filter='EncodeCli*'
    ;;
  demo)
    deps
    build release tavrenix-cli
    cli=./build/release/app/cli/tavrenix-cli
    out=demo-out
    rm -rf "$out"
    mkdir -p "$out"
    "$cli" info assets/sample.jpg
    "$cli" make --season 0 --startup-logo "$out/IntroLogo.ozj" assets/sample.jpg
    for season in 0 1 2 3; do
      mkdir -p "$out/season$season"
      "$cli" make --season "$season" --loading-screen "$out/season$season" assets/sample.jpg
    done
    echo "Written:"
    find "$out" -type f -printf '%p %s bytes\n' | sort
    ;;
  windows) windows ;;
  windows-test)
    windows
    deps "${WINE_PACKAGES[@]}"
    build debug app_tests jpeg_tests gui_tests tavrenix-cli >/dev/null
    # The command-line suites, with the Windows program in place of the Linux one: the same
    # pinned bytes, the same tables and refusals.
    export TAVRENIX_CLI_UNDER_TEST="$PWD/windows/wine-cli.sh" TAVRENIX_CLI_UNDER_TEST_IS_WINDOWS=1
    ./build/debug/tests/app/app_tests --gtest_brief=1 --gtest_filter='*PinnedMake*:CliMake*:CliInfo*:CliContainer*'
    ./build/debug/tests/jpeg/jpeg_tests --gtest_brief=1 --gtest_filter='EncodeCli*'
    unset TAVRENIX_CLI_UNDER_TEST TAVRENIX_CLI_UNDER_TEST_IS_WINDOWS
    # The window and its Windows back ends (text, dialogs, resources), in a virtual X server:
    # the dialog tests show the system's dialogs and answer them, the window's tests drive it
    # with a scripted user and hold its one real run to the file the Linux program writes.
    build windows win32_tests >/dev/null
    reference=build/windows/reference
    rm -rf "$reference" && mkdir -p "$reference"
    ./build/debug/app/cli/tavrenix-cli make --season 0 --startup-logo "$reference/IntroLogo.ozj" assets/sample.jpg >/dev/null
    # Wine's desktop started by the runs above has no display, and windows made while it lives
    # have nowhere to go: its server is let finish first (it ends a few seconds after its last
    # program).
    WINEPREFIX="$PWD/build/windows/wineprefix" wineserver --wait
    TAVRENIX_REFERENCE_LOGO="$PWD/$reference/IntroLogo.ozj" \
      xvfb-run -a -s "-screen 0 1280x1024x24" windows/wine-run.sh build/windows/tests/win32/win32_tests.exe --gtest_brief=1
    # tavrenix.exe --screenshot and --frame-gallery held to the pixels the Linux program's are.
    TAVRENIX_GUI_UNDER_TEST="$PWD/windows/wine-gui.sh" \
      xvfb-run -a -s "-screen 0 1280x1024x24" ./build/debug/tests/app/gui/gui_tests --gtest_brief=1 --gtest_filter='DesktopProgram*'
    ;;
  asan)
    deps
    build asan
    ctest --preset asan "$@"
    ;;
  fuzz)
    deps
    fuzz "$@"
    ;;
  bench)
    # ./dev.sh bench [compare.py options, e.g. --runs 5 --only season]
    deps
    deps "${BENCH_PACKAGES[@]}"
    build release tavrenix-cli make_bench_picture encoder_bench hot_paths_bench
    mkdir -p build/bench-data
    # The libvips peer is a small C program against the installed libvips.
    cc -O2 -o build/bench-data/vips_cut bench/peers/vips_cut.c $(pkg-config --cflags --libs vips)
    /usr/bin/python3 bench/compare.py --cli build/release/app/cli/tavrenix-cli \
      --picture-maker build/release/bench/make_bench_picture --vips-cut build/bench-data/vips_cut \
      --data build/bench-data "$@"
    echo
    echo "Hot paths (Google Benchmark):"
    for b in build/release/bench/*_bench; do
      [ -x "$b" ] && TAVRENIX_BENCH_DATA=build/bench-data "$b"
    done
    ;;
  *) usage; exit 2 ;;
esac
