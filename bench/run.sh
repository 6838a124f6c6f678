#!/usr/bin/env bash
# Speed and memory of kestrova-cli on synthetic folders of 10,000, 100,000 and
# 1,000,000 entries, side by side with the floor program (bench/floor.c: the
# least work any HTML listing must do) and with peers of the field:
# `tree -H . -L 1 -s -D -p` and `find DIR -maxdepth 1 -printf ... | sort`.
#
#   bench/run.sh [--cli PATH] [--sizes "N ..."] [--rounds N] [--repeats N] [--no-tree] [--work DIR]
#
#   --cli PATH    the program to time (default build/native/cli/kestrova-cli;
#                 build it first with ./run.sh or scripts/build.sh native)
#   --sizes LIST  entry counts (default "10000 100000 1000000")
#   --rounds N    timed rounds after one warm-up round (default 5)
#   --repeats N   whole measurements, each with its own table (default 2):
#                 shared machines are noisy, and one table can mislead
#   --no-tree     leave tree out (it is also left out when not installed;
#                 bench/setup.sh installs it)
#   --work DIR    where the folders and outputs go (default /tmp/kestrova-bench);
#                 the folders are made once and reused
#
# The programs alternate within each round, in an order that rotates from
# round to round, so a change in the machine's load falls on all of them.
# A ratio is the median over the rounds of the program's time divided by the
# floor's time in the same round. Peak memory is the largest resident set of
# any round (GNU time). All runs read a warm page cache: the numbers are the
# cost of the program and the kernel, not of the disk's seeks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

cli=${KESTROVA_CLI:-$root/build/native/cli/kestrova-cli}
work=${KESTROVA_BENCH_DIR:-/tmp/kestrova-bench}
tree_program=${TREE:-tree}
sizes="10000 100000 1000000"
rounds=5
repeats=2
with_tree=1

while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --rounds|--runs) rounds=$2; shift 2 ;;
    --repeats) repeats=$2; shift 2 ;;
    --no-tree) with_tree=0; shift ;;
    --work) work=$2; shift 2 ;;
    -h|--help) sed -n '2,25s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "bench: unknown argument $1 (try --help)" >&2; exit 2 ;;
  esac
done

fail() { echo "bench: $*" >&2; exit 1; }
[ -x "$cli" ] || fail "no program at $cli; build it first (./run.sh or scripts/build.sh native) or pass --cli PATH"
[ -x /usr/bin/time ] || fail "GNU time is missing (bench/setup.sh installs it)"
command -v cc >/dev/null || fail "a C compiler (cc) is missing"
if [ "$with_tree" = 1 ] && ! command -v "$tree_program" >/dev/null; then
  echo "bench: $tree_program not found (bench/setup.sh installs it); its row is left out" >&2
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

# The programs of one size, as shell commands by name; the floor first.
names=()
declare -A command
set_commands() {
  local n=$1 folder="$work/entries-$1"
  names=(floor kestrova kestrova-text find)
  command[floor]="$(q "$bin/floor") $(q "$folder") $(q "$out/floor-$n.html")"
  command[kestrova]="$(q "$cli") -q --set Columns=STWCRAH --set SortBy=0 $(q "$folder") -o $(q "$out/kestrova-$n.html")"
  command[kestrova-text]="$(q "$cli") -q --set SortBy=0 $(q "$folder") -o $(q "$out/kestrova-text-$n.txt")"
  command[find]="find $(q "$folder") -maxdepth 1 -printf '%f\t%s\t%T@\n' | LC_ALL=C sort > $(q "$out/find-$n.txt")"
  if [ "$with_tree" = 1 ]; then
    names+=(tree)
    command[tree]="$(q "$tree_program") -H . -L 1 -s -D -p $(q "$folder") > $(q "$out/tree-$n.html")"
  fi
}

