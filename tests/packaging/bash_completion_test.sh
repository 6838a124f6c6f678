#!/usr/bin/env bash
# The bash completion offers the program's options, its setting keys after
# --set, the presets beside an installed program after --preset, and .ksv
# files after -s.
#   bash_completion_test.sh PROGRAM COMPLETION_SCRIPT
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# An installation of its own: bin/ with presets/ beside it, and share/.
mkdir -p "$work/bin/presets" "$work/share/kestrova/presets" "$work/jobs/sub"
cp "$1" "$work/bin/kestrova-cli"
program=$work/bin/kestrova-cli
touch "$work/bin/presets/mine.ksv" "$work/share/kestrova/presets/shared.ksv" \
      "$work/jobs/a.ksv" "$work/jobs/b.txt"
# shellcheck source=/dev/null
source "$2"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Completes the words as typed, the last one being the word under the cursor.
complete_words() {
  COMP_WORDS=("$program" "$@")
  COMP_CWORD=$#
  _kestrova_cli 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {
  local description=$1 expected=$2 actual=$3
  [ "$actual" = "$expected" ] ||
    fail "$description: expected [$(echo $expected)], got [$(echo $actual)]"
}

long_options=$("$program" --help | grep -oE -- '(^|[ ,(])--[a-zA-Z][a-zA-Z-]*' | tr -d ' ,(' | sort -u)
[ -n "$long_options" ] || fail "no long options in --help"
expect "every long option after --" "$long_options" "$(complete_words --)"
expect "the options that start with --pri" "--print-settings" "$(complete_words --pri)"

keys=$("$program" --help-keys | tr -d '\r' | sed -n 's/^  \([^ ]*\)$/\1/p' | grep -vx OutputFormat |
       sed 's/\$/\\$/; s/$/=/' | sort)
printed=$("$program" --print-settings | tr -d '\r' | sed -n 's/=.*//p' | grep -vx OutputFormat |
          sed 's/\$/\\$/; s/$/=/' | sort)
[ -z "$(comm -13 <(echo "$keys") <(echo "$printed"))" ] || fail "a printed key is missing from --help-keys"
expect "every setting key after --set" "$keys" "$(complete_words --set '')"
expect "keys that start with So" "SortBy=" "$(complete_words --set So)"
expect "keys after --set=" "Columns=" "$(complete_words --set = Co)"
expect "word keys with an escaped \$" '\$File=
\$FileSize=
\$Files=' "$(complete_words --set '\$File')"

expect "the command line's own keys too" "HideHidden=" "$(complete_words --set Hi)"
expect "values of a key after --set KEY=" "0
1
2" "$(complete_words --set SizeIn = '')"
expect "values of a key as they are typed" "iso" "$(complete_words --set TimeStyle = i)"
expect "values after --set=KEY=" "locale" "$(complete_words --set = TimeStyle = l)"
expect "a key of free text has no values" "" "$(complete_words --set Title = '')"
expect "sort keys" "accessed
attributes" "$(complete_words --sort a)"
expect "sort keys after --sort=" "size" "$(complete_words --sort = si)"
expect "forms" "$("$program" --list-values format | sort)" "$(complete_words --format '')"
expect "time styles" "classic" "$(complete_words --time-style c)"
expect "the next word of a column list" "size,accessed
size,attributes" "$(complete_words --columns size,a)"

expect "a column list offers only the columns not yet in it" "size,accessed
size,attributes
size,created
size,modified
size,seconds
size,type" "$(complete_words --columns size,)"
expect "nor one given earlier in the list" "type,size,seconds" "$(complete_words --columns type,size,se)"
expect "no column is offered twice" "" "$(complete_words --columns size,type,si)"

cd "$work/jobs" || fail "no folder to complete in"
for option in -L --max-depth --threads --title; do
  expect "nothing on disk after $option" "" "$(complete_words "$option" '')"
done
expect "nothing on disk after --max-depth=" "" "$(complete_words --max-depth = '')"
expect "folders as FOLDER" "sub" "$(complete_words '')"

expect "presets beside the program and in share/" "mine
shared" "$(complete_words --preset '')"

expect "settings files and folders after -s" "$work/jobs/a.ksv
$work/jobs/sub" "$(complete_words -s "$work/jobs/")"

[ "$failures" -eq 0 ] || exit 1
echo "bash completion: $(wc -w <<<"$long_options") options, $(wc -l <<<"$keys") keys"
