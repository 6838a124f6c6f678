#!/usr/bin/env bash
# Speed and memory of kestrova-cli beside the floor program (bench/floor.c:
# the least work any HTML listing must do) and peers of the field, in two
# sections, each with its own tables once per repeat.
#
# One folder of 10,000, 100,000 and 1,000,000 entries: kestrova (the classic
# page with every column, --preset classic), kestrova-text (the classic text
# list), kestrova-page (the standards page, the command line's default) and,
# where `kestrova-cli --list-values format` names them, kestrova-json,
# kestrova-csv and kestrova-names, all sorted by name; beside them
# `tree -H . -L 1 -s -D -p` and `find DIR -maxdepth 1 -printf ... | sort`.
#
# Whole trees: $work/share (/usr/share as hard links) and $work/tree1m
# (1,000,000 files in 10,000 folders, bench/make_folder.c --tree). kestrova-R
# is `kestrova-cli -R --output-dir` under $work/out into an empty folder, so
# every page is written; kestrova-R-again the same over its own pages of the
# last round, so nothing has changed and no page is written. Both show the
# columns that tree shows: size, modified, attributes, and the folders'
# totals, which the pages show by default; kestrova-R-no-du leaves them out,
# kestrova-R-ignore reads an ignore file of 303 rules at the top
# (--ignore-file, the rules engine of --gitignore), kestrova-du lists the top
# folder alone with its sub-folders' totals (--du --format json) beside
# `du -s --apparent-size` (du-s). tree-R is
# `tree -H . -R -L 1 -s -D -p -o 00Tree.html`, which writes into every folder,
# so it runs in a hard-link copy of the tree and rewrites the pages of the
# last round in place (it leaves them out of its listing); find-ls is
# `find DIR -ls > FILE`; find-exec-ls is the shell's way,
# `find DIR -type d -exec sh -c ...`, with mkdir and `ls -la` into a file per
# folder of an empty output tree. The output trees of the rounds stay in
# $work/out/trash until the section ends (some GB at the default rounds).
#
# The catalog: on $work/tree100k (100,000 files in 1,000 folders) and
# $work/tree1m, kestrova-catalog (`--format catalog`) beside kestrova-R-json
# (`-R --format json` into a file) and tree-J-gzip (`tree -J -s -D DIR |
# gzip -9`), whose bytes the catalog's are compared with; then, where Node.js
# and Chromium are installed, the browser's figures for each catalog by
# bench/catalog_browser.js (opening, searching, scrolling, heap) beside its
# anchor, Chromium opening tree's page of one folder of 2,000 entries.
#
#   bench/run.sh [--cli PATH] [--sizes "N ..."] [--rounds N] [--repeats N]
#                [--no-tree] [--tree-only | --no-whole-tree | --catalog-only]
#                [--no-catalog] [--work DIR]
#
#   --cli PATH       the program to time (default build/native/cli/kestrova-cli;
#                    build it first with ./run.sh or scripts/build.sh native)
#   --sizes LIST     entry counts of the one folder (default "10000 100000 1000000")
#   --rounds N       timed rounds after one warm-up round (default 5)
#   --repeats N      whole measurements, each with its own tables (default 2):
#                    shared machines are noisy, and one table can mislead
#   --no-tree        leave tree out of both sections (it is also left out
#                    when not installed; bench/setup.sh installs it)
#   --tree-only      measure the whole trees alone
#   --no-whole-tree  measure the one folder alone
#   --catalog-only   measure the catalog alone
#   --no-catalog     leave the catalog out
#   --work DIR       where the folders and outputs go (default /tmp/kestrova-bench);
#                    the folders are made once and reused (the whole trees take
#                    some minutes the first time)
#
# The programs alternate within each round, in an order that rotates from
# round to round, so a change in the machine's load falls on all of them.
# A ratio is the median over the rounds of the program's time divided by the
# time in the same round of the floor (/ floor), of the classic page
# (/ html; the newer forms' target is at most 1.2) or of kestrova-R. Moving
# the last run's output aside before a run is not timed. Peak memory is the
# largest resident set of any round (GNU time: the command's largest process).
# All runs read a warm page cache: the numbers are the cost of the program
# and the kernel, not of the disk's seeks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

