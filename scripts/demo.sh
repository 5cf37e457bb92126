#!/usr/bin/env bash
# The main job on a machine with no register: builds everything, starts the
# register emulator on a pseudo-terminal with the sample goods, reads the
# register's goods table into a PLU file with Zarvik12mPLU, shows the file,
# writes it back into the register and stops the emulator.
#
#   scripts/demo.sh [folder for the files]   (default: a new temporary folder)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"

bin="$root/build/bin"
work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/zarvik12m-demo.XXXXXX")}
mkdir -p "$work"
link="$work/ttyZARVIK"

echo "== Starting the register emulator with examples/goods.txt"
"$bin/zarvik12m-emulator" --load "$root/examples/goods.txt" --link "$link" \
    --save "$work/register-after.txt" >"$work/emulator.log" 2>&1 &
emulator=$!
stop_emulator() {
    if kill -0 "$emulator" 2>/dev/null; then
        kill -INT "$emulator" 2>/dev/null || true
        wait "$emulator" 2>/dev/null || true
    fi
}
trap stop_emulator EXIT

for _ in $(seq 100); do
    [ -e "$link" ] && break
    kill -0 "$emulator" 2>/dev/null || { cat "$work/emulator.log"; exit 1; }
    sleep 0.05
done
[ -e "$link" ] || { echo "the emulator did not come up" >&2; cat "$work/emulator.log"; exit 1; }

export ZARVIK12M_COM1="$link"
cd "$work"

echo "== Zarvik12mPLU /p1 /b115200 /n1 /s59 /lplu.txt"
"$bin/Zarvik12mPLU" /p1 /b115200 /n1 /s59 /lplu.txt

echo "== plu.txt (Windows-1251, shown as UTF-8)"
if command -v iconv >/dev/null; then
    iconv -f CP1251 -t UTF-8 plu.txt | tr -d '\r'
else
    tr -d '\r' <plu.txt
fi

echo "== Zarvik12mPLU /p1 /b115200 /n1 /s59 /wplu.txt"
"$bin/Zarvik12mPLU" /p1 /b115200 /n1 /s59 /wplu.txt

stop_emulator
trap - EXIT
if cmp -s "$root/examples/goods.txt" "$work/register-after.txt"; then
    echo "== The register's table after the write equals examples/goods.txt"
else
    echo "== The register's table after the write differs from examples/goods.txt" >&2
    exit 1
fi
echo "== Files are in $work"
