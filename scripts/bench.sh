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
#   bench_network_line        round trips and a full read through ser2net
#                             (raw TCP and RFC 2217) beside the pty
# The figures depend on the machine and on what else it runs; run them on
# a quiet machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-dependencies.sh"
cmake -S "$root" -B "$root/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DZARVIK12M_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$root/build-release" -j 2 --target bench_execute_command bench_load_goods_instant bench_load_goods_paced \
    bench_probe_scan bench_line_trace bench_network_line zarvik12m-emulator
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
echo
# One emulated register on a pty, served by ser2net on two loopback ports
# (without its character delay, as README.md advises).
if [ -x /usr/sbin/ser2net ]; then
    work=$(mktemp -d)
    "$root/build-release/bin/zarvik12m-emulator" --generate 4000 --link "$work/tty" >"$work/emulator.log" 2>&1 &
    emulator=$!
    ports=$(python3 -c 'import socket
for _ in range(2):
    s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
    raw=$(echo "$ports" | sed -n 1p)
    rfc=$(echo "$ports" | sed -n 2p)
    for _ in $(seq 100); do [ -e "$work/tty" ] && break; sleep 0.1; done
    cat >"$work/ser2net.yaml" <<EOF
connection: &raw
  accepter: tcp,127.0.0.1,$raw
  connector: serialdev,$work/tty,115200n81,local
  options:
    chardelay: false
connection: &rfc2217
  accepter: telnet(rfc2217),tcp,127.0.0.1,$rfc
  connector: serialdev,$work/tty,115200n81,local
  options:
    chardelay: false
EOF
    /usr/sbin/ser2net -n -u -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >/dev/null 2>&1 &
    ser2net=$!
    for _ in $(seq 100); do
        grep -q ":$(printf '%04X' "$rfc") [0-9A-F:]* 0A " /proc/net/tcp && break
        sleep 0.1
    done
    status=0
    "$root/build-release/bench/bench_network_line" 2000 3 "$work/tty" "tcp://127.0.0.1:$raw" \
        "rfc2217://127.0.0.1:$rfc" || status=$?
    kill "$ser2net" "$emulator" 2>/dev/null || true
    wait "$ser2net" "$emulator" 2>/dev/null || true
    rm -rf "$work"
    [ "$status" -eq 0 ]
else
    echo "bench_network_line: skipped, ser2net is not installed (scripts/install-dependencies.sh)"
fi
