#!/usr/bin/env bash
# Speed and memory of kestrova-cli on synthetic folders of 10,000, 100,000 and
# 1,000,000 entries, side by side with the floor program (bench/floor.c: the
# least work any HTML listing must do) and with `tree -H`.
#
#   bench/run.sh [--cli PATH] [--sizes "N ..."] [--runs N] [--no-tree] [--work DIR]
#
#   --cli PATH    the program to time (default build/native/cli/kestrova-cli;
#                 build it first with ./run.sh or scripts/build.sh native)
#   --sizes LIST  entry counts (default "10000 100000 1000000")
#   --runs N      timed runs per command after one warm-up run (default 5)
#   --no-tree     leave tree out (it is also left out when not installed)
#   --work DIR    where the folders and outputs go (default /tmp/kestrova-bench);
#                 the folders are made once and reused
#
# Needs a C compiler, hyperfine, GNU time (/usr/bin/time) and, for its column,
# tree. All runs read a warm page cache: the numbers are the cost of the
# program and the kernel, not of the disk's seeks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

cli=${KESTROVA_CLI:-$root/build/native/cli/kestrova-cli}
work=${KESTROVA_BENCH_DIR:-/tmp/kestrova-bench}
tree_program=${TREE:-tree}
sizes="10000 100000 1000000"
runs=5
with_tree=1

while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --no-tree) with_tree=0; shift ;;
    --work) work=$2; shift 2 ;;
    -h|--help) sed -n '2,19s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "bench: unknown argument $1 (try --help)" >&2; exit 2 ;;
  esac
done

fail() { echo "bench: $*" >&2; exit 1; }
[ -x "$cli" ] || fail "no program at $cli; build it first (./run.sh or scripts/build.sh native) or pass --cli PATH"
command -v hyperfine >/dev/null || fail "hyperfine is missing (Debian package hyperfine)"
[ -x /usr/bin/time ] || fail "GNU time is missing (Debian package time)"
command -v cc >/dev/null || fail "a C compiler (cc) is missing"
if [ "$with_tree" = 1 ] && ! command -v "$tree_program" >/dev/null; then
  echo "bench: $tree_program not found; its column is left out" >&2
  with_tree=0
fi

bin="$work/bin"
out="$work/out"
mkdir -p "$bin" "$out"
for program in floor make_folder; do
  if [ ! -x "$bin/$program" ] || [ "$root/bench/$program.c" -nt "$bin/$program" ]; then
    cc -O2 -std=c11 -Wall -Wextra -o "$bin/$program" "$root/bench/$program.c"
  fi
done

for n in $sizes; do
  folder="$work/entries-$n"
  if [ ! -f "$folder.ready" ] || [ "$root/bench/make_folder.c" -nt "$folder.ready" ]; then
    echo "bench: making $folder ($n entries)" >&2
    rm -rf "$folder" "$folder.ready"
    "$bin/make_folder" "$folder" "$n"
    touch "$folder.ready"
  fi
done

q() { printf '%q' "$1"; }

# The median of one command from hyperfine's CSV export, in seconds.
median_of() {
  awk -F, -v name="$2" 'NR > 1 && $1 == name { print $4 }' "$1"
}

# The mean processor time (user and system) of one command, in seconds.
cpu_of() {
  awk -F, -v name="$2" 'NR > 1 && $1 == name { print $5 + $6 }' "$1"
}

# Peak resident memory of one run, in KiB.
peak_of() {
  local report="$out/peak.txt"
  /usr/bin/time -f %M -o "$report" "$@" >/dev/null
  tail -n 1 "$report"
}

