#!/usr/bin/env bash
# Writing from other tools' listings beside writing the same output from the
# disk, and an unchanged rerun of -R beside the first run; interleaved round
# by round (each row once per round, in turn, starting one further each
# round), with the median wall time and the peak memory of each row. Never
# part of the tests.
#
# TREE (default /tmp/kestrova-bench/tree1m, made by bench/run.sh with
# bench/make_folder.c --tree; never regenerated here) is listed once by each
# tool before the rounds:
#   tree -J -s -D --timefmt %s TREE     ncdu -e -o - TREE     rclone lsjson -R TREE
# Rows (OUT is a scratch folder, emptied before each run that writes anew):
#   disk-pages      kestrova-cli -R --format page --output-dir OUT TREE
#   tree-pages      kestrova-cli --from tree.json -R --format page --output-dir OUT
#   ncdu-pages, rclone-pages   the same from the others' listings
#   disk-catalog    kestrova-cli -R -o OUT.catalog.html TREE
#   tree-catalog, ncdu-catalog, rclone-catalog
#   first-run       kestrova-cli -R --output-dir OUT TREE   (OUT emptied)
#   rerun           the same over the pages it wrote        (nothing changed)
#
#   bench/listings.sh [--cli PATH] [--rounds N] [--tree DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$root/build/native/cli/kestrova-cli
rounds=3
tree=/tmp/kestrova-bench/tree1m
while [ $# -gt 0 ]; do
  case $1 in
    --cli) cli=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --tree) tree=$2; shift 2 ;;
    *) echo "usage: $0 [--cli PATH] [--rounds N] [--tree DIR]" >&2; exit 2 ;;
  esac
done
[ -d "$tree" ] || { echo "listings: no tree at $tree (bench/run.sh makes it)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "listings: GNU time is missing (bench/setup.sh installs it)" >&2; exit 1; }
for tool in tree ncdu rclone; do
  command -v $tool >/dev/null || { echo "listings: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/kestrova-listings.XXXXXX)
trap 'rm -rf "$work"' EXIT
echo "listing $tree with tree, ncdu and rclone" >&2
tree -J -a -N -s -D --timefmt %s "$tree" >"$work/tree.json"
ncdu -e -0 -o "$work/ncdu.json" "$tree"
rclone lsjson -R "$tree" >"$work/rclone.json" 2>/dev/null

declare -A commands fresh
options="-q -R --columns size,modified"
commands[disk-pages]="$cli $options --format page --output-dir $work/out-disk-pages $tree"
commands[disk-catalog]="$cli $options -o $work/out-disk.catalog.html $tree"
order=(disk-pages disk-catalog)
for source in tree ncdu rclone; do
  commands[$source-pages]="$cli $options --from $work/$source.json --format page --output-dir $work/out-$source-pages"
  commands[$source-catalog]="$cli $options --from $work/$source.json -o $work/out-$source.catalog.html"
  order+=("$source-pages" "$source-catalog")
done
for name in "${order[@]}"; do fresh[$name]=1; done
commands[first-run]="$cli $options --output-dir $work/out-first-run $tree"
commands[rerun]="$cli $options --output-dir $work/out-rerun $tree"
fresh[first-run]=1
# shellcheck disable=SC2086
${commands[rerun]} >/dev/null 2>&1
order+=(first-run rerun)

# "seconds peak-KiB" of one run, its output thrown away.
measured() {
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>&1 || true
  cat "$work/time"
}

declare -A times peaks
echo "load before: $(uptime)"
for ((round = 0; round < rounds; round++)); do
  for ((i = 0; i < ${#order[@]}; i++)); do
    name=${order[$(((i + round) % ${#order[@]}))]}
    [ -n "${fresh[$name]:-}" ] && rm -rf "$work/out-$name" "$work"/out-*.catalog.html
    # shellcheck disable=SC2086
    read -r seconds peak <<<"$(measured ${commands[$name]})"
    times[$name]+="$seconds "
    peaks[$name]=$peak
  done
done
echo "load after:  $(uptime)"

median() { tr ' ' '\n' <<<"$1" | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf '%-16s %10s %10s   %s\n' row "median s" "peak MiB" rounds
for name in "${order[@]}"; do
  printf '%-16s %10.2f %10d   %s\n' "$name" "$(median "${times[$name]}")" $((${peaks[$name]} / 1024)) "${times[$name]}"
done
ratio() { echo "scale=2; $(median "${times[$1]}") / $(median "${times[$2]}")" | bc; }
echo
for source in tree ncdu rclone; do
  echo "$source pages / disk pages:     $(ratio "$source-pages" disk-pages)  (target <= 1.0)"
  echo "$source catalog / disk catalog: $(ratio "$source-catalog" disk-catalog)  (target <= 1.0)"
done
echo "unchanged rerun / first run: $(ratio rerun first-run)  (target <= 0.5)"
