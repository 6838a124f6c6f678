#!/usr/bin/env bash
# Installs what building and testing Kestrova needs on Debian 12 (run as root),
# and any further Debian packages named as arguments (the benchmark's peers).
#   scripts/setup.sh [--native] [PACKAGE]...
# --native installs only what the Linux build needs (./run.sh): no Windows
# tool chain, no Wine, no browser.
# The npm packages of the page check install themselves from their lock
# (tests/page/install.sh, run by the tests).
# Does nothing when everything is already there.
set -euo pipefail

if [ "${1:-}" = "--native" ]; then
  shift
  packages=(cmake g++ make googletest shared-mime-info zlib1g-dev libssl-dev libxxhash-dev "$@")
else
  packages=(cmake g++ make clang clang-format libclang-rt-14-dev googletest g++-mingw-w64-i686
          zlib1g-dev libz-mingw-w64-dev
          wine wine32:i386 xvfb xauth x11-utils imagemagick shared-mime-info time
          dpkg-dev file lintian groff-base man-db unzip strace libssl-dev libxxhash-dev xxhash
          tree ncdu rclone jdupes
          nodejs chromium jq python3 "$@")
  # npm installs the page check's tools; a Node.js that brings its own npm
  # needs no Debian package of it.
  command -v npm >/dev/null || packages+=(npm)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: these Debian packages are missing; install them as root: ${missing[*]}" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}" >&2
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
fi
# On a terminal apt's latest line shows how far it has come; its whole
# output is kept in build/setup.log.
progress=$(dirname "$0")/with_progress.sh
log=$(cd "$(dirname "$0")/.." && pwd)/build/setup.log
DEBIAN_FRONTEND=noninteractive "$progress" setup "$log" bash -c \
  'apt-get -q update && apt-get -q -y -o Dpkg::Use-Pty=0 install "$@"' setup "${missing[@]}"
