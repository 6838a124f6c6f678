#!/usr/bin/env bash
# The speed and memory of --compare on two listings of a million entries,
# beside the listing it compares (-R --format json of the same tree), and
# whether it finds the changes that diff finds. Never part of the tests.
#
# The old tree is TREE (default /tmp/kestrova-bench/tree1m, 1,000,000 files
# in 10,000 folders, made by bench/make_folder.c --tree; never changed
# here). The new one is a hard-link copy of it beside it (made once, then
# reused) in which 1 % of the files changed (every 200th grew a byte, every
# 200th from the 100th was touched 7 s later, each written as a new file so
# that the old tree keeps its own) and 0.1 % (every 1000th from the 333rd)
# moved to another folder. Both
# are listed once with -R --format json; then, interleaved round by round:
#   kestrova-json      kestrova-cli -R --format json -o FILE TREE   (the reference)
#   compare-listings   kestrova-cli --compare OLD.json NEW.json --format json -o FILE
#   compare-folder     kestrova-cli --compare OLD.json NEWTREE --format json -o FILE
# each with the median wall time of the rounds and the largest resident set
# of any round (GNU time). The changes of compare-listings are then checked
# against diff of the sorted `find -printf '%P %s %T@'` lists of the two
# trees, a move being a removal and an addition there.
#
#   bench/compare.sh [--cli PATH] [--rounds N] [--tree DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$root/build/native/cli/kestrova-cli
rounds=5
tree=/tmp/kestrova-bench/tree1m
while [ $# -gt 0 ]; do
  case $1 in
    --cli) cli=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --tree) tree=$2; shift 2 ;;
    *) echo "usage: $0 [--cli PATH] [--rounds N] [--tree DIR]" >&2; exit 2 ;;
  esac
done
[ -d "$tree" ] || { echo "compare: no tree at $tree (make it with bench/run.sh --tree-only)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "compare: GNU time is missing (scripts/setup.sh time)" >&2; exit 1; }

new_tree=$tree-compare-new
if [ ! -e "$new_tree.ready-2" ]; then
  echo "making $new_tree (once)..."
  rm -rf "$new_tree"
  cp -al "$tree" "$new_tree"
  python3 - "$new_tree" <<'EOF'
import os, sys
top = sys.argv[1]
files = sorted(os.path.join(folder, name) for folder, _, names in os.walk(top) for name in names)
folders = sorted({os.path.dirname(path) for path in files})
for number, path in enumerate(files):
    if number % 200 == 0 or number % 200 == 100:
        with open(path, "rb") as read:
            content = read.read()
        stat = os.stat(path)
        grown = number % 200 == 0
        with open(path + ".new", "wb") as written:
            written.write(content + (b"+" if grown else b""))
        shift = 0 if grown else 7 * 10**9
        os.utime(path + ".new", ns=(stat.st_atime_ns, stat.st_mtime_ns + shift))
        os.replace(path + ".new", path)
    elif number % 1000 == 333:
        target = folders[(number // 1000 * 7919) % len(folders)]
        os.rename(path, os.path.join(target, "moved-%d-" % number + os.path.basename(path)))
EOF
  touch "$new_tree.ready-2"
fi

out=$(mktemp -d /tmp/kestrova-compare.XXXXXX)
trap 'rm -rf "$out"' EXIT
"$cli" -q -R --format json -o "$out/old.json" "$tree"
"$cli" -q -R --format json -o "$out/new.json" "$new_tree"

declare -A commands
commands[kestrova-json]="$cli -q -R --format json -o $out/reference.json $tree"
commands[compare-listings]="$cli -q --compare $out/old.json --format json -o $out/listings.json $out/new.json"
commands[compare-folder]="$cli -q --compare $out/old.json --format json -o $out/folder.json $new_tree"
order=(kestrova-json compare-listings compare-folder)

declare -A times peaks
echo "load before: $(uptime)"
for ((round = 0; round < rounds; round++)); do
  for ((i = 0; i < ${#order[@]}; i++)); do
    name=${order[$(((i + round) % ${#order[@]}))]}
    # shellcheck disable=SC2086
    /usr/bin/time -f "%e %M" -o "$out/time" ${commands[$name]} >/dev/null 2>&1 || true
    # GNU time says first when the command exited non-zero (1: it differs).
    read -r seconds kilobytes < <(tail -n 1 "$out/time")
    times[$name]+="$seconds "
    [ "${peaks[$name]:-0}" -ge "$kilobytes" ] || peaks[$name]=$kilobytes
  done
done
echo "load after:  $(uptime)"

median() { tr ' ' '\n' <<<"$1" | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf '%-18s %10s %10s   %s\n' run "median s" "peak MiB" "rounds"
for name in "${order[@]}"; do
  printf '%-18s %10.2f %10d   %s\n' "$name" "$(median "${times[$name]}")" $((peaks[$name] / 1024)) "${times[$name]}"
done
echo
echo "compare-listings / kestrova-json: $(echo "scale=2; $(median "${times[compare-listings]}") / $(median "${times[kestrova-json]}")" | bc)  (target <= 1.0)"
echo "compare-listings peak:            $((peaks[compare-listings] / 1024)) MiB  (target <= 256)"

python3 - "$tree" "$new_tree" "$out/listings.json" <<'EOF'
import json, subprocess, sys, urllib.parse
def lines(top):
    listed = subprocess.run(["find", top, "-mindepth", "1", "-printf", r"%y %s %T@ %P\0"],
                            capture_output=True, check=True).stdout
    found = {}
    for record in listed.split(b"\0")[:-1]:
        kind, size, time, path = record.split(b" ", 3)
        found[path] = (kind, time.split(b".")[0]) if kind == b"d" else (kind, size, time.split(b".")[0])
    return found
old, new = lines(sys.argv[1]), lines(sys.argv[2])
taken = {p for p, line in old.items() if new.get(p) != line}
added = {p for p, line in new.items() if old.get(p) != line}
def path(change, key):
    if key + "_bytes" in change:
        return urllib.parse.unquote_to_bytes(change[key + "_bytes"]).rstrip(b"/")
    return change[key].encode().rstrip(b"/")
with open(sys.argv[3]) as read:
    report = json.load(read)
our_taken, our_added = set(), set()
for change in report["changes"]:
    if change["change"] in ("removed", "changed", "moved"):
        our_taken.add(path(change, "path"))
    if change["change"] in ("added", "changed"):
        our_added.add(path(change, "path"))
    if change["change"] == "moved":
        our_added.add(path(change, "to"))
same = taken == our_taken and added == our_added
print("changes: %d taken away, %d added by diff; report: %s; the same as diff: %s"
      % (len(taken), len(added), report["totals"], "yes" if same else "NO"))
sys.exit(0 if same else 1)
EOF