# One run: wall seconds, processor seconds and peak KiB on one line.
run_once() {
  local report="$out/run.txt" start end
  start=$EPOCHREALTIME
  /usr/bin/time -f '%U %S %M' -o "$report" sh -c "$1" >/dev/null
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" '{ printf "%.4f %.3f %d\n", e - s, $1 + $2, $3 }' "$report"
}

# Median of the numbers on standard input.
median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

machine() {
  echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores," \
       "$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) RAM," \
       "$(uname -sr), $(stat -f -c %T "$work") file system, load $(cut -d' ' -f1-3 /proc/loadavg);" \
       "$(date -u '+%Y-%m-%d %H:%M UTC')"
}

# The budget of peak memory is 150 bytes per entry plus 16 MiB.
declare -A kestrova_median kestrova_peak
for repeat in $(seq "$repeats"); do
  echo
  echo "Repeat $repeat of $repeats. $(machine)"
  echo "$rounds interleaved rounds after one warm-up round; times are medians, ratios the median of"
  echo "each round's ratio to the floor; peak memory the largest of the rounds."
  for n in $sizes; do
    set_commands "$n"
    echo "bench: $n entries, repeat $repeat" >&2
    samples="$out/samples-$n.txt"
    : > "$samples"
    for round in $(seq 0 "$rounds"); do
      count=${#names[@]}
      for i in $(seq 0 $((count - 1))); do
        name=${names[$(((i + round) % count))]}
        line=$(run_once "${command[$name]}")
        [ "$round" -gt 0 ] && echo "$round $name $line" >> "$samples"
      done
    done
    echo
    echo "| $n entries | median s | / floor | CPU s | peak MiB | peak bytes / entry | peak / budget | output MB |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|"
    for name in "${names[@]}"; do
      wall=$(awk -v p="$name" '$2 == p { print $3 }' "$samples" | median)
      cpu=$(awk -v p="$name" '$2 == p { print $4 }' "$samples" | median)
      peak=$(awk -v p="$name" '$2 == p && $5 > m { m = $5 } END { print m }' "$samples")
      ratio=$(awk -v p="$name" '$2 == "floor" { f[$1] = $3 } $2 == p { t[$1] = $3 }
                END { for (r in t) print t[r] / f[r] }' "$samples" | median)
      output=$(stat -c %s "$out/$name-$n".* 2>/dev/null | head -n 1)
      if [ "$name" = kestrova ]; then
        kestrova_median[$repeat,$n]=$wall
        kestrova_peak[$repeat,$n]=$peak
      fi
      awk -v name="$name" -v wall="$wall" -v ratio="$ratio" -v cpu="$cpu" -v peak="$peak" \
          -v n="$n" -v output="${output:-0}" 'BEGIN {
        budget = 150 * n + 16 * 1048576
        printf "| %s | %.3f | %.2f | %.2f | %.1f | %.0f | %.2f | %.1f |\n", name, wall, ratio, cpu,
               peak / 1024, peak * 1024 / n, peak * 1024 / budget, output / 1e6 }'
    done
  done
  read -ra size_list <<< "$sizes"
  if [ ${#size_list[@]} -ge 2 ]; then
    first=${size_list[-2]}
    last=${size_list[-1]}
    awk -v a="$first" -v b="$last" -v ta="${kestrova_median[$repeat,$first]}" \
        -v tb="${kestrova_median[$repeat,$last]}" -v pa="${kestrova_peak[$repeat,$first]}" \
        -v pb="${kestrova_peak[$repeat,$last]}" 'BEGIN {
      printf "\nGrowth of kestrova (all columns) from %d to %d entries: %.2f times in time, %.2f in memory.\n",
             a, b, tb / ta, pb / pa }'
  fi
done
echo
echo "Targets: kestrova (all columns) / floor at most 1.0 and kestrova-text / floor at most 0.9 at"
echo "100,000 and 1,000,000 entries; peak memory at most 150 bytes per entry plus 16 MiB; growth from"
echo "100,000 to 1,000,000 entries at most 10 times in time and memory."
