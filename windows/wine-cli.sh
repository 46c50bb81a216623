#!/usr/bin/env bash
# tavrenix-cli.exe under Wine (wine-run.sh), for the command-line tests (TAVRENIX_CLI_UNDER_TEST).
root=$(cd "$(dirname "$0")/.." && pwd)
exec "$root/windows/wine-run.sh" "$root/build/windows/app/cli/tavrenix-cli.exe" "$@"
