#!/usr/bin/env bash
# Installs the tools of the standards page's check (html-validate, axe-core)
# into node_modules beside this file, exactly as package-lock.json pins them.
# Does nothing when they are installed from this lock already.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stamp="$here/node_modules/.installed-from-lock"
if [ -f "$stamp" ] && cmp -s "$stamp" "$here/package-lock.json"; then
  exit 0
fi
if ! command -v npm >/dev/null; then
  echo "install.sh: npm is missing; scripts/setup.sh installs it" >&2
  exit 1
fi
(cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
cp "$here/package-lock.json" "$stamp"
echo "install.sh: installed the page check's tools into $here/node_modules"
