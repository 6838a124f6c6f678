#!/usr/bin/env bash
# Installs what bench/run.sh needs beyond the build (run as root on Debian):
# a C compiler for the floor, GNU time for peak memory, and the peers that
# the tables compare with (tree, gzip; hashdeep, xxhsum and openssl for the
# checksums); Node.js and Chromium for the catalog's browser figures. Does
# nothing when everything is already there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec "$root/scripts/setup.sh" gcc time tree findutils coreutils gzip hashdeep xxhash openssl nodejs chromium
