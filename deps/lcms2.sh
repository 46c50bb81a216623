#!/usr/bin/env bash
# Little CMS as a static library, built from Debian's own source package (its patches applied),
# for the programs that are linked statically: Debian ships it only as a shared library.
#   deps/lcms2.sh COMPILER ARCHIVER PREFIX
# writes PREFIX/lib/liblcms2.a, PREFIX/include/lcms2*.h, PREFIX/lib/pkgconfig/lcms2.pc and
# PREFIX/licences/lcms2.txt; a second run with the same PREFIX does nothing. The source is kept
# in PREFIX/../src. Needs dpkg-dev and a deb-src entry for apt.
set -euo pipefail
cc=$1 ar=$2
mkdir -p "$3"
prefix=$(cd "$3" && pwd)
[ -f "$prefix/lib/liblcms2.a" ] && [ -f "$prefix/lib/pkgconfig/lcms2.pc" ] && exit 0
src=$(dirname "$prefix")/src
work=$(dirname "$prefix")/build/lcms2
mkdir -p "$src" "$work" "$prefix/include" "$prefix/lib/pkgconfig" "$prefix/licences"
dir=$(find "$src" -maxdepth 1 -type d -name 'lcms2-[0-9]*' | head -n 1)
if [ -z "$dir" ]; then
  (cd "$src" && apt-get source -qq lcms2 >/dev/null 2>&1) || { echo "lcms2: apt-get source lcms2 failed" >&2; exit 1; }
  dir=$(find "$src" -maxdepth 1 -type d -name 'lcms2-[0-9]*' | head -n 1)
fi
version=$(basename "$dir" | sed 's/^lcms2-//')
# Position-independent, so that the archive links into position-independent programs too.
for c in "$dir"/src/*.c; do
  "$cc" -O2 -fPIC -ffp-contract=off -I"$dir/include" -c "$c" -o "$work/$(basename "$c" .c).o"
done
rm -f "$prefix/lib/liblcms2.a"
"$ar" rcs "$prefix/lib/liblcms2.a" "$work"/*.o
cp "$dir/include/lcms2.h" "$dir/include/lcms2_plugin.h" "$prefix/include/"
cp "$dir/debian/copyright" "$prefix/licences/lcms2.txt"
# On Windows Little CMS locks with the system's own critical sections, and the C runtime has
# the maths functions: a static link needs nothing more.
private="-lm -lpthread"
case $("$cc" -dumpmachine) in *mingw*) private="" ;; esac
cat >"$prefix/lib/pkgconfig/lcms2.pc" <<PC
prefix=$prefix
Name: lcms2
Description: Little CMS, built statically
Version: $version
Libs: -L\${prefix}/lib -llcms2
Libs.private: $private
Cflags: -I\${prefix}/include
PC
