#!/usr/bin/env bash
# tavrenix-cli.exe under Wine, for the command-line tests (TAVRENIX_CLI_UNDER_TEST). Wine's own
# messages are silenced, and its prefix is kept in the build folder, made on first use so that
# what Wine says while making it is not taken for the program's output. A Unix path given to
# the program resolves through Wine's Z: drive, which is the whole Unix file system.
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEDEBUG=-all WINEPREFIX="${WINEPREFIX:-$root/build/windows/wineprefix}"
[ -d "$WINEPREFIX" ] || { wineboot --init && wineserver --wait; } >/dev/null 2>&1 </dev/null
exec wine "$root/build/windows/app/cli/tavrenix-cli.exe" "$@"
