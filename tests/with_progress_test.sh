#!/usr/bin/env bash
# The wrapper that ./run.sh and scripts/setup.sh put around the build and
# apt: on a terminal the latest line on one line rewritten in place, cut to
# the terminal's width; quiet elsewhere; the log kept; a failure's last lines
# shown; the command's status passed on.
#   with_progress_test.sh SCRIPTS_FOLDER
set -uo pipefail
wrapper=$1/with_progress.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cat >"$work/steps.sh" <<'EOF'
for step in 1 2 3; do echo "[ ${step}0%] Building object number $step of a long build with a long name"; done
echo "a warning on standard error" >&2
exit "${1:-0}"
EOF

# On a terminal of 40 columns, made by script(1): standard error is the pty.
on_terminal() {
  script -qec "stty cols 40 rows 24; bash '$wrapper' build '$work/$1.log' bash '$work/steps.sh' $2" /dev/null |
    tr -d '\r' >"$work/$1.screen"
  return "${PIPESTATUS[0]}"
}

on_terminal good 0
status=$?
[ "$status" -eq 0 ] || fail "a good build's status on a terminal: $status"
screen=$(cat "$work/good.screen")
grep -q $'\033\\[Kbuild: \\[ 30%\\] Building object number 3' <<<"$screen" ||
  fail "the latest line is not shown in place: $(cat -v <<<"$screen")"
grep -q 'number 3 of a long build' <<<"$screen" && fail "a line is not cut to the terminal's width"
[ "$(grep -o 'Building' <<<"$screen" | wc -l)" -eq 3 ] || fail "not every line printed is shown"
[ "$(wc -l <<<"$screen")" -le 1 ] || fail "the progress takes more than one line: $(cat -v <<<"$screen")"
grep -q 'a warning on standard error' "$work/good.log" || fail "standard error is not in the log"
[ "$(grep -c 'Building object' "$work/good.log")" -eq 3 ] || fail "the log lacks lines"

on_terminal bad 3
status=$?
[ "$status" -eq 3 ] || fail "a failed build's status on a terminal: $status"
grep -q "build: failed (exit status 3); all it printed is in $work/bad.log" "$work/bad.screen" ||
  fail "a failure is not reported: $(cat -v "$work/bad.screen")"
grep -q '^\[ 20%\] Building object number 2 of a long build with a long name$' "$work/bad.screen" ||
  fail "a failure does not show the log's last lines whole"

# Not on a terminal: silent while it runs, the log kept, a failure shown.
quiet=$(bash "$wrapper" build "$work/quiet.log" bash "$work/steps.sh" 0 2>&1)
[ -z "$quiet" ] || fail "output without a terminal: $quiet"
grep -q 'number 3' "$work/quiet.log" || fail "no log without a terminal"
failed=$(bash "$wrapper" build "$work/nested/failed.log" bash "$work/steps.sh" 4 2>&1)
[ $? -eq 4 ] || fail "a failure's status without a terminal"
grep -q 'a warning on standard error' <<<"$failed" || fail "a failure shows nothing without a terminal"

[ "$failures" -eq 0 ] || exit 1
echo "with_progress: on a terminal, in a pipe and on failure"
