#!/usr/bin/env bash
# Builds Kestrova for Linux (plain and with sanitizers) and for 32-bit Windows,
# and runs every test: natively, under Wine, and the windows under Xvfb; then
# builds the Debian package and the Windows zip and checks them installed.
# The layout of every source is checked first (scripts/format.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/setup.sh"

echo "== format" >&2
"$root/scripts/format.sh"

for flavour in native sanitize windows; do
  echo "== $flavour (${SECONDS} s so far)" >&2
  "$root/scripts/build.sh" "$flavour"
  if [ "$flavour" = windows ]; then
    "$root/scripts/wine.sh" --prepare "$root/build/windows"
    (cd "$root/build/windows" && xvfb-run -a -s "-screen 0 1024x768x24" \
        ctest --output-on-failure --timeout 600)
  elif [ "$flavour" = sanitize ]; then
    # The pages' scripts run in the browser, not under the sanitizers: the
    # plain build checks them.
    (cd "$root/build/$flavour" && ctest --output-on-failure --timeout 600 -LE browser)
  else
    (cd "$root/build/$flavour" && ctest --output-on-failure --timeout 600)
  fi
done

echo "== package (${SECONDS} s so far)" >&2
"$root/scripts/package.sh"

if [ -x "$root/scripts/fuzz.sh" ]; then
  echo "== fuzz (${SECONDS} s so far)" >&2
  "$root/scripts/fuzz.sh" 15
fi
echo "== all passed in ${SECONDS} s" >&2
