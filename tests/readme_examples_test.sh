#!/usr/bin/env bash
# Runs every kestrova-cli line of the README's example block, in order, as a
# user would type them: in a fresh working folder, with a home folder that
# holds the folders the examples name. Each must exit 0 and print nothing on
# standard error but the summary line (of a listing, or of a tree's pages).
#   tests/readme_examples_test.sh README.md PROGRAM_FOLDER
set -uo pipefail
readme=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
program_folder=$(cd "$2" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
export PATH="$program_folder:$PATH"
mkdir -p "$HOME/photos/2024" "$HOME/music/Live" "$HOME/public/talks/2025"
printf 'slides' >"$HOME/public/talks/2025/slides.pdf"
printf 'jpeg' >"$HOME/photos/beach.jpg"
printf 'a longer picture' >"$HOME/photos/hills.jpg"
printf 'ogg' >"$HOME/music/song.ogg"
mkdir "$work/here"
printf 'notes' >"$work/here/notes.txt"
cd "$work/here"

# The block that follows the marker line, up to its closing fence.
examples=$(awk '/tests\/readme_examples_test.sh/ { marked = 1; next }
                marked && /^```sh/ { inside = 1; next }
                inside && /^```/ { exit }
                inside && /^kestrova-cli/ { print }' "$readme")
if [ -z "$examples" ]; then
  echo "FAIL no examples found in $readme"
  exit 1
fi

passed=0
failed=0
while IFS= read -r line; do
  bash -c "$line" >"$work/out" 2>"$work/err"
  status=$?
  unexpected=$(grep -v -e '^kestrova-cli: Wrote ' -e '^kestrova-cli: Listed ' "$work/err")
  if [ "$status" -eq 0 ] && [ -z "$unexpected" ]; then
    echo "ok   $line"
    passed=$((passed + 1))
  else
    echo "FAIL $line (exit $status)"
    sed 's/^/     /' "$work/err"
    failed=$((failed + 1))
  fi
done <<<"$examples"

# What the examples promise beyond their exit status.
check() {
  if eval "$1"; then
    echo "ok   $2"
    passed=$((passed + 1))
  else
    echo "FAIL $2"
    failed=$((failed + 1))
  fi
}
check 'grep -qx "song.ogg" music.txt' "music.txt lists song.ogg on a line of its own"
check 'grep -q "<meta name=\"viewport\"" "$HOME/photos/index.html"' "the preset page has a viewport line"
check 'grep -q "^DescOrder=1$" job.ksv' "job.ksv holds the --set value"
check '[ "$(kestrova-cli -s job.ksv -q)" = "$(kestrova-cli --set DescOrder=1 -q)" ]' \
      "the printed job lists the folder as the first run did"
check '(cd / && [ "$(kestrova-cli -s "$OLDPWD/job.ksv" -q)" = "$(cd "$OLDPWD" && kestrova-cli --set DescOrder=1 -q)" ])' \
      "and so it does from another folder"

# Each "`kestrova-cli ...` exits N" of the README's prose, run as written.
while IFS=$'\t' read -r line expected; do
  bash -c "$line" >/dev/null 2>&1
  check "[ $? -eq $expected ]" "$line exits $expected, as the README says"
done < <(grep -o '`kestrova-cli [^`]*` exits [0-9]*' "$readme" | sed 's/^`\(.*\)` exits \([0-9]*\)$/\1\t\2/')
if ! grep -q '`kestrova-cli [^`]*` exits [0-9]' "$readme"; then
  check false "the README gives an exit status by example"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
