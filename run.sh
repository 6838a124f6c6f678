#!/usr/bin/env bash
# Builds Kestrova and writes a listing of a folder with the command line's defaults.
#   ./run.sh [FOLDER [OUTPUT]]   FOLDER defaults to the current folder,
#                                OUTPUT to build/FolderIndex.html
#                                (it installs only what the Linux build needs)
#   ./run.sh --window            starts the Windows program under Wine
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = "--window" ]; then
  "$root/scripts/setup.sh"
  "$root/scripts/build.sh" windows >/dev/null
  exec "$root/scripts/wine.sh" "$root/build/windows/mainwindow/Kestrova.exe"
fi

"$root/scripts/setup.sh" --native
"$root/scripts/build.sh" native >/dev/null
folder=${1:-.}
output=${2:-$root/build/FolderIndex.html}
exec "$root/build/native/cli/kestrova-cli" "$folder" -o "$output"