cli=${KESTROVA_CLI:-$root/build/native/cli/kestrova-cli}
work=${KESTROVA_BENCH_DIR:-/tmp/kestrova-bench}
tree_program=${TREE:-tree}
sizes="10000 100000 1000000"
rounds=5
repeats=2
with_tree=1
one_folder=1
whole_tree=1
catalog=1

while [ $# -gt 0 ]; do
  case "$1" in
    --cli) cli=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --rounds|--runs) rounds=$2; shift 2 ;;
    --repeats) repeats=$2; shift 2 ;;
    --no-tree) with_tree=0; shift ;;
    --tree-only) one_folder=0; shift ;;
    --no-whole-tree) whole_tree=0; shift ;;
    --catalog-only) one_folder=0; whole_tree=0; shift ;;
    --no-catalog) catalog=0; shift ;;
    --work) work=$2; shift 2 ;;
    -h|--help) sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "bench: unknown argument $1 (try --help)" >&2; exit 2 ;;
  esac
done

fail() { echo "bench: $*" >&2; exit 1; }
[ "$one_folder" = 1 ] || [ "$whole_tree" = 1 ] || [ "$catalog" = 1 ] || fail "nothing is left to measure"
grep -qx catalog <<< "$("$cli" --list-values format 2>/dev/null || true)" || catalog=0
[ -x "$cli" ] || fail "no program at $cli; build it first (./run.sh or scripts/build.sh native) or pass --cli PATH"
[ -x /usr/bin/time ] || fail "GNU time is missing (bench/setup.sh installs it)"
command -v cc >/dev/null || fail "a C compiler (cc) is missing"
if [ "$with_tree" = 1 ] && ! command -v "$tree_program" >/dev/null; then
  echo "bench: $tree_program not found (bench/setup.sh installs it); its rows are left out" >&2
  with_tree=0
fi

# The newer forms that this program writes; a program of an earlier version
# lacks some of them, and their rows are left out.
declare -A extension=([page]=html [json]=json [csv]=csv [names]=txt)
known_forms=$("$cli" --list-values format 2>/dev/null || true)
forms=()
for form in page json csv names; do
  if grep -qx "$form" <<< "$known_forms"; then
    forms+=("$form")
  elif [ "$one_folder" = 1 ]; then
    echo "bench: $cli has no $form form; its row is left out" >&2
  fi
done

bin="$work/bin"
out="$work/out"
mkdir -p "$bin" "$out"
for program in floor make_folder; do
  if [ ! -x "$bin/$program" ] || [ "$root/bench/$program.c" -nt "$bin/$program" ]; then
    cc -O2 -std=c11 -Wall -Wextra -o "$bin/$program" "$root/bench/$program.c"
  fi
done

if [ "$one_folder" = 1 ]; then
  for n in $sizes; do
    folder="$work/entries-$n"
    if [ ! -f "$folder.ready" ] || [ "$root/bench/make_folder.c" -nt "$folder.ready" ]; then
      echo "bench: making $folder ($n entries)" >&2
      rm -rf "$folder" "$folder.ready"
      "$bin/make_folder" "$folder" "$n"
      touch "$folder.ready"
    fi
  done
fi

# A whole tree and its hard-link copy for tree, made once; the .ready file
# holds the tree's count of folders and of entries below the top.
trees="share tree1m"
# Rules of the kind a large project keeps, for kestrova-R-ignore: a few
# hundred, of every shape, most of them matching nothing here.
ignore_name=.kestrova-bench-ignore
make_ignore_file() {
  local i
  for i in $(seq 1 100); do
    printf '*.tmp%d\nbuild%d/\n/out%d/**/cache\n' "$i" "$i" "$i"
  done > "$1/$ignore_name"
  printf '*.bak\n!keep.bak\ndoc/**/draft-*\n' >> "$1/$ignore_name"
}
make_tree() {
  local name=$1 folder="$work/$1" copy="$work/copy-$1"
  if [ ! -f "$folder.ready" ] || { [ "$name" = tree1m ] && [ "$root/bench/make_folder.c" -nt "$folder.ready" ]; }; then
    echo "bench: making $folder" >&2
    rm -rf "$folder" "$folder.ready" "$copy" "$copy.ready"
    if [ "$name" = share ]; then
      if ! cp -al /usr/share "$folder" 2>/dev/null; then
        echo "bench: no hard links to /usr/share here; copying it" >&2
        rm -rf "$folder"
        cp -a /usr/share "$folder"
      fi
    else
      "$bin/make_folder" --tree "$folder" 1000000 10000
    fi
    make_ignore_file "$folder"
    echo "$(find "$folder" -type d | wc -l) $(find "$folder" -mindepth 1 | wc -l)" > "$folder.ready"
  fi
  [ -f "$folder/$ignore_name" ] || make_ignore_file "$folder"
  if [ "$with_tree" = 1 ] && { [ ! -f "$copy.ready" ] || [ "$folder.ready" -nt "$copy.ready" ]; }; then
    echo "bench: making $copy for tree" >&2
    rm -rf "$copy" "$copy.ready"
    cp -al "$folder" "$copy" 2>/dev/null || { rm -rf "$copy"; cp -a "$folder" "$copy"; }
    touch "$copy.ready"
  fi
}
if [ "$whole_tree" = 1 ]; then
  for name in $trees; do
    make_tree "$name"
  done
