#!/usr/bin/env bash
# Builds the benchmarks (ZARVIK12M_BUILD_BENCHMARKS=ON) in Release
# (build-release/, no tests) and runs them:
#   bench_execute_command     ExecuteCommand 48 round trips of the engine
#                             beside the bare exchange: the engine's ratio
#   bench_load_goods_instant  LoadGoods of 4000 goods against the emulator
#                             answering at once, beside the bare exchange
#   bench_load_goods_paced    LoadGoods against the emulator paced at 115200
#                             baud (4000 goods) and 9600 baud (200 goods):
#                             line efficiency
#   bench_probe_scan          zarvik12m-probe's scan of one device: the
#                             seven default speeds, and --all-nets
#   bench_line_trace          the line trace's own cost per exchange
# The figures depend on the machine and on what else it runs; run them on
# a quiet machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-dependencies.sh"
cmake -S "$root" -B "$root/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DZARVIK12M_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$root/build-release" -j 2 --target bench_execute_command bench_load_goods_instant bench_load_goods_paced \
    bench_probe_scan bench_line_trace
echo
"$root/build-release/bench/bench_execute_command"
echo
"$root/build-release/bench/bench_load_goods_instant"
echo
"$root/build-release/bench/bench_load_goods_paced"
echo
"$root/build-release/bench/bench_probe_scan"
echo
"$root/build-release/bench/bench_line_trace"
