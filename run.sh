#!/usr/bin/env bash
# Builds Kestrova and writes a listing of a folder with the command line's defaults.
#   ./run.sh [FOLDER [OUTPUT]]   FOLDER defaults to the current folder,
#                                OUTPUT to build/FolderIndex.html
#                                (it installs only what the Linux build needs)
#   ./run.sh --window            starts the Windows program under Wine
# On a terminal the set-up and the build show their latest line as they go;
# elsewhere they are quiet unless they fail (their logs are in build/).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
progress=$root/scripts/with_progress.sh
if [ "${1:-}" = "--window" ]; then
  "$root/scripts/setup.sh"
  "$progress" build "$root/build/windows.log" "$root/scripts/build.sh" windows
  exec "$root/scripts/wine.sh" "$root/build/windows/mainwindow/Kestrova.exe"
fi

"$root/scripts/setup.sh" --native
"$progress" build "$root/build/native.log" "$root/scripts/build.sh" native kestrova-cli compressed_documents
folder=${1:-.}
output=${2:-$root/build/FolderIndex.html}
exec "$root/build/native/cli/kestrova-cli" "$folder" -o "$output"
