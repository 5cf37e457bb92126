#!/usr/bin/env bash
# The main job on a machine with no register: builds the library, the
# utility and the emulator (not the tests), starts the register emulator
# on a pseudo-terminal with the sample goods, reads the
# register's goods table into a PLU file with Zarvik12mPLU, shows the file,
# writes it back into the register and stops the emulator.
#
#   scripts/demo.sh [folder for the files]   (default: a new temporary folder)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" zarvik12m Zarvik12mPLU zarvik12m-emulator
. "$root/scripts/emulator.sh"

bin="$root/build/bin"
work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/zarvik12m-demo.XXXXXX")}
mkdir -p "$work"
link="$work/ttyZARVIK"

echo "== Starting the register emulator with examples/goods.txt"
trap stop_emulator EXIT
start_emulator "$bin/zarvik12m-emulator" "$link" "$work/emulator.log" \
    --load "$root/examples/goods.txt" --save "$work/register-after.txt"

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
