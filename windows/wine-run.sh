#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: wine-run.sh PROGRAM [ARGUMENT...]. Wine's own
# messages are silenced, and its prefix is kept in the build folder, made on first use so that
# what Wine says while making it is not taken for the program's output. Making it installs no
# .NET or HTML engine (a first start inside an X server would otherwise stop to offer them).
# A Unix path given to the program resolves through Wine's Z: drive, which is the whole Unix
# file system.
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEDEBUG=-all WINEPREFIX="${WINEPREFIX:-$root/build/windows/wineprefix}"
if [ ! -d "$WINEPREFIX" ]; then
  { WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init && wineserver --wait; } >/dev/null 2>&1 </dev/null
fi
exec wine "$@"
