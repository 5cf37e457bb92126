#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer into build-fuzz/ and runs
# each of them for a while from its seed corpus, as many at once as there
# are processors; fails when a target crashes, hangs or breaks one of its
# properties.
#
#   scripts/fuzz.sh                      30 s per target
#   scripts/fuzz.sh 1800                 a longer run: half an hour per target
#   scripts/fuzz.sh 600 frame_scan       only the named targets
#
# Inputs that reach new code collect in build-fuzz/fuzz/<target>/corpus,
# so a later run goes on from there. An input that broke a target is left
# as build-fuzz/fuzz/<target>/crash-* (or timeout-*, oom-*); to replay it:
#   build-fuzz/fuzz/fuzz_<target> build-fuzz/fuzz/<target>/crash-...
# Keep it under tests/fuzz/<target>/regressions/ together with the fix: the
# test suite replays every input there.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(frame_scan plu_line command_line telnet_codec goods_json goods_csv goods_plu detect_request)

if ! command -v clang++ >/dev/null; then
    echo "clang++ not found: the fuzz targets need clang with libFuzzer" >&2
    exit 2
fi

build="$root/build-fuzz"
CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DZARVIK12M_FUZZ=ON -DZARVIK12M_WERROR=ON >/dev/null
cmake --build "$build" -j 2

for target in "${targets[@]}"; do
    [ -x "$build/fuzz/fuzz_$target" ] || { echo "unknown fuzz target '$target'" >&2; exit 2; }
done

# fuzz_one TARGET: one target's run; its findings go to its own folder and log.
fuzz_one() {
    local target=$1
    local program="$build/fuzz/fuzz_$target" work="$build/fuzz/$target"
    mkdir -p "$work/corpus"
    local inputs=("$work/corpus" "$root/tests/fuzz/$target/corpus")
    [ -d "$root/tests/fuzz/$target/regressions" ] && inputs+=("$root/tests/fuzz/$target/regressions")
    # -timeout: one input taking this long counts as a hang.
    if ! "$program" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
            -artifact_prefix="$work/" "${inputs[@]}" >"$work/last-run.log" 2>&1; then
        tail -n 60 "$work/last-run.log" >&2
        echo "== $target broke; its input is in $work/ (log: $work/last-run.log)" >&2
        return 1
    fi
    echo "== fuzzed $target for $seconds s"
    grep -E '^(stat::number_of_executed_units|stat::new_units_added)|^Done' "$work/last-run.log" || true
}

# As many targets at once as there are processors; every one runs to its
# end, and the step fails when any of them broke.
parallel=$(nproc 2>/dev/null || echo 2)
running=()
broken=0
for target in "${targets[@]}"; do
    if [ ${#running[@]} -ge "$parallel" ]; then
        wait "${running[0]}" || broken=1
        running=("${running[@]:1}")
    fi
    fuzz_one "$target" &
    running+=($!)
done
for pid in "${running[@]}"; do
    wait "$pid" || broken=1
done
[ "$broken" -eq 0 ] || exit 1
echo "== fuzzing passed: ${targets[*]}"
