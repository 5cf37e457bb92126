#!/usr/bin/env bash
# Records a trace for this folder: the built Zarvik12mPLU against the built
# emulator with the faults given, ZARVIK12M_TRACE on. The trace gets the
# remarks its replay test reads: what it shows, the utility's arguments,
# its exit code and the PLU file it wrote (size and FNV-1a checksum).
#
#   tests/traces/record.sh NAME "WHAT IT SHOWS" "EMULATOR ARGUMENTS" "UTILITY ARGUMENTS" [REPLAY SPEED]
#   tests/traces/record.sh noise_before_answers "Noise before every answer" \
#       "--generate 5 --garbage 'FF 00'" "/p1 /b9600 /n1 /s59 /lplu.txt" 20
#
# The utility's arguments name its file plu.txt (with /l); build/ holds the
# programs unless ZARVIK12M_BUILD says otherwise.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZARVIK12M_BUILD:-$root/build}
name=$1 what=$2 emulator_arguments=$3 utility_arguments=$4 speed=${5:-20}
work=$(mktemp -d)
trap 'kill "$emulator" 2>/dev/null || true; rm -rf "$work"' EXIT

eval "emulator_words=($emulator_arguments)"
"$build/bin/zarvik12m-emulator" "${emulator_words[@]}" --link "$work/line" >"$work/emulator.log" 2>&1 &
emulator=$!
for _ in $(seq 100); do [ -e "$work/line" ] && break; sleep 0.1; done

status=0
# shellcheck disable=SC2086 # the utility's arguments are words
(cd "$work" && ZARVIK12M_COM1="$work/line" ZARVIK12M_TRACE="$work/line.trace" \
    "$build/bin/Zarvik12mPLU" $utility_arguments >"$work/utility.log" 2>&1) || status=$?
kill "$emulator"
wait "$emulator" || true

plu=none
if [ -f "$work/plu.txt" ]; then
    plu=$(python3 - "$work/plu.txt" <<'PYTHON'
import sys
data = open(sys.argv[1], 'rb').read()
h = 0xcbf29ce484222325
for b in data:
    h = ((h ^ b) * 0x100000001b3) & 0xffffffffffffffff
print(f"{len(data)} {h:016x}")
PYTHON
)
fi
{
    echo "# $what"
    echo "# emulator: $emulator_arguments"
    echo "# utility: $utility_arguments"
    echo "# exit: $status"
    echo "# plu: $plu"
    echo "# replay-speed: $speed"
    cat "$work/line.trace"
} >"$root/tests/traces/$name.trace"
echo "$name.trace: exit $status, plu $plu, $(wc -c <"$root/tests/traces/$name.trace") bytes"
