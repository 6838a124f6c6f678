#!/usr/bin/env bash
# Keeps the engine's includes pointing down: the record and its data at the
# bottom (settings/), the scan above it (listing/), the documents above that
# (output/), the walk of a tree above them (tree/), the programs on top. Fails, naming each offending line, when
#   - a file of a layer includes a header of a layer above it,
#   - an engine header includes a platform header other than platform.h,
#   - an engine source includes a header of the operating system (zlib,
#     the same on every platform, is none),
#   - inside a folder, files include each other in a circle (a header and
#     its source count as one).
# The seam below and the front ends beside each other keep apart too.
# Checks itself on small broken trees first.
#   tests/include_layers_test.sh SOURCE_ROOT
set -uo pipefail
root=${1:?usage: include_layers_test.sh SOURCE_ROOT}

# Each layer, and the folders that its files must not include from.
declare -A above=(
  [settings]="listing output tree mainwindow toolkit cli"
  [listing]="output tree mainwindow toolkit cli"
  [output]="tree mainwindow toolkit cli"
  [tree]="mainwindow toolkit cli"
)

# Below the engine and beside it: the seam includes no layer, and each front
# end none of the others.
declare -A apart=(
  [platform]="settings listing output tree mainwindow toolkit cli"
  [toolkit]="mainwindow cli"
  [mainwindow]="cli"
  [cli]="mainwindow toolkit"
)

# Prints every include of the seam or a front end that reaches where it must
# not; true when none does. Tests may include what they test from anywhere.
check_apart() {
  local tree=$1 folder file other broken=0
  for folder in "${!apart[@]}"; do
    for file in "$tree/$folder"/*.h "$tree/$folder"/*.cpp; do
      [ -e "$file" ] || continue
      [[ $file == *_test.cpp ]] && continue
      for other in ${apart[$folder]}; do
        grep -Hn "^#include \"$other/" "$file" && broken=1
      done
    done
  done
  return $broken
}

# Prints every broken rule under the tree; true when none is broken.
check_tree() {
  local tree=$1 layer folder file broken=0
  for layer in "${!above[@]}"; do
    for file in "$tree/$layer"/*.h "$tree/$layer"/*.cpp; do
      [ -e "$file" ] || continue
      for folder in ${above[$layer]}; do
        grep -Hn "^#include \"$folder/" "$file" && broken=1
      done
      case "$file" in
        *.h) grep -Hn '^#include "platform/' "$file" | grep -v '"platform/platform.h"' && broken=1 ;;
      esac
      # Standard C++ headers have neither a ".h" nor a folder in their
      # names; tests may include their framework's. The portable libraries
      # that the engine links on every platform alike (zlib) are no
      # system's.
      case "$file" in
        *_test.cpp) ;;
        *) grep -Hn '^#include <[^>]*[./][^>]*>' "$file" | grep -v '#include <zlib\.h>' && broken=1 ;;
      esac
    done
  done
  return $broken
}

# The units (a header with its source) that a unit of the folder includes
# from the same folder; a test may include what it tests from anywhere.
includes_of() {
  local folder=$1 unit=$2 file
  for file in "$folder/$unit".h "$folder/$unit".cpp; do
    [ -e "$file" ] || continue
    sed -n "s|^#include \"$(basename "$folder")/\([^\"]*\)\.h\"|\1|p" "$file"
  done | sort -u | grep -vx -- "$unit"
}

# Prints a circle of includes inside each folder of the tree; true when none.
check_circles() {
  local tree=$1 folder unit broken=0
  for folder in "$tree"/*/; do
    folder=${folder%/}
    declare -A state=()
    local units
    units=$(for file in "$folder"/*.h "$folder"/*.cpp; do
              [ -e "$file" ] || continue
              unit=$(basename "$file"); unit=${unit%.*}
              [[ $unit == *_test ]] || echo "$unit"
            done | sort -u)
    # Depth first: a unit met again while it is on the path closes a circle.
    visit() {
      local unit=$1 path=$2 next
      state[$unit]=open
      for next in $(includes_of "$folder" "$unit"); do
        if [ "${state[$next]:-}" = open ]; then
          echo "$folder: $path -> $next"
          broken=1
        elif [ -z "${state[$next]:-}" ]; then
          visit "$next" "$path -> $next"
        fi
      done
      state[$unit]=done
    }
    for unit in $units; do
      [ -z "${state[$unit]:-}" ] && visit "$unit" "$unit"
    done
    unset state
  done
  return $broken
}

# A copy of the rules' own failures: each broken tree must be caught.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
expect_caught() {
  local name=$1 file=$2 line=$3
  mkdir -p "$scratch/$name/$(dirname "$file")"
  printf '%s\n' "$line" >"$scratch/$name/$file"
  if check_tree "$scratch/$name" >/dev/null; then
    echo "FAIL the check misses: $file: $line"
    exit 1
  fi
}
expect_caught up settings/common_struct.h '#include "output/document_text.h"'
expect_caught window listing/scan.cpp '#include "mainwindow/generation.h"'
expect_caught seam output/generate.h '#include "platform/win32port.h"'
expect_caught system listing/entry.cpp '#include <windows.h>'
expect_caught walk output/generate.cpp '#include "tree/ignore_rules.h"'
expect_caught program tree/ignore_rules.cpp '#include "cli/options.h"'
expect_caught tree_system tree/git_work_tree.cpp '#include <unistd.h>'
mkdir -p "$scratch/seam/platform" "$scratch/front/cli"
printf '#include "settings/common_struct.h"\n' >"$scratch/seam/platform/atomic_file.cpp"
printf '#include "mainwindow/binding.h"\n' >"$scratch/front/cli/main.cpp"
for broken in seam front; do
  if check_apart "$scratch/$broken" >/dev/null; then
    echo "FAIL the check misses an include of the seam or a front end that reaches too far"
    exit 1
  fi
done
mkdir -p "$scratch/circle/mainwindow"
printf '#include "mainwindow/commands.h"\n' >"$scratch/circle/mainwindow/binding.cpp"
printf '#include "mainwindow/pages.h"\n' >"$scratch/circle/mainwindow/commands.cpp"
printf '#include "mainwindow/binding.h"\n' >"$scratch/circle/mainwindow/pages.cpp"
if check_circles "$scratch/circle" >/dev/null; then
  echo "FAIL the check misses a circle of includes"
  exit 1
fi
mkdir -p "$scratch/fine/output"
printf '#include "platform/platform.h"\n#include "listing/entry.h"\n#include <string>\n' \
  >"$scratch/fine/output/fine.h"
mkdir -p "$scratch/fine/tree"
printf '#include "output/forms.h"\n#include "listing/scan.h"\n#include "settings/common_struct.h"\n' \
  >"$scratch/fine/tree/fine.cpp"
if ! check_tree "$scratch/fine"; then
  echo "FAIL the check refuses includes that point down"
  exit 1
fi

if ! check_tree "$root"; then
  echo "FAIL includes above break the layers of the engine"
  exit 1
fi
if ! check_apart "$root"; then
  echo "FAIL the seam includes a layer, or a front end another"
  exit 1
fi
if ! check_circles "$root"; then
  echo "FAIL files of a folder include each other in a circle"
  exit 1
fi
echo "ok   the engine's includes point down"
