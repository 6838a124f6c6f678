#!/usr/bin/env bash
# Keeps the files of the window program from including each other in a
# circle: a file stands for its header and its source together, and it leans
# on every file of the same folder whose header either of them includes.
# Fails, naming the circle, when one file leans on itself through others.
# Checks itself on small trees first.
#   tests/app/include_circles_test.sh SOURCE_ROOT FOLDER...
set -uo pipefail
root=${1:?usage: include_circles_test.sh SOURCE_ROOT FOLDER...}
shift

# "a b" lines: the file a includes the header of the file b, both in folder.
edges() {
  local tree=$1 folder=$2 file name included
  for file in "$tree/$folder"/*.h "$tree/$folder"/*.cpp; do
    [ -e "$file" ] || continue
    name=$(basename "$file")
    name=${name%.*}
    sed -n "s|^#include \"$folder/\([^\"]*\)\.h\".*|\1|p" "$file" | while read -r included; do
      if [ "$included" != "$name" ]; then echo "$name $included"; fi
    done
  done | sort -u
}

# Prints the first circle found in the folder; true when there is none.
check_folder() {
  local tree=$1 folder=$2
  edges "$tree" "$folder" | awk -v folder="$folder" '
    { next_of[$1] = next_of[$1] " " $2; files[$1]; files[$2] }
    function visit(file, path,    n, i, parts) {
      if (state[file] == 1) { print "circle in " folder "/: " path; found = 1; return }
      if (state[file] == 2 || found) return
      state[file] = 1
      n = split(next_of[file], parts, " ")
      for (i = 1; i <= n; ++i) visit(parts[i], path " -> " parts[i])
      state[file] = 2
    }
    END {
      for (file in files) if (!found) visit(file, file)
      exit found
    }'
}

check_tree() {
  local tree=$1 folder broken=0
  shift
  for folder in "$@"; do
    check_folder "$tree" "$folder" || broken=1
  done
  return $broken
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/circle/win" "$scratch/fine/win"
printf '#include "win/b.h"\n' >"$scratch/circle/win/a.cpp"
printf '#pragma once\n' >"$scratch/circle/win/b.h"
printf '#include "win/c.h"\n' >"$scratch/circle/win/b.cpp"
printf '#include "win/a.h"\n' >"$scratch/circle/win/c.h"
if check_tree "$scratch/circle" win >/dev/null; then
  echo "FAIL the check misses a circle of three files"
  exit 1
fi
printf '#include "win/b.h"\n#include "win/c.h"\n' >"$scratch/fine/win/a.cpp"
printf '#include "win/c.h"\n' >"$scratch/fine/win/b.cpp"
printf '#include "win/c.h"\n' >"$scratch/fine/win/c.cpp"
if ! check_tree "$scratch/fine" win; then
  echo "FAIL the check refuses files that lean on one another without a circle"
  exit 1
fi

if ! check_tree "$root" "$@"; then
  echo "FAIL files of the window program include each other in a circle"
  exit 1
fi
echo "ok   no circle of includes in: $*"
