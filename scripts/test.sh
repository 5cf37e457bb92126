#!/usr/bin/env bash
# Runs the static checks (scripts/lint.sh: clang-format and clang-tidy),
# then builds and runs the whole test suite three times: a normal build,
# AddressSanitizer with UndefinedBehaviorSanitizer, and ThreadSanitizer,
# each in its own build folder; then the memory check of a full goods read
# under valgrind (scripts/memcheck.sh, on the normal build); then each fuzz
# target for a short while (scripts/fuzz.sh, where clang is installed).
# Installs what the machine lacks first.
#
#   scripts/test.sh            all of them
#   scripts/test.sh normal     only the named steps (lint, normal, asan, tsan, memcheck, fuzz)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(lint normal asan tsan memcheck fuzz)

tool_sets=()
for step in "${steps[@]}"; do
    [ "$step" != memcheck ] || tool_sets=(memcheck)
done
"$root/scripts/install-dependencies.sh" "${tool_sets[@]}"

jobs=$(nproc 2>/dev/null || echo 2)

for step in "${steps[@]}"; do
    case "$step" in
        normal) dir=build;      sanitizer="" ;;
        asan)   dir=build-asan; sanitizer=address ;;
        tsan)   dir=build-tsan; sanitizer=thread ;;
        lint)
            "$root/scripts/lint.sh"
            continue ;;
        memcheck)
            echo "== memcheck (build)"
            "$root/scripts/memcheck.sh"
            continue ;;
        fuzz)
            if command -v clang++ >/dev/null; then
                echo "== fuzz (build-fuzz)"
                "$root/scripts/fuzz.sh" 30
            else
                echo "== fuzz: skipped, clang++ is not installed"
            fi
            continue ;;
        *) echo "unknown step '$step' (lint, normal, asan, tsan, memcheck, fuzz)" >&2; exit 2 ;;
    esac
    echo "== $step build ($dir)"
    cmake -S "$root" -B "$root/$dir" -G Ninja -DZARVIK12M_SANITIZER="$sanitizer" -DZARVIK12M_WERROR=ON >/dev/null
    cmake --build "$root/$dir" -j "$jobs"
    (cd "$root/$dir" && ctest -j2 --output-on-failure)
done
echo "== all steps passed: ${steps[*]}"
