#!/usr/bin/env bash
# The picture libraries of the Windows program (libjpeg-turbo, libpng, giflib, zlib, libwebp,
# libtiff, Little CMS), built with the MinGW-w64 toolchain from Debian's own source packages, and CLI11's headers, installed into
# build/windows-deps/prefix with their licence texts. The downloaded sources and the built
# libraries are kept, so a second run does nothing. Needs the toolchain, nasm and dpkg-dev, and
# a deb-src entry for apt (./dev.sh windows sees to all three).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps=$root/build/windows-deps
src=$deps/src
work=$deps/build
prefix=$deps/prefix
toolchain=$root/windows/toolchain-mingw-w64-x86_64.cmake
host=x86_64-w64-mingw32
# Bumped whenever what is built here changes, so a stale prefix is built again.
recipe=4
[ -f "$prefix/.recipe-$recipe" ] && exit 0

rm -rf "$work" "$prefix"
mkdir -p "$src" "$work" "$prefix/include" "$prefix/lib/pkgconfig" "$prefix/licences"
export CFLAGS="-O2 -ffp-contract=off"

# The source of a Debian package, unpacked with Debian's patches applied.
source_of() {
  local dir
  dir=$(find "$src" -maxdepth 1 -type d -name "$1-[0-9]*" | head -n 1)
  if [ -z "$dir" ]; then
    (cd "$src" && apt-get source -qq "$1" >/dev/null 2>&1) || { echo "windows: apt-get source $1 failed" >&2; exit 1; }
    dir=$(find "$src" -maxdepth 1 -type d -name "$1-[0-9]*" | head -n 1)
  fi
  echo "$dir"
}

cmake_library() {  # NAME SOURCE [CMAKE OPTIONS...]
  local name=$1 dir=$2
  shift 2
  cmake -S "$dir" -B "$work/$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DTAVRENIX_WINDOWS_PREFIX="$prefix" "$@" >"$work/$name.log" 2>&1 ||
    { tail -n 30 "$work/$name.log" >&2; exit 1; }
  cmake --build "$work/$name" --target install >>"$work/$name.log" 2>&1 || { tail -n 30 "$work/$name.log" >&2; exit 1; }
}

echo "windows: building zlib, libpng, giflib, libjpeg-turbo, libwebp, libtiff and lcms2 for Windows in $deps"
# zlib and giflib are built from their sources directly: their own makefiles build for Unix
# (Debian's zlib source leaves out the Windows makefiles).
static_library() {  # NAME SOURCE-FOLDER FILE...
  local name=$1 dir=$2
  shift 2
  mkdir -p "$work/$name"
  for c in "$@"; do
    $host-gcc-posix $CFLAGS -c "$dir/$c.c" -o "$work/$name/$c.o"
  done
  $host-gcc-ar-posix rcs "$prefix/lib/lib$name.a" "$work/$name"/*.o
}

# A pkg-config file for a library built here: NAME VERSION LIBRARY (as in -lLIBRARY).
pkg_config_file() {
  cat >"$prefix/lib/pkgconfig/$1.pc" <<PC
prefix=$prefix
Name: $1
Description: $1, built for Windows
Version: $2
Libs: -L\${prefix}/lib -l$3
Cflags: -I\${prefix}/include
PC
}

zlib=$(source_of zlib)
static_library z "$zlib" adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
  inftrees trees uncompr zutil
cp "$zlib/zlib.h" "$zlib/zconf.h" "$prefix/include/"
pkg_config_file zlib "$(basename "$zlib" | sed 's/^zlib-//; s/\.dfsg$//')" z
cp "$zlib/debian/copyright" "$prefix/licences/zlib.txt"

png=$(source_of libpng1.6)
cmake_library libpng "$png" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
cp "$png/debian/copyright" "$prefix/licences/libpng.txt"

gif=$(source_of giflib)
static_library gif "$gif" dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray quantize
cp "$gif/gif_lib.h" "$prefix/include/"
pkg_config_file libgif "$(basename "$gif" | sed 's/^giflib-//')" gif
cp "$gif/debian/copyright" "$prefix/licences/giflib.txt"

jpeg=$(source_of libjpeg-turbo)
cmake_library libjpeg-turbo "$jpeg" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DREQUIRE_SIMD=ON
cp "$jpeg/debian/copyright" "$prefix/licences/libjpeg-turbo.txt"

# libwebp and its demuxer only: no tools, no muxer, no extras.
webp=$(source_of libwebp)
cmake_library libwebp "$webp" -DBUILD_SHARED_LIBS=OFF -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF \
  -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
  -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_LIBWEBPMUX=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF
cp "$webp/debian/copyright" "$prefix/licences/libwebp.txt"

# libtiff with the codecs of its own, zlib's and libjpeg's; every other library it can use is
# left out, so the program carries no more than it reads.
tiff=$(source_of tiff)
cmake_library libtiff "$tiff" -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF \
  -Dtiff-docs=OFF -Dtiff-opengl=OFF -Dcxx=OFF -Dsphinx=OFF -Dzlib=ON -Djpeg=ON -Djpeg12=OFF -Dlibdeflate=OFF \
  -Dlzma=OFF -Dzstd=OFF -Djbig=OFF -Dlerc=OFF -Dwebp=OFF \
  -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
  -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$prefix/include"
cp "$tiff/debian/copyright" "$prefix/licences/libtiff.txt"

"$root/deps/lcms2.sh" $host-gcc-posix $host-gcc-ar-posix "$prefix"

# CLI11 is header-only: Debian's headers, and a package file that names them in the prefix.
cp -r /usr/include/CLI "$prefix/include/"
mkdir -p "$prefix/lib/cmake/CLI11"
cat >"$prefix/lib/cmake/CLI11/CLI11Config.cmake" <<CM
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "$prefix/include")
CM
cp /usr/share/doc/libcli11-dev/copyright "$prefix/licences/CLI11.txt"

touch "$prefix/.recipe-$recipe"
