#!/usr/bin/env bash
# Runs a command that takes long and says much (a build, apt-get), keeping
# all it says in a log file.
#   scripts/with_progress.sh LABEL LOG COMMAND [ARGUMENT]...
# On a terminal (standard error) the latest line it printed stands on one
# line, rewritten in place and cut to the terminal's width, so a build of
# minutes shows that it moves without filling the screen; the line is
# cleared at the end. Elsewhere (a pipe, a log of CI) nothing is shown while
# it runs, so that a script's own output stays readable. When the command
# fails, the last lines of the log follow on standard error, with where the
# whole log is. Exits with the command's status.
set -uo pipefail
label=${1:?usage: with_progress.sh LABEL LOG COMMAND [ARGUMENT]...}
log=${2:?usage: with_progress.sh LABEL LOG COMMAND [ARGUMENT]...}
shift 2
mkdir -p "$(dirname "$log")"

if [ -t 2 ]; then
  columns=$(stty size 0<&2 2>/dev/null | cut -d' ' -f2)
  [[ $columns =~ ^[0-9]+$ && $columns -gt 10 ]] || columns=80
  width=$((columns - 1))
  printf '%s: ...' "$label" >&2
  "$@" 2>&1 | tee "$log" | while IFS= read -r line; do
    line="$label: ${line//[$'\r\t']/ }"
    printf '\r\033[K%s' "${line:0:width}" >&2
  done
  status=${PIPESTATUS[0]}
  printf '\r\033[K' >&2
else
  "$@" >"$log" 2>&1
  status=$?
fi

if [ "$status" -ne 0 ]; then
  tail -n 40 "$log" >&2
  echo "$label: failed (exit status $status); all it printed is in $log" >&2
fi
exit "$status"
