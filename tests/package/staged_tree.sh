# Sourced by the tests of an installed tree: running the programs of a
# staged root (a DESTDIR install or an unpacked package) against the
# emulator of the same root.
#
#   . staged_tree.sh SOURCE_DIR
#   fail MESSAGE ...                       prints the message, exits 1
#   round_trip ROOT PREFIX BINDIR WORK     the probe finds the emulator (at
#                                          115200 baud only), then
#                                          /l, then /w of the file, with only
#                                          the staged files
source_dir=$1
. "$source_dir/scripts/emulator.sh"
trap stop_emulator EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# The staged utility must find its library through its RUNPATH alone.
round_trip() {
    local root=$1 prefix=$2 bindir=$3 work=$4
    local bin="$root$prefix/$bindir"
    mkdir -p "$work"
    start_emulator "$bin/zarvik12m-emulator" "$work/ttyZARVIK" "$work/emulator.log" \
        --load "$source_dir/examples/goods.txt" --save "$work/register-after.txt" --line-baud 115200
    (
        cd "$work"
        export ZARVIK12M_COM1="$work/ttyZARVIK"
        unset LD_LIBRARY_PATH
        "$bin/zarvik12m-probe" --baud 115200 "$ZARVIK12M_COM1" >probe.log 2>&1 || { cat probe.log; exit 1; }
        grep -qF "  ZARVIK12M_COM1=$ZARVIK12M_COM1 Zarvik12mPLU /p1 /b115200 /n1 /s59 /lplu.txt" probe.log ||
            { cat probe.log; exit 1; }
        "$bin/Zarvik12mPLU" /p1 /b115200 /n1 /s59 /lplu.txt >read.log 2>&1 || { cat read.log; exit 1; }
        "$bin/Zarvik12mPLU" /p1 /b115200 /n1 /s59 /wplu.txt >write.log 2>&1 || { cat write.log; exit 1; }
    ) || fail "the staged zarvik12m-probe or Zarvik12mPLU in $bin failed against the emulator"
    stop_emulator
    cmp "$source_dir/examples/goods.txt" "$work/plu.txt" || fail "/l did not read examples/goods.txt back"
    cmp "$source_dir/examples/goods.txt" "$work/register-after.txt" || fail "/w did not write the table back"
}
