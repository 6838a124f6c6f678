#!/usr/bin/env bash
# Installs what bench/run.sh needs beyond the build (run as root on Debian):
# a C compiler for the floor, GNU time for peak memory, and tree, a peer that
# the table compares with. Does nothing when everything is already there.
set -euo pipefail

packages=(gcc time tree findutils coreutils)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "bench setup: these Debian packages are missing; install them as root: ${missing[*]}" >&2
  exit 1
fi
echo "bench setup: installing ${missing[*]}" >&2
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
