#!/usr/bin/env bash
# Configures and builds one flavour of Kestrova into build/<flavour>, every
# target or only those named:
#   scripts/build.sh FLAVOUR [TARGET]...
#   native    Linux, optimised
#   sanitize  Linux with AddressSanitizer and UndefinedBehaviorSanitizer (clang)
#   windows   32-bit Windows with MinGW-w64, tests run under Wine
#   fuzz      the libFuzzer targets (clang)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:?usage: build.sh native|sanitize|windows|fuzz [TARGET]...}
shift
dir="$root/build/$flavour"

case "$flavour" in
  native)   args=(-DCMAKE_BUILD_TYPE=Release) ;;
  sanitize) args=(-DCMAKE_BUILD_TYPE=Debug -DKESTROVA_SANITIZE=ON
                  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  windows)  args=(-DCMAKE_BUILD_TYPE=Release
                  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake") ;;
  fuzz)     args=(-DCMAKE_BUILD_TYPE=Debug -DKESTROVA_FUZZ=ON -DBUILD_TESTING=OFF
                  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "build.sh: unknown flavour $flavour" >&2; exit 2 ;;
esac

cmake -S "$root" -B "$dir" "${args[@]}" >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
