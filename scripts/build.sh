#!/usr/bin/env bash
# Builds into build/ (programs in build/bin, the library in build/lib):
#
#   scripts/build.sh              everything, the tests included
#   scripts/build.sh TARGET ...   only those targets (and what they need)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-dependencies.sh"
cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
targets=()
[ $# -eq 0 ] || targets=(--target "$@")
cmake --build "$root/build" -j "$(nproc 2>/dev/null || echo 2)" "${targets[@]}"
