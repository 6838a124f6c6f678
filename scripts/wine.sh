#!/usr/bin/env bash
# Runs a Windows program under Wine with a private prefix in the build folder,
# no debug noise and no installer dialogs.
#   wine.sh --prepare BUILD_DIR   creates the prefix once
#   wine.sh PROGRAM [ARGS...]     runs a program (a display must exist for windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "${1:-}" = "--prepare" ]; then
  export WINEPREFIX="$(cd "$2" && pwd)/wineprefix"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  exit 0
fi
export WINEPREFIX=${WINEPREFIX:-$root/build/windows/wineprefix}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" wine "$@"
fi
exec wine "$@"
