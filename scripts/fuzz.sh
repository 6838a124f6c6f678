#!/usr/bin/env bash
# Builds the fuzz targets and runs each (the settings reader's, the ignore
# rules', the catalog reader's, the other listings' readers) on its seed corpus for a bounded time; a crash, a failed check or
# a hang fails.
#   fuzz.sh [SECONDS]   default 30, for each target
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}

"$root/scripts/build.sh" fuzz

# New inputs go to a corpus in the build folder; the seeds in the repository
# stay as they are.
for target in settings ignore_rules catalog listings; do
  work="$root/build/fuzz/work/$target"
  mkdir -p "$work/corpus" "$work/artifacts"
  "$root/build/fuzz/fuzz/${target}_fuzz" \
    -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "$root/fuzz/corpus/$target"
done
