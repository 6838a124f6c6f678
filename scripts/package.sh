#!/usr/bin/env bash
# Builds the release packages from build/native and build/windows (build both
# flavours first) and checks each one as a user gets it:
#   - cmake --install into a temporary prefix, then the installed program;
#   - the Debian package: its fields, lintian, and (as root) an installation
#     on this machine with apt, the program and its manual page, and removal;
#   - the Windows zip: its contents, texts with CR LF, and both programs run
#     from it unpacked into a fresh Wine prefix (the window one under Xvfb).
# Every failed check ends the script with a message and exit status 1.
# The packages are left in build/native and build/windows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# The Windows programs run under Wine on one display, Xvfb's when there is none.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
native=$root/build/native
windows=$root/build/windows
work=$root/build/package-check

fail() {
  echo "package: $*" >&2
  exit 1
}
step() { echo "-- $*" >&2; }

[ -f "$native/CMakeCache.txt" ] || fail "build/native is missing: run scripts/build.sh native first"
[ -f "$windows/CMakeCache.txt" ] || fail "build/windows is missing: run scripts/build.sh windows first"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$native/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in build/native/CMakeCache.txt"

rm -rf "$work"
mkdir -p "$work/sample/a folder"
printf 'alpha\n' >"$work/sample/alpha.txt"

