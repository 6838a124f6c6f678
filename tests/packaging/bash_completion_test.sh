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

keys=$("$program" --print-settings | tr -d '\r' | sed -n 's/=.*//p' | grep -vx OutputFormat |
       sed 's/\$/\\$/; s/$/=/' | sort)
expect "every setting key after --set" "$keys" "$(complete_words --set '')"
expect "keys that start with So" "SortBy=" "$(complete_words --set So)"
expect "keys after --set=" "Columns=" "$(complete_words --set = Co)"
expect "word keys with an escaped \$" '\$File=
\$FileSize=
\$Files=' "$(complete_words --set '\$File')"

expect "presets beside the program and in share/" "mine
shared" "$(complete_words --preset '')"

expect "settings files and folders after -s" "$work/jobs/a.ksv
$work/jobs/sub" "$(complete_words -s "$work/jobs/")"

[ "$failures" -eq 0 ] || exit 1
echo "bash completion: $(wc -w <<<"$long_options") options, $(wc -l <<<"$keys") keys"
