#!/usr/bin/env bash
# One entry point for setting up, building, testing, demonstrating and benchmarking Tavrenix.
# Every subcommand first makes sure the Debian packages below are installed.
set -euo pipefail
cd "$(dirname "$0")"

# Everything the build, the tests and the benchmarks need, as Debian packages.
PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  libjpeg62-turbo-dev libturbojpeg0-dev libjpeg-turbo-progs
  libgif-dev libpng-dev
  qt6-base-dev fonts-liberation2
  libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
)

deps() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "dev.sh: installing ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build PRESET [TARGET...]
build() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  cmake --build --preset "$preset" "${targets[@]}"
}

usage() {
  cat <<'USAGE'
usage: ./dev.sh COMMAND
  deps    install the Debian packages the project needs (quiet when all are present)
  build   configure and build the debug preset (tests included)
  test    build and run every test through CTest
  demo    build and run the main job on the bundled sample picture
  bench   build the release preset and run the benchmarks
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
  bench)
    deps
    build release
    for b in build/release/bench/*_bench; do
      [ -x "$b" ] && "$b" "$@"
    done
    ;;
  *) usage; exit 2 ;;
esac