fi
catalog_trees="tree100k tree1m"
if [ "$catalog" = 1 ]; then
  make_tree tree1m
  if [ ! -f "$work/tree100k.ready" ] || [ "$root/bench/make_folder.c" -nt "$work/tree100k.ready" ]; then
    echo "bench: making $work/tree100k" >&2
    rm -rf "$work/tree100k" "$work/tree100k.ready"
    "$bin/make_folder" --tree "$work/tree100k" 100000 1000
    echo "$(find "$work/tree100k" -type d | wc -l) $(find "$work/tree100k" -mindepth 1 | wc -l)" > "$work/tree100k.ready"
  fi
fi

q() { printf '%q' "$1"; }

# The programs of one section, as shell commands by name, with what must be
# done untimed before each run and where the output goes (a file, or a folder
# and the name of its output files).
names=()
declare -A command prepare output output_name

# The one folder of n entries; the floor first.
set_folder_commands() {
  local n=$1 folder="$work/entries-$1" form file
  names=(floor kestrova kestrova-text)
  command[floor]="$(q "$bin/floor") $(q "$folder") $(q "$out/floor-$n.html")"
  output[floor]="$out/floor-$n.html"
  command[kestrova]="$(q "$cli") -q --preset classic --format html --set Columns=STWCRAH --set SortBy=0 $(q "$folder") -o $(q "$out/kestrova-$n.html")"
  output[kestrova]="$out/kestrova-$n.html"
  command[kestrova-text]="$(q "$cli") -q --preset classic --format text --set SortBy=0 $(q "$folder") -o $(q "$out/kestrova-text-$n.txt")"
  output[kestrova-text]="$out/kestrova-text-$n.txt"
  for form in "${forms[@]}"; do
    file="$out/kestrova-$form-$n.${extension[$form]}"
    names+=("kestrova-$form")
    command[kestrova-$form]="$(q "$cli") -q --format $form --set Columns=STWCRAH --set SortBy=0 $(q "$folder") -o $(q "$file")"
    output[kestrova-$form]=$file
  done
  names+=(find)
  command[find]="find $(q "$folder") -maxdepth 1 -printf '%f\t%s\t%T@\n' | LC_ALL=C sort > $(q "$out/find-$n.txt")"
  output[find]="$out/find-$n.txt"
  if [ "$with_tree" = 1 ]; then
    names+=(tree)
    command[tree]="$(q "$tree_program") -H . -L 1 -s -D -p $(q "$folder") > $(q "$out/tree-$n.html")"
    output[tree]="$out/tree-$n.html"
  fi
}

# Expanded by the shell that find starts, once for a batch of folders.
# shellcheck disable=SC2016
ls_each_folder='for d; do mkdir -p "$0/$d" && ls -la "$d" > "$0/$d/ls.txt"; done'

# The last run's output tree is moved aside, not removed: ext4 without a
# journal passes over inodes freed in the last half minute when it makes new
# ones, and a tree just removed would slow the next run's every mkdir and file.
trash="$out/trash"
move_aside() {
  echo "[ ! -e $(q "$1") ] || mv $(q "$1") \"\$(mktemp -d $(q "$trash/run-XXXXXX"))\""
}

