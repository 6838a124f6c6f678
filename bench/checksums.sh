#!/usr/bin/env bash
# The speed of --checksum beside the tools that compute the same digests,
# interleaved round by round (each tool once per round, in turn), the median
# wall time of the rounds for each, and its ratio to the peer it is meant to
# match. Never part of the tests.
#
# Large files, warm: 1 GiB, 2 x 512 MiB and 2 x 256 MiB of random bytes in a
# tmpfs (/dev/shm), where they stay cached whatever a reader advises.
#   kestrova-sha256   kestrova-cli --format sums --checksum sha256 DIR
#   openssl-sha256    openssl dgst -sha256 DIR/*          (one thread)
#   hashdeep-sha256   hashdeep -c sha256 -r DIR           (one thread per core)
#   kestrova-xxh128   kestrova-cli --format sums --checksum xxh128 DIR
#   xxhsum-xxh128     xxhsum -H2 DIR/*
#   cat               cat DIR/*                           (the memory-read limit)
# A tree: TREE (default /tmp/kestrova-bench/tree1m, 1,000,000 files in
# 10,000 folders, made by bench/make_folder.c --tree; never regenerated
# here), its files' content read into the cache before every run, since
# kestrova-cli advises the system to drop what it read:
#   kestrova-tree     kestrova-cli -R --checksum sha256 --format json TREE
#   hashdeep-tree     hashdeep -c sha256 -r TREE
# and the rerun whose digests the cache keeps (filled once before the rounds,
# in a cache of the benchmark's own) beside the same listing without them:
#   kestrova-cached   kestrova-cli -R --checksum sha256 --format json TREE
#   kestrova-plain    kestrova-cli -R --format json TREE
# Every other kestrova-cli run reads its files: --no-checksum-cache.
#
#   bench/checksums.sh [--cli PATH] [--rounds N] [--tree DIR] [--no-tree]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$root/build/native/cli/kestrova-cli
rounds=5
tree=/tmp/kestrova-bench/tree1m
with_tree=1
while [ $# -gt 0 ]; do
  case $1 in
    --cli) cli=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --tree) tree=$2; shift 2 ;;
    --no-tree) with_tree=0; shift ;;
    *) echo "usage: $0 [--cli PATH] [--rounds N] [--tree DIR] [--no-tree]" >&2; exit 2 ;;
  esac
done
for tool in openssl hashdeep xxhsum; do
  command -v $tool >/dev/null || { echo "checksums: $tool is missing (scripts/setup.sh openssl hashdeep xxhash)" >&2; exit 1; }
done

files=/dev/shm/kestrova-checksums
cache=
cleanup() { rm -rf "$files" ${cache:+"$cache"}; }
trap cleanup EXIT
mkdir -p "$files"
for size_and_name in 1024:one-gib 512:half-a 512:half-b 256:quarter-a 256:quarter-b; do
  head -c "$((${size_and_name%%:*} << 20))" /dev/urandom >"$files/${size_and_name#*:}"
done

# Seconds of wall time of one run, its output thrown away.
timed() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

warm_tree() { find "$tree" -type f -size +0 -print0 | xargs -0 cat >/dev/null; }

declare -A commands
commands[kestrova-sha256]="$cli -q --no-checksum-cache --format sums --checksum sha256 $files"
commands[openssl-sha256]="openssl dgst -sha256 $files/one-gib $files/half-a $files/half-b $files/quarter-a $files/quarter-b"
commands[hashdeep-sha256]="hashdeep -c sha256 -r $files"
commands[kestrova-xxh128]="$cli -q --no-checksum-cache --format sums --checksum xxh128 $files"
commands[xxhsum-xxh128]="xxhsum -H2 $files/one-gib $files/half-a $files/half-b $files/quarter-a $files/quarter-b"
commands[cat]="cat $files/one-gib $files/half-a $files/half-b $files/quarter-a $files/quarter-b"
order=(kestrova-sha256 openssl-sha256 hashdeep-sha256 kestrova-xxh128 xxhsum-xxh128 cat)
if [ $with_tree = 1 ] && [ -d "$tree" ]; then
  commands[kestrova-tree]="$cli -q -R --no-checksum-cache --checksum sha256 --format json $tree"
  commands[hashdeep-tree]="hashdeep -c sha256 -r $tree"
  cache=$(mktemp -d)
  commands[kestrova-cached]="$cli -q -R --checksum-cache $cache/checksums --checksum sha256 --format json $tree"
  commands[kestrova-plain]="$cli -q -R --format json $tree"
  # shellcheck disable=SC2086
  ${commands[kestrova-cached]} >/dev/null
  order+=(kestrova-tree hashdeep-tree kestrova-cached kestrova-plain)
fi

declare -A times
echo "load before: $(uptime)"
for ((round = 0; round < rounds; round++)); do
  # Each round starts at another tool, so that none always runs first.
  for ((i = 0; i < ${#order[@]}; i++)); do
    name=${order[$(((i + round) % ${#order[@]}))]}
    [[ $name == *-tree ]] && warm_tree
    # shellcheck disable=SC2086
    times[$name]+="$(timed ${commands[$name]}) "
  done
done
echo "load after:  $(uptime)"

median() { tr ' ' '\n' <<<"$1" | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf '%-18s %10s   %s\n' tool "median s" "rounds"
for name in "${order[@]}"; do printf '%-18s %10.3f   %s\n' "$name" "$(median "${times[$name]}")" "${times[$name]}"; done
ratio() { echo "scale=2; $(median "${times[$1]}") / $(median "${times[$2]}")" | bc; }
echo
echo "sha256 / openssl dgst:  $(ratio kestrova-sha256 openssl-sha256)  (target <= 0.6)"
echo "sha256 / hashdeep:      $(ratio kestrova-sha256 hashdeep-sha256)  (target <= 1.0)"
echo "xxh128 / xxhsum -H2:    $(ratio kestrova-xxh128 xxhsum-xxh128)  (target <= 1.2)"
echo "xxh128 / cat:           $(ratio kestrova-xxh128 cat)"
if [ -n "${times[kestrova-tree]:-}" ]; then
  echo "tree / hashdeep:        $(ratio kestrova-tree hashdeep-tree)  (target <= 1.3)"
  echo "cached / plain:         $(ratio kestrova-cached kestrova-plain)  (target <= 1.2)"
fi