declare -A median cpu peak bytes
for n in $sizes; do
  folder="$work/entries-$n"
  kestrova=("$cli" -q --set Columns=STWCRAH --set SortBy=0 "$folder" -o "$out/kestrova-$n.html")
  floor=("$bin/floor" "$folder" "$out/floor-$n.html")
  commands=(-n kestrova "$(printf '%q ' "${kestrova[@]}")"
            -n floor "$(printf '%q ' "${floor[@]}")")
  if [ "$with_tree" = 1 ]; then
    commands+=(-n tree "$(q "$tree_program") -H . -L 1 -s -D -p $(q "$folder") > $(q "$out/tree-$n.html")")
  fi
  echo "bench: timing $n entries" >&2
  hyperfine --warmup 1 --runs "$runs" --style basic --export-csv "$out/times-$n.csv" \
    "${commands[@]}" >&2

  for name in kestrova floor tree; do
    [ "$name" = tree ] && [ "$with_tree" = 0 ] && continue
    median[$name,$n]=$(median_of "$out/times-$n.csv" "$name")
    cpu[$name,$n]=$(cpu_of "$out/times-$n.csv" "$name")
  done
  peak[kestrova,$n]=$(peak_of "${kestrova[@]}")
  peak[floor,$n]=$(peak_of "${floor[@]}")
  bytes[kestrova,$n]=$(stat -c %s "$out/kestrova-$n.html")
  bytes[floor,$n]=$(stat -c %s "$out/floor-$n.html")
  if [ "$with_tree" = 1 ]; then
    peak[tree,$n]=$(peak_of sh -c "$(q "$tree_program") -H . -L 1 -s -D -p $(q "$folder") > $(q "$out/tree-$n.html")")
  fi
done

# The report: medians, ratios to the floor, and memory against its budget
# (1.5 times the output file plus 100 bytes per entry).
{
  echo
  echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores," \
       "$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) RAM," \
       "$(uname -sr), $(stat -f -c %T "$work") file system; $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "Each time is the median of $runs runs after one warm-up run (hyperfine); CPU is the mean"
  echo "user plus system time of those runs; peak memory (maximum resident set) from GNU time."
  echo
  header="| entries | kestrova s | floor s"
  rule="|---:|---:|---:"
  [ "$with_tree" = 1 ] && { header+=" | tree s"; rule+="|---:"; }
  header+=" | kestrova / floor"
  rule+="|---:"
  [ "$with_tree" = 1 ] && { header+=" | tree / floor"; rule+="|---:"; }
  header+=" | CPU kestrova / floor | kestrova peak MiB | output MiB | budget MiB | peak / budget | floor peak MiB |"
  rule+="|---:|---:|---:|---:|---:|---:|"
  echo "$header"
  echo "$rule"
  for n in $sizes; do
    awk -v n="$n" -v k="${median[kestrova,$n]}" -v f="${median[floor,$n]}" \
        -v t="${median[tree,$n]:-}" -v tree="$with_tree" \
        -v kc="${cpu[kestrova,$n]}" -v fc="${cpu[floor,$n]}" \
        -v kp="${peak[kestrova,$n]}" -v fp="${peak[floor,$n]}" -v kb="${bytes[kestrova,$n]}" '
      BEGIN {
        mib = 1048576
        budget = 1.5 * kb + 100 * n
        line = sprintf("| %d | %.3f | %.3f", n, k, f)
        if (tree == 1) line = line sprintf(" | %.3f", t)
        line = line sprintf(" | %.2f", k / f)
        if (tree == 1) line = line sprintf(" | %.2f", t / f)
        line = line sprintf(" | %.2f | %.1f | %.1f | %.1f | %.2f | %.1f |", kc / fc,
                            kp * 1024 / mib, kb / mib, budget / mib, kp * 1024 / budget, fp * 1024 / mib)
        print line
      }'
  done
  read -ra size_list <<< "$sizes"
  if [ ${#size_list[@]} -ge 2 ]; then
    previous=${size_list[-2]}
    last=${size_list[-1]}
    awk -v a="$previous" -v b="$last" -v ka="${median[kestrova,$previous]}" -v kb="${median[kestrova,$last]}" \
        -v fa="${median[floor,$previous]}" -v fb="${median[floor,$last]}" '
      BEGIN { printf "\nGrowth from %d to %d entries: kestrova %.2f times, floor %.2f times.\n", a, b, kb / ka, fb / fa }'
  fi
  echo "Targets: kestrova / floor at most 1.3 at 100,000 and 1,000,000 entries; peak / budget below 1;"
  echo "growth from 100,000 to 1,000,000 entries at most 11 times."
}