# The whole tree of that name; kestrova-R first.
set_tree_commands() {
  local name=$1 folder="$work/$1" copy="$work/copy-$1" options="-q -R --columns size,modified,attributes"
  names=(kestrova-R kestrova-R-again)
  command[kestrova-R]="$(q "$cli") $options --output-dir $(q "$out/R-$name") $(q "$folder")"
  prepare[kestrova-R]=$(move_aside "$out/R-$name")
  output[kestrova-R]="$out/R-$name"
  output_name[kestrova-R]=index.html
  command[kestrova-R-again]="$(q "$cli") $options --output-dir $(q "$out/R-again-$name") $(q "$folder")"
  output[kestrova-R-again]="$out/R-again-$name"
  output_name[kestrova-R-again]=index.html
  # The cost of the folders' totals (on by default for the pages) and of
  # ignore rules; one folder's totals beside du's.
  names+=(kestrova-R-no-du kestrova-R-ignore kestrova-du du-s)
  command[kestrova-R-no-du]="$(q "$cli") $options --no-du --output-dir $(q "$out/R-nodu-$name") $(q "$folder")"
  prepare[kestrova-R-no-du]=$(move_aside "$out/R-nodu-$name")
  output[kestrova-R-no-du]="$out/R-nodu-$name"
  output_name[kestrova-R-no-du]=index.html
  command[kestrova-R-ignore]="$(q "$cli") $options --ignore-file $ignore_name --output-dir $(q "$out/R-ignore-$name") $(q "$folder")"
  prepare[kestrova-R-ignore]=$(move_aside "$out/R-ignore-$name")
  output[kestrova-R-ignore]="$out/R-ignore-$name"
  output_name[kestrova-R-ignore]=index.html
  command[kestrova-du]="$(q "$cli") -q --du --format json $(q "$folder") -o $(q "$out/du-$name.json")"
  output[kestrova-du]="$out/du-$name.json"
  command[du-s]="du -s --apparent-size $(q "$folder") > $(q "$out/du-s-$name.txt")"
  output[du-s]="$out/du-s-$name.txt"
  if [ "$with_tree" = 1 ]; then
    names+=(tree-R)
    command[tree-R]="cd $(q "$copy") && $(q "$tree_program") -H . -R -L 1 -s -D -p -o 00Tree.html ."
    output[tree-R]=$copy
    output_name[tree-R]=00Tree.html
  fi
  names+=(find-ls find-exec-ls)
  command[find-ls]="find $(q "$folder") -ls > $(q "$out/find-ls-$name.txt")"
  output[find-ls]="$out/find-ls-$name.txt"
  command[find-exec-ls]="cd $(q "$folder") && find . -type d -exec sh -c $(q "$ls_each_folder") $(q "$out/ls-$name") {} +"
  prepare[find-exec-ls]=$(move_aside "$out/ls-$name")
  output[find-exec-ls]="$out/ls-$name"
  output_name[find-exec-ls]=ls.txt
}

# The catalog of the tree of that name beside the JSON document of the same
# walk and tree's JSON, compressed.
set_catalog_commands() {
  local name=$1 folder="$work/$1"
  names=(kestrova-R-json kestrova-catalog)
  command[kestrova-R-json]="$(q "$cli") -q -R --format json $(q "$folder") -o $(q "$out/R-$name.json")"
  output[kestrova-R-json]="$out/R-$name.json"
  command[kestrova-catalog]="$(q "$cli") -q --format catalog $(q "$folder") -o $(q "$out/$name.catalog.html")"
  output[kestrova-catalog]="$out/$name.catalog.html"
  if [ "$with_tree" = 1 ]; then
    names+=(tree-J-gzip)
    command[tree-J-gzip]="$(q "$tree_program") -J -s -D $(q "$folder") | gzip -9 > $(q "$out/tree-J-$name.json.gz")"
    output[tree-J-gzip]="$out/tree-J-$name.json.gz"
  fi
}

# One run: wall seconds, processor seconds and peak KiB on one line.
run_once() {
  local report="$out/run.txt" start end
  start=$EPOCHREALTIME
  /usr/bin/time -f '%U %S %M' -o "$report" sh -c "$1" >/dev/null || fail "this failed: $1"
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" '{ printf "%.4f %.3f %d\n", e - s, $1 + $2, $3 }' "$report"
}

