#!/usr/bin/env bash
# tavrenix.exe under Wine (wine-run.sh), for the window's tests (TAVRENIX_GUI_UNDER_TEST); the
# caller provides the X display (xvfb-run).
root=$(cd "$(dirname "$0")/.." && pwd)
exec "$root/windows/wine-run.sh" "$root/build/windows/app/win32/tavrenix.exe" "$@"
