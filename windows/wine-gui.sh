#!/usr/bin/env bash
# tavrenix.exe under Wine, for the window's tests (TAVRENIX_GUI_UNDER_TEST); the caller
# provides the X display (xvfb-run).
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEDEBUG=-all WINEPREFIX="${WINEPREFIX:-$root/build/windows/wineprefix}"
[ -d "$WINEPREFIX" ] || { wineboot --init && wineserver --wait; } >/dev/null 2>&1 </dev/null
exec wine "$root/build/windows/app/win32/tavrenix.exe" "$@"