# Every program of names, in the rounds, into the file of samples: one line
# "round name wall cpu peak" per timed run.
measure() {
  local samples=$1 round i name line count=${#names[@]}
  : > "$samples"
  for round in $(seq 0 "$rounds"); do
    for i in $(seq 0 $((count - 1))); do
      name=${names[$(((i + round) % count))]}
      if [ -n "${prepare[$name]:-}" ]; then
        sh -c "${prepare[$name]}"
      fi
      line=$(run_once "${command[$name]}")
      if [ "$round" -gt 0 ]; then
        echo "$round $name $line" >> "$samples"
      fi
    done
  done
}

# Median of the numbers on standard input.
median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The median of one field (3 wall, 4 CPU) of a program's samples.
median_of() {
  awk -v p="$2" -v f="$3" '$2 == p { print $f }' "$1" | median
}

# The median over the rounds of a program's time divided by another's.
ratio_of() {
  awk -v p="$2" -v b="$3" '$2 == b { f[$1] = $3 } $2 == p { t[$1] = $3 }
    END { for (r in t) print t[r] / f[r] }' "$1" | median
}

peak_of() {
  awk -v p="$2" '$2 == p && $5 > m { m = $5 } END { print m }' "$1"
}

# Bytes of a program's output: its file, or its files of that name in its folder.
output_bytes() {
  if [ -n "${output_name[$1]:-}" ]; then
    find "${output[$1]}" -type f -name "${output_name[$1]}" -printf '%s\n' 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'
  else
    stat -c %s "${output[$1]}" 2>/dev/null || echo 0
  fi
}

machine() {
  echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores," \
       "$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) RAM," \
       "$(uname -sr), $(stat -f -c %T "$work") file system, load $(cut -d' ' -f1-3 /proc/loadavg);" \
       "$(date -u '+%Y-%m-%d %H:%M UTC')"
}

# The budget of peak memory is 150 bytes per entry plus 16 MiB.
folder_tables() {
  local repeat=$1 n samples name wall cpu peak ratio html
  for n in $sizes; do
    set_folder_commands "$n"
    echo "bench: $n entries, repeat $repeat" >&2
    samples="$out/samples-$n.txt"
    measure "$samples"
    echo
    echo "| $n entries | median s | / floor | / html | CPU s | peak MiB | peak bytes / entry | peak / budget | output MB |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
    for name in "${names[@]}"; do
      wall=$(median_of "$samples" "$name" 3)
      cpu=$(median_of "$samples" "$name" 4)
      peak=$(peak_of "$samples" "$name")
      ratio=$(ratio_of "$samples" "$name" floor)
      html=$(ratio_of "$samples" "$name" kestrova)
      if [ "$name" = kestrova ]; then
        kestrova_median[$repeat,$n]=$wall
        kestrova_peak[$repeat,$n]=$peak
      fi
      awk -v name="$name" -v wall="$wall" -v ratio="$ratio" -v html="$html" -v cpu="$cpu" -v peak="$peak" \
          -v n="$n" -v output="$(output_bytes "$name")" 'BEGIN {
        budget = 150 * n + 16 * 1048576
        printf "| %s | %.3f | %.2f | %.2f | %.2f | %.1f | %.0f | %.2f | %.1f |\n", name, wall, ratio, html, cpu,
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
}

tree_tables() {
  local repeat=$1 name samples counts program wall cpu peak ratio
  rm -rf "$trash"
  mkdir -p "$trash"
  for name in $trees; do
    set_tree_commands "$name"
    echo "bench: whole tree $name, repeat $repeat" >&2
    samples="$out/samples-$name.txt"
    measure "$samples"
    read -r counts < "$work/$name.ready"
    echo
    echo "| $name: ${counts% *} folders, ${counts#* } entries | median s | / kestrova-R | CPU s | peak MiB | output MB |"
    echo "|---|---:|---:|---:|---:|---:|"
    for program in "${names[@]}"; do
      wall=$(median_of "$samples" "$program" 3)
      cpu=$(median_of "$samples" "$program" 4)
      peak=$(peak_of "$samples" "$program")
      ratio=$(ratio_of "$samples" "$program" kestrova-R)
      awk -v name="$program" -v wall="$wall" -v ratio="$ratio" -v cpu="$cpu" -v peak="$peak" \
          -v output="$(output_bytes "$program")" 'BEGIN {
        printf "| %s | %.3f | %.2f | %.2f | %.1f | %.1f |\n", name, wall, ratio, cpu, peak / 1024, output / 1e6 }'
    done
  done
  rm -rf "$trash"
}

