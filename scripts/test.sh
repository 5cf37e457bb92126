#!/usr/bin/env bash
# Runs every check, warnings as errors throughout (ZARVIK12M_WERROR=ON):
#
#   lint      the static checks (scripts/lint.sh: clang-format, clang-tidy)
#   normal    g++ RelWithDebInfo in build/: the whole test suite, the
#             Python package's pytest tests included; the benchmarks
#             built, not run
#   browser   the web console in a real headless Chromium against the
#             service and the emulator (ctest -L browser, build/), each
#             test's screenshot left in build/screenshots/
#   asan      g++ Debug with AddressSanitizer and UndefinedBehaviorSanitizer
#             in build-asan/: the whole test suite
#   tsan      clang RelWithDebInfo with ThreadSanitizer in build-tsan/: the
#             whole test suite
#   memcheck  a full goods read under valgrind (scripts/memcheck.sh, build/)
#   fuzz      each fuzz target for 20 seconds (scripts/fuzz.sh, clang)
#   package   g++ Release for /usr in build-package/: what is installed
#             built, no test program (ZARVIK12M_PACKAGE_CHECKS_ONLY), then
#             the installed tree, the Debian package and pip install of the
#             Python package tested (ctest -L package)
#   warnings  clang Debug in build-warnings/clang-Debug/, built only, with
#             the benchmarks and without the tests: the one compiler and
#             assertions pair no step above builds everything with (g++
#             builds with assertions in asan, without in normal and
#             package; clang without in tsan, and clang warns the same at
#             every optimisation level)
#   windows   the Windows deliverables cross-built with mingw-w64 for
#             64-bit Windows in build-windows/ (Release), their tests under
#             Wine (unit tests, export tables), zarvik12m-1.0.0-win64.zip
#             (cpack -G ZIP) and its contents; the same deliverables for
#             32-bit Windows in build-windows32/ with their export tables
#             and zarvik12m-1.0.0-win32.zip, their unit tests only where
#             32-bit Wine (wine32) is installed; and the end-to-end
#             scenarios of Zarvik12mPLU.exe and zarvik12m-probe.exe under
#             Wine against the emulator of build/ (ctest -L wine)
#
# Installs what the machine lacks first, and ends with each step's wall and
# processor time.
#
#   scripts/test.sh              all of them
#   scripts/test.sh normal asan  only the named steps
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
all_steps=(lint normal browser asan tsan memcheck fuzz package warnings windows)

steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=("${all_steps[@]}")
for step in "${steps[@]}"; do
    [[ " ${all_steps[*]} " == *" $step "* ]] || { echo "unknown step '$step' (${all_steps[*]})" >&2; exit 2; }
done

tool_sets=()
for step in "${steps[@]}"; do
    [ "$step" != memcheck ] || tool_sets+=(memcheck)
    [ "$step" != windows ] || tool_sets+=(windows)
    [ "$step" != browser ] || tool_sets+=(browser)
done
"$root/scripts/install-dependencies.sh" "${tool_sets[@]}"

jobs=$(nproc 2>/dev/null || echo 2)

# configure DIR COMPILER BUILD_TYPE [CMAKE OPTION ...]
configure() {
    local dir=$1 compiler=$2 type=$3
    shift 3
    local cc=gcc cxx=g++
    [ "$compiler" = g++ ] || { cc=clang; cxx=clang++; }
    cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
        -DCMAKE_BUILD_TYPE="$type" -DZARVIK12M_WERROR=ON "$@" >/dev/null
}

# suite DIR COMPILER BUILD_TYPE SANITIZER [CMAKE OPTION ...]: builds
# everything, runs every
# test but those of the package, windows and browser steps. The few that
# wait out the answer time-out (label slow) spend it idle: they run all at
# once beside the others, their output shown when they are done.
suite() {
    local dir=$1
    configure "$dir" "$2" "$3" -DZARVIK12M_SANITIZER="$4" "${@:5}"
    cmake --build "$root/$dir" -j "$jobs"
    local slow_log="$root/$dir/slow-tests.log" slow slow_result=0 result=0
    # The test lists first, by one process: each ctest finds a program's
    # cases by running it when the list is older than the program, and two
    # doing so at once could read a list the other is still writing.
    (cd "$root/$dir" && ctest -N >/dev/null)
    (cd "$root/$dir" && ctest -j 16 --output-on-failure --output-log "$slow_log.ctest" -L '^slow$') \
        >"$slow_log" 2>&1 &
    slow=$!
    (cd "$root/$dir" && ctest -j2 --output-on-failure -LE '^(package|wine|browser|slow)$') || result=$?
    wait "$slow" || slow_result=$?
    echo "== the tests that wait out the answer time-out ($dir):"
    cat "$slow_log"
    [ "$result" -eq 0 ] && [ "$slow_result" -eq 0 ]
}

# cpu_now sets $cpu to the processor seconds (user and system) of every
# process the script has waited for: beside the wall time, a step's cost on
# a machine that others share. times runs in this shell, not a subshell.
times_file=$(mktemp)
trap 'rm -f "$times_file"' EXIT
cpu_now() {
    times >"$times_file"
    cpu=$(tail -n 1 "$times_file" | awk '{ split($1 $2, t, /[ms]/); print int(t[1] * 60 + t[2] + t[3] * 60 + t[4]) }')
}

