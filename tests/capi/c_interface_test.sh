#!/usr/bin/env bash
# Runs each scenario of c_interface_test against an emulator of its own on
# COM port 1, and compares the table the emulator holds at the end of the
# table scenario with the file it started from.
#
#   c_interface_test.sh SOURCE_DIR EMULATOR PROGRAM WORK
set -euo pipefail
source_dir=$1 emulator_program=$2 program=$3 work=$4
. "$source_dir/scripts/emulator.sh"
trap stop_emulator EXIT
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fixture="$source_dir/tests/capi/cyrillic_goods.txt"
export ZARVIK12M_COM1="$work/ttyZARVIK"

scenario() {
    local name=$1
    shift
    start_emulator "$emulator_program" "$ZARVIK12M_COM1" "$work/emulator-$name.log" "$@"
    "$program" "$name" || { cat "$work/emulator-$name.log"; exit 1; }
    stop_emulator
}

scenario table --load "$fixture" --save "$work/register-after.txt" --serial 12345678
cmp "$fixture" "$work/register-after.txt" || { echo "the register does not hold the table written back" >&2; exit 1; }
scenario status --status 48:5
scenario cancel --generate 4000
# The refusals send nothing: the emulator's trace of the line stays empty.
scenario refusals --trace="$work/refusals-trace.txt"
[ ! -s "$work/refusals-trace.txt" ] || { echo "a refused call reached the register:" >&2; cat "$work/refusals-trace.txt" >&2; exit 1; }
scenario limits
ZARVIK12M_COM1="$work/no-such-device" "$program" missing
