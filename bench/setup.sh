#!/usr/bin/env bash
# Installs what bench/run.sh needs beyond the build (run as root on Debian):
# a C compiler for the floor, GNU time for peak memory, and tree, a peer that
# the table compares with. Does nothing when everything is already there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec "$root/scripts/setup.sh" gcc time tree findutils coreutils
