# Sourced by the scripts that run the register emulator in the background:
#
#   . scripts/emulator.sh
#   start_emulator EMULATOR LINK LOG [OPTION ...]   starts it, waits for LINK
#   stop_emulator                                   SIGINT, then waits for it
#
# start_emulator sets $emulator to the process id and fails, showing the
# log, when the emulator ends or its line does not come up within 5 s.
emulator=""

start_emulator() {
    local program=$1 link=$2 log=$3
    shift 3
    "$program" --link "$link" "$@" >"$log" 2>&1 &
    emulator=$!
    local _
    for _ in $(seq 100); do
        [ -e "$link" ] && return 0
        kill -0 "$emulator" 2>/dev/null || break
        sleep 0.05
    done
    echo "the emulator did not come up" >&2
    cat "$log" >&2
    return 1
}

stop_emulator() {
    if [ -n "$emulator" ] && kill -0 "$emulator" 2>/dev/null; then
        kill -INT "$emulator" 2>/dev/null || true
        wait "$emulator" 2>/dev/null || true
    fi
    emulator=""
}
