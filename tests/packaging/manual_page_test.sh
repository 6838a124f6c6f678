#!/usr/bin/env bash
# The manual page renders without a warning and documents every option that
# --help prints and every key that a settings file holds.
#   manual_page_test.sh PROGRAM PAGE
set -uo pipefail
program=$1
page=$2
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

warnings=$(groff -t -ww -man -z "$page" 2>&1)
[ -z "$warnings" ] || fail "groff -ww warns about $page:"$'\n'"$warnings"
rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>"$page.warnings")
[ -s "$page.warnings" ] && fail "man -l warns about $page:"$'\n'"$(cat "$page.warnings")"
rm -f "$page.warnings"
[ -n "$rendered" ] || fail "man -l renders nothing from $page"

# Options as --help shows them: "-o, --output FILE", and inside the texts.
options=$("$program" --help | grep -oE -- '(^|[ ,(])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' ,(' | sort -u)
grep -qx -- --help <<<"$options" || fail "no options found in the output of --help"
for option in $options; do
  grep -qE -- "(^|[^a-zA-Z-])$option([^a-zA-Z-]|$)" <<<"$rendered" ||
    fail "option $option of --help is missing from the manual page"
done

settings_section=$(sed -n '/^SETTINGS$/,/^EXIT STATUS$/p' <<<"$rendered")
keys=$("$program" --print-settings | tr -d '\r' | sed -n 's/=.*//p')
[ -n "$keys" ] || fail "no keys found in the output of --print-settings"
for key in $keys; do
  grep -qF -- "$key" <<<"$settings_section" || fail "setting $key is missing from SETTINGS"
done

for section in NAME SYNOPSIS DESCRIPTION OPTIONS SETTINGS "EXIT STATUS" FILES EXAMPLES; do
  grep -qx -- "$section" <<<"$rendered" || fail "section $section is missing"
done

[ "$failures" -eq 0 ] || exit 1
echo "manual page: $(wc -w <<<"$options") options and $(wc -w <<<"$keys") keys documented"
