#!/usr/bin/env bash
# Builds and runs the whole test suite three times: a normal build,
# AddressSanitizer with UndefinedBehaviorSanitizer, and ThreadSanitizer,
# each in its own build folder; then, where clang is installed, runs each
# fuzz target for a short while (scripts/fuzz.sh). Installs what the
# machine lacks first.
#
#   scripts/test.sh            all four steps
#   scripts/test.sh normal     only the named steps (normal, asan, tsan, fuzz)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-dependencies.sh"

builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(normal asan tsan fuzz)

jobs=$(nproc 2>/dev/null || echo 2)

for build in "${builds[@]}"; do
    if [ "$build" = fuzz ]; then
        if command -v clang++ >/dev/null; then
            echo "== fuzz (build-fuzz)"
            "$root/scripts/fuzz.sh" 30
        else
            echo "== fuzz: skipped, clang++ is not installed"
        fi
        continue
    fi
    case "$build" in
        normal) dir=build;      sanitizer="" ;;
        asan)   dir=build-asan; sanitizer=address ;;
        tsan)   dir=build-tsan; sanitizer=thread ;;
        *) echo "unknown build '$build' (normal, asan, tsan, fuzz)" >&2; exit 2 ;;
    esac
    echo "== $build build ($dir)"
    cmake -S "$root" -B "$root/$dir" -G Ninja -DZARVIK12M_SANITIZER="$sanitizer" >/dev/null
    cmake --build "$root/$dir" -j "$jobs"
    (cd "$root/$dir" && ctest -j2 --output-on-failure)
done
echo "== all test builds passed: ${builds[*]}"