timings=()
for step in "${steps[@]}"; do
    start=$(date +%s)
    cpu_now
    start_cpu=$cpu
    echo "== $step"
    case "$step" in
        lint) "$root/scripts/lint.sh" ;;
        normal) suite build g++ RelWithDebInfo "" -DZARVIK12M_BUILD_BENCHMARKS=ON ;;
        asan) suite build-asan g++ Debug address ;;
        tsan) suite build-tsan clang RelWithDebInfo thread ;;
        browser)
            configure build g++ RelWithDebInfo -DZARVIK12M_SANITIZER=
            cmake --build "$root/build" -j "$jobs" --target zarvik12m-server zarvik12m-emulator
            (cd "$root/build" && ctest --output-on-failure --no-tests=error -L '^browser$') ;;
        memcheck) "$root/scripts/memcheck.sh" ;;
        fuzz)
            if command -v clang++ >/dev/null; then
                "$root/scripts/fuzz.sh" 20
            else
                echo "fuzz: skipped, clang++ is not installed"
            fi ;;
        package)
            configure build-package g++ Release -DZARVIK12M_SANITIZER= -DCMAKE_INSTALL_PREFIX=/usr \
                -DZARVIK12M_PACKAGE_CHECKS_ONLY=ON
            cmake --build "$root/build-package" -j "$jobs"
            (cd "$root/build-package" && ctest -j2 --output-on-failure -L package) ;;
        warnings)
            configure build-warnings/clang-Debug clang Debug -DZARVIK12M_SANITIZER= -DBUILD_TESTING=OFF \
                -DZARVIK12M_BUILD_BENCHMARKS=ON
            cmake --build "$root/build-warnings/clang-Debug" -j "$jobs" ;;
        windows)
            cmake -S "$root" -B "$root/build-windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64.cmake" \
                -DCMAKE_BUILD_TYPE=Release -DZARVIK12M_WERROR=ON >/dev/null
            cmake --build "$root/build-windows" -j "$jobs"
            # The ZIP is made and checked by a test (windows.zip).
            (cd "$root/build-windows" && ctest --output-on-failure &&
                echo "windows: $root/build-windows/zarvik12m-1.0.0-win64.zip")
            # 32-bit: without wine32 the build holds only the deliverables,
            # and only what needs no Windows program is tested.
            cmake -S "$root" -B "$root/build-windows32" -G Ninja \
                -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64-i686.cmake" \
                -DCMAKE_BUILD_TYPE=Release -DZARVIK12M_WERROR=ON >/dev/null
            cmake --build "$root/build-windows32" -j "$jobs"
            (cd "$root/build-windows32" && ctest --output-on-failure &&
                echo "windows: $root/build-windows32/zarvik12m-1.0.0-win32.zip")
            if [ ! -x /usr/lib/wine/wine ]; then
                echo "windows: 32-bit Wine (wine32, Debian's i386 architecture) is not installed here:" \
                    "the 32-bit build's unit tests did not run; its build, export tables and ZIP were checked"
            fi
            # The emulator side in build/: only what the Wine scenarios run.
            configure build g++ RelWithDebInfo -DZARVIK12M_SANITIZER= -DZARVIK12M_WINDOWS_BUILD="$root/build-windows"
            # A cache that CMake had to drop for another compiler loses the
            # variable: it is given once more.
            cmake -S "$root" -B "$root/build" -DZARVIK12M_WINDOWS_BUILD="$root/build-windows" >/dev/null
            cmake --build "$root/build" -j "$jobs" --target utility_end_to_end_test utility_network_test probe_wine_test \
                zarvik12m-emulator
            export WINEPREFIX="$root/build-windows/wine-prefix" WINEDEBUG=-all
            /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
            # Wine's serial driver starts with the prefix's services and
            # points dosdevices/com1 and up at the machine's /dev/ttyS*,
            # replacing the links the tests make for their pseudo-terminals.
            # A marker link shows when it has done so; the tests start after.
            com1="$WINEPREFIX/dosdevices/com1"
            rm -f "$com1"
            ln -s /nonexistent/zarvik12m-marker "$com1"
            /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
            if compgen -G '/dev/ttyS[0-9]*' >/dev/null; then
                for _ in $(seq 600); do
                    [ "$(readlink "$com1")" = /nonexistent/zarvik12m-marker ] || break
                    sleep 0.1
                done
            fi
            rm -f "$com1"
            wine_result=0
            (cd "$root/build" && ctest -j2 --output-on-failure --no-tests=error -L '^wine$') || wine_result=$?
            /usr/lib/wine/wineserver -k || true
            unset WINEPREFIX WINEDEBUG
            [ "$wine_result" -eq 0 ] ;;
    esac
    cpu_now
    timings+=("$(printf '%-9s %5d s wall %6d s processor' "$step" $(($(date +%s) - start)) $((cpu - start_cpu)))")
done
echo "== step times"
printf '%s\n' "${timings[@]}"
echo "== all steps passed: ${steps[*]}"