catalog_tables() {
  local repeat=$1 name samples counts program wall cpu peak ratio size_ratio anchor
  for name in $catalog_trees; do
    set_catalog_commands "$name"
    echo "bench: catalog of $name, repeat $repeat" >&2
    samples="$out/samples-catalog-$name.txt"
    measure "$samples"
    read -r counts < "$work/$name.ready"
    echo
    echo "| catalog of $name: ${counts% *} folders, ${counts#* } entries | median s | / kestrova-R-json | CPU s | peak MiB | output MB | bytes / tree-J-gzip |"
    echo "|---|---:|---:|---:|---:|---:|---:|"
    for program in "${names[@]}"; do
      wall=$(median_of "$samples" "$program" 3)
      cpu=$(median_of "$samples" "$program" 4)
      peak=$(peak_of "$samples" "$program")
      ratio=$(ratio_of "$samples" "$program" kestrova-R-json)
      size_ratio=-
      if [ "$with_tree" = 1 ]; then
        size_ratio=$(awk -v a="$(output_bytes "$program")" -v b="$(output_bytes tree-J-gzip)" 'BEGIN { printf "%.2f", a / b }')
      fi
      awk -v name="$program" -v wall="$wall" -v ratio="$ratio" -v cpu="$cpu" -v peak="$peak" \
          -v output="$(output_bytes "$program")" -v size="$size_ratio" 'BEGIN {
        printf "| %s | %.3f | %.2f | %.2f | %.1f | %.1f | %s |\n", name, wall, ratio, cpu, peak / 1024, output / 1e6, size }'
    done
  done
  # The browser's figures, each catalog beside tree's page of one folder of
  # 2,000 entries opened in the same run.
  if [ -f "$root/bench/catalog_browser.js" ] && command -v node >/dev/null && command -v chromium >/dev/null; then
    anchor="$out/anchor-2000.html"
    if [ "$with_tree" = 1 ]; then
      [ -d "$work/entries-2000" ] || "$bin/make_folder" "$work/entries-2000" 2000
      "$tree_program" -H . -L 1 -s -D -p "$work/entries-2000" > "$anchor"
      for name in $catalog_trees; do
        echo
        echo "Browser, catalog of $name:"
        node "$root/bench/catalog_browser.js" "$out/$name.catalog.html" "$anchor" --rounds "$rounds"
      done
    fi
  fi
}

declare -A kestrova_median kestrova_peak
for repeat in $(seq "$repeats"); do
  echo
  echo "Repeat $repeat of $repeats. $(machine)"
  echo "$rounds interleaved rounds after one warm-up round; times are medians, ratios the median of"
  echo "each round's ratio; peak memory the largest of the rounds."
  if [ "$one_folder" = 1 ]; then
    folder_tables "$repeat"
  fi
  if [ "$whole_tree" = 1 ]; then
    tree_tables "$repeat"
  fi
  if [ "$catalog" = 1 ]; then
    catalog_tables "$repeat"
  fi
done
if [ "$one_folder" = 1 ]; then
  echo
  echo "Targets: kestrova (all columns) / floor at most 1.0 and kestrova-text / floor at most 0.9 at"
  echo "100,000 and 1,000,000 entries; each newer form (kestrova-page, -json, -csv, -names) / html"
  echo "at most 1.2; peak memory at most 150 bytes per entry plus 16 MiB; growth from 100,000 to"
  echo "1,000,000 entries at most 10 times in time and memory."
fi
if [ "$whole_tree" = 1 ]; then
  echo
  echo "Targets: kestrova-R at most 1.0 times find-ls and 0.5 times tree-R, peak memory at most"
  echo "64 MiB; kestrova-R (with the totals) at most 1.1 times kestrova-R-no-du; kestrova-R-ignore at"
  echo "most 1.2 times kestrova-R-no-du; kestrova-du at most 1.0 times du-s."
fi
if [ "$catalog" = 1 ]; then
  echo
  echo "Targets: kestrova-catalog at most 1.3 times kestrova-R-json, peak memory at most 128 MiB at"
  echo "1,000,000 entries, its bytes at most 1.0 times tree-J-gzip's; in the browser, the top folder's"
  echo "rows painted within 2 times the anchor at 100,000 entries and 8 times at 1,000,000, the first"
  echo "hits of a search within 0.05 and 0.2 times it, no long task over 50 ms while scrolling the"
  echo "results, a heap of at most 300 MB at 1,000,000."
fi
