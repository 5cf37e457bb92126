#!/usr/bin/env bash
# Builds and runs the whole test suite three times: a normal build,
# AddressSanitizer with UndefinedBehaviorSanitizer, and ThreadSanitizer,
# each in its own build folder; then the memory check of a full goods read
# under valgrind (scripts/memcheck.sh, on the normal build). Installs what
# the machine lacks first.
#
#   scripts/test.sh            all of them
#   scripts/test.sh normal     only the named ones (normal, asan, tsan, memcheck)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(normal asan tsan memcheck)

tool_sets=()
for build in "${builds[@]}"; do
    [ "$build" != memcheck ] || tool_sets=(memcheck)
done
"$root/scripts/install-dependencies.sh" "${tool_sets[@]}"

jobs=$(nproc 2>/dev/null || echo 2)

for build in "${builds[@]}"; do
    case "$build" in
        normal) dir=build;      sanitizer="" ;;
        asan)   dir=build-asan; sanitizer=address ;;
        tsan)   dir=build-tsan; sanitizer=thread ;;
        memcheck)
            echo "== memcheck (build)"
            "$root/scripts/memcheck.sh"
            continue ;;
        *) echo "unknown build '$build' (normal, asan, tsan, memcheck)" >&2; exit 2 ;;
    esac
    echo "== $build build ($dir)"
    cmake -S "$root" -B "$root/$dir" -G Ninja -DZARVIK12M_SANITIZER="$sanitizer" >/dev/null
    cmake --build "$root/$dir" -j "$jobs"
    (cd "$root/$dir" && ctest -j2 --output-on-failure)
done
echo "== all test builds passed: ${builds[*]}"
