#!/usr/bin/env bash
# Memory check of the console utility and the library it loads: builds the
# normal configuration, starts the register emulator with 4000 goods and
# reads the whole table with Zarvik12mPLU /l under valgrind's memcheck. Any
# memory error and any definite, indirect or possible leak fails the check.
# Then the same read runs once more without valgrind, and the utility's peak
# memory is reported: the maximum resident set size that GNU time measures.
#
#   scripts/memcheck.sh [folder for the files]
#
# Without a folder the files go to a new temporary folder, which is removed
# when the check passes and kept (its path printed) when it fails.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-dependencies.sh" memcheck
. "$root/scripts/emulator.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DZARVIK12M_SANITIZER= >/dev/null
cmake --build "$root/build" -j "$(nproc 2>/dev/null || echo 2)" --target zarvik12m Zarvik12mPLU zarvik12m-emulator

bin="$root/build/bin"
goods=4000
if [ $# -gt 0 ]; then
    work=$1
    keep_work=1
    mkdir -p "$work"
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/zarvik12m-memcheck.XXXXXX")
    keep_work=0
fi
work=$(cd "$work" && pwd)
link="$work/ttyZARVIK"

finish() {
    local status=$?
    stop_emulator
    if [ "$status" -eq 0 ] && [ "$keep_work" -eq 0 ]; then
        rm -rf "$work"
    elif [ "$status" -ne 0 ]; then
        echo "== Files are in $work" >&2
    fi
}
trap finish EXIT

echo "== Starting the register emulator with $goods goods"
start_emulator "$bin/zarvik12m-emulator" "$link" "$work/emulator.log" --generate "$goods"

export ZARVIK12M_COM1="$link"
read_table=("$bin/Zarvik12mPLU" /p1 /b115200 /n1 /s59)
cd "$work"

# The utility's lines in the file are its own; a broken read shows as a
# short file.
check_table() {
    local lines
    lines=$(wc -l <"$1")
    if [ "$lines" -ne "$goods" ]; then
        echo "$1 holds $lines lines, not $goods" >&2
        exit 1
    fi
}

echo "== valgrind memcheck: Zarvik12mPLU /p1 /b115200 /n1 /s59 /lplu-memcheck.txt"
start=$(date +%s%N)
status=0
valgrind --tool=memcheck --leak-check=full \
    --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
    --error-exitcode=1 --track-origins=yes --keep-debuginfo=yes --num-callers=30 \
    --log-file="$work/memcheck.log" \
    "${read_table[@]}" /lplu-memcheck.txt >"$work/memcheck-output.txt" 2>&1 || status=$?
seconds=$((($(date +%s%N) - start) / 1000000000))
summary=$(grep -E "ERROR SUMMARY" "$work/memcheck.log" | tail -1 | sed 's/^==[0-9]*== //')
echo "$summary"
grep -E "definitely lost|indirectly lost|possibly lost|All heap blocks were freed" "$work/memcheck.log" |
    sed 's/^==[0-9]*== *//' || true
if ! grep -q "ERROR SUMMARY: 0 errors" "$work/memcheck.log"; then
    cat "$work/memcheck.log" >&2
    echo "== memcheck found errors or leaks" >&2
    exit 1
fi
if [ "$status" -ne 0 ]; then
    cat "$work/memcheck-output.txt" >&2
    echo "== Zarvik12mPLU failed under valgrind (exit code $status)" >&2
    exit 1
fi
check_table plu-memcheck.txt
echo "== memcheck clean: $goods goods read in $seconds s under valgrind"

echo "== Peak memory: Zarvik12mPLU /p1 /b115200 /n1 /s59 /lplu.txt without valgrind"
/usr/bin/time -v -o "$work/time.txt" "${read_table[@]}" /lplu.txt >"$work/output.txt" 2>&1 || {
    cat "$work/output.txt" "$work/time.txt" >&2
    echo "== Zarvik12mPLU failed" >&2
    exit 1
}
check_table plu.txt
cmp -s plu.txt plu-memcheck.txt || { echo "the two reads differ" >&2; exit 1; }
peak=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$work/time.txt")
wall=$(sed -n 's/^[[:space:]]*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
echo "== Peak resident set size of a $goods-goods /l: $peak KiB (GNU time; read took $wall)"
