#!/usr/bin/env bash
# Builds the library and the programs into build/ (build/bin, build/lib).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-dependencies.sh"
cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
cmake --build "$root/build" -j "$(nproc 2>/dev/null || echo 2)"