presets=()
for file in "$root"/presets/*.ksv; do
  [ -f "$file" ] && presets+=("$(basename "$file" .ksv)")
done
preset_files=()
for name in "${presets[@]}"; do preset_files+=("presets/$name.ksv"); done

check_listing() {
  grep -q 'alpha\.txt' "$1" && grep -q 'a folder' "$1" ||
    fail "the listing $1 does not name the sample's entries"
}

# Runs an installed command line: the version, a listing, every preset.
#   check_program RUN OUTPUT_DIR FOLDER_ARGUMENT OUTPUT_PREFIX
# RUN is a function that runs the program; OUTPUT_PREFIX is how the program
# names OUTPUT_DIR.
check_program() {
  local run=$1 output_dir=$2 folder=$3 output=$4 printed name
  printed=$("$run" --version | tr -d '\r')
  printed=${printed%%$'\n'*}
  [[ $printed == *" $version" ]] || fail "--version printed \"$printed\", not version $version"
  "$run" -q "$folder" -o "${output}listing.html" || fail "listing the sample failed"
  check_listing "$output_dir/listing.html"
  for name in "${presets[@]}"; do
    "$run" -q --preset "$name" "$folder" -o "${output}$name.html" || fail "--preset $name failed"
    check_listing "$output_dir/$name.html"
  done
}

step "cmake --install into a temporary prefix"
prefix=$work/prefix
cmake --install "$native" --prefix "$prefix" >/dev/null
for path in bin/kestrova-cli share/man/man1/kestrova-cli.1.gz \
    share/bash-completion/completions/kestrova-cli \
    share/doc/kestrova/README.md share/doc/kestrova/LICENSE share/doc/kestrova/copyright \
    share/doc/kestrova/changelog.gz "${preset_files[@]/#/share/kestrova/}"; do
  [ -f "$prefix/$path" ] || fail "cmake --install did not install $path"
done
run_prefix() { "$prefix/bin/kestrova-cli" "$@"; }
mkdir -p "$work/out-prefix"
check_program run_prefix "$work/out-prefix" "$work/sample" "$work/out-prefix/"
[ "$(MANPATH=$prefix/share/man man -w kestrova-cli)" = "$prefix/share/man/man1/kestrova-cli.1.gz" ] ||
  fail "man does not find the installed manual page"

step "Debian package"
rm -f "$native"/kestrova_*.deb
(cd "$native" && cpack -G DEB >/dev/null)
debs=("$native"/kestrova_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "cpack -G DEB made no package"
dpkg-deb -c "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kestrova ] || fail "the package is named $(field Package)"
[ "$(field Version)" = "$version-1" ] || fail "the package version is $(field Version)"
[[ "$(field Depends)" == *libc6* ]] || fail "no library dependencies were computed: $(field Depends)"
[ "$(field Recommends)" = "shared-mime-info, bash-completion" ] || fail "the package recommends $(field Recommends)"
description=$(field Description)
[[ $description == *"whole tree"* && $description != *"one level"* ]] ||
  fail "the package's description does not tell of whole trees: $description"
lintian_status=0
lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || lintian_status=$?
lintian_tags=$(grep -v 'running with root privileges' "$work/lintian.txt" || true)
echo "lintian: ${lintian_tags:-no tags}" >&2
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors in $(basename "$deb")"

if [ "$(id -u)" -ne 0 ]; then
  echo "package: not root, so the package is not installed on this machine" >&2
else
  apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=600 "$@"; }
  # man-db's trigger rebuilds the index of every manual page on the machine
  # at each install and removal, which takes longer than the rest of this
  # check; man finds the page without the index. The switch is put back.
  auto_update=/var/lib/man-db/auto-update
  had_auto_update=0
  [ -e "$auto_update" ] && had_auto_update=1
  rm -f "$auto_update"
  restore() {
    apt_get remove kestrova >/dev/null 2>&1
    if [ "$had_auto_update" = 1 ]; then touch "$auto_update"; fi
  }
  trap restore EXIT
  apt_get install "$deb" >/dev/null 2>&1 || fail "apt-get install $deb failed"
  [ "$(command -v kestrova-cli)" = /usr/bin/kestrova-cli ] || fail "no kestrova-cli on PATH after installing"
  run_system() { kestrova-cli "$@"; }
  mkdir -p "$work/out-system"
  check_program run_system "$work/out-system" "$work/sample" "$work/out-system/"
  [ "$(man -w kestrova-cli)" = /usr/share/man/man1/kestrova-cli.1.gz ] ||
    fail "man does not find the manual page of the package"
  man kestrova-cli 2>/dev/null | grep -q -- '--settings' || fail "man kestrova-cli shows no page"
  apt_get remove kestrova >/dev/null 2>&1 || fail "apt-get remove kestrova failed"
  trap - EXIT
  if [ "$had_auto_update" = 1 ]; then touch "$auto_update"; fi
  [ ! -e /usr/bin/kestrova-cli ] || fail "removing the package left /usr/bin/kestrova-cli"
fi

step "Windows zip"
rm -f "$windows"/Kestrova-*-win32.zip
(cd "$windows" && cpack -G ZIP >/dev/null)
zip=$windows/Kestrova-$version-win32.zip
[ -f "$zip" ] || fail "cpack -G ZIP made no $zip"
unzip -l "$zip"

# A fresh prefix of its own, with the zip unpacked to C:\Kestrova.
export WINEPREFIX=$work/wineprefix
"$root/scripts/wine.sh" --prepare "$work"
trap 'wineserver -k 2>/dev/null' EXIT
unpacked=$WINEPREFIX/drive_c/Kestrova
unzip -q "$zip" -d "$unpacked"
for path in Kestrova.exe kestrova-cli.exe; do
  [ -f "$unpacked/$path" ] || fail "the zip holds no $path"
done
for path in README.txt LICENSE.txt CHANGELOG.txt "${preset_files[@]}"; do
  file=$unpacked/$path
  [ -f "$file" ] || fail "the zip holds no $path"
  [ "$(grep -c -v $'\r$' "$file")" -eq 0 ] && [ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' ')" = 0d0a ] ||
    fail "$path in the zip has lines that do not end in CR LF"
done
for pair in README.txt:docs/README-windows.txt LICENSE.txt:LICENSE CHANGELOG.txt:CHANGELOG.md; do
  tr -d '\r' <"$unpacked/${pair%%:*}" | cmp -s - "$root/${pair##*:}" ||
    fail "${pair%%:*} in the zip is not ${pair##*:} with CR LF"
done

# The Windows README names only what the zip holds, and the files that the
# programs write (default.ksv, the examples' lists).
for named in $(grep -oE '[A-Za-z-]+\.(exe|ksv|txt)' "$unpacked/README.txt" | sort -u); do
  case $named in default.ksv | music.txt | names.txt) continue ;; esac
  [ -n "$(find "$unpacked" -iname "$named" -print -quit)" ] || fail "README.txt names $named, which is not in the zip"
done
grep -q -i -E 'debian|apt-get|\.md\b|docs/' "$unpacked/README.txt" && fail "README.txt speaks of the developers' files"

run_zip() { "$root/scripts/wine.sh" 'C:\Kestrova\kestrova-cli.exe' "$@"; }
check_program run_zip "$unpacked" "Z:${work//\//\\}\\sample" 'C:\Kestrova\'

# The window program starts, writes default.ksv beside itself and closes as
# a user closes it.
rm -f "$unpacked/default.ksv"
"$root/scripts/wine.sh" 'C:\Kestrova\Kestrova.exe' &
window=$!
for _ in $(seq 600); do
  [ -f "$unpacked/default.ksv" ] && break
  kill -0 "$window" 2>/dev/null || break
  sleep 0.1
done
[ -f "$unpacked/default.ksv" ] || fail "Kestrova.exe from the zip did not create default.ksv"
grep -q '^DirStr=' "$unpacked/default.ksv" || fail "default.ksv holds no settings"
"$root/scripts/wine.sh" "$windows/tests/windows/close_window.exe" iTopWindow "Kestrova $version" ||
  fail "Kestrova.exe from the zip did not close"
status=0
timeout 60 tail --pid="$window" -f /dev/null || fail "Kestrova.exe is still running after its window closed"
wait "$window" || status=$?
# The window program returns 1 whenever its message loop ends; anything else
# is a crash.
[ "$status" -eq 1 ] || fail "Kestrova.exe ended with status $status, not the 1 of a normal end"

echo "package: $(basename "$deb") and $(basename "$zip") pass their checks" >&2
