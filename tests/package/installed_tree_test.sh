#!/usr/bin/env bash
# The tree that cmake --install lays out under DESTDIR, as a distribution
# builds it: the runtime component alone runs the utility against the
# emulator; with the development component, the example consumers (C++ and
# C) build through find_package(Zarvik12m) and through pkg-config and read
# the emulator's properties and goods.
#
#   installed_tree_test.sh SOURCE_DIR BUILD_DIR WORK PREFIX BINDIR LIBDIR INCLUDEDIR CXX CC
set -euo pipefail
. "$(dirname "$0")/staged_tree.sh" "$1"
build_dir=$2 work=$3 prefix=$4 bindir=$5 libdir=$6 includedir=$7 cxx=$8 cc=$9
rm -rf "$work"
mkdir -p "$work"

runtime="$work/runtime"
DESTDIR="$runtime" cmake --install "$build_dir" --component runtime >"$work/install-runtime.log"
[ -e "$runtime$prefix/$libdir/libzarvik12m.so.1" ] || fail "runtime lacks libzarvik12m.so.1"
[ ! -e "$runtime$prefix/$libdir/libzarvik12m.so" ] || fail "runtime holds the development link libzarvik12m.so"
[ -e "$runtime$prefix/$libdir/libzarvik12m-c.so.1" ] || fail "runtime lacks libzarvik12m-c.so.1"
[ ! -e "$runtime$prefix/$libdir/libzarvik12m-c.so" ] || fail "runtime holds the development link libzarvik12m-c.so"
[ ! -e "$runtime$prefix/$includedir" ] || fail "runtime holds headers"
round_trip "$runtime" "$prefix" "$bindir" "$work/runtime-round-trip"

full="$work/full"
for component in runtime development; do
    DESTDIR="$full" cmake --install "$build_dir" --component "$component" >"$work/install-$component.log"
done
staged_libdir="$full$prefix/$libdir"

# find_package(Zarvik12m 1.0 CONFIG) and Zarvik12m::zarvik12m
cmake -S "$source_dir/examples/consumer" -B "$work/consumer-cmake" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_PREFIX_PATH="$full$prefix" >"$work/consumer-cmake.log" 2>&1 ||
    { cat "$work/consumer-cmake.log"; fail "the consumer did not configure"; }
cmake --build "$work/consumer-cmake" >>"$work/consumer-cmake.log" 2>&1 ||
    { cat "$work/consumer-cmake.log"; fail "the consumer did not build with find_package"; }
# and Zarvik12m::zarvik12m-c, from C
cmake -S "$source_dir/examples/c-consumer" -B "$work/c-consumer-cmake" -DCMAKE_C_COMPILER="$cc" \
    -DCMAKE_PREFIX_PATH="$full$prefix" >"$work/c-consumer-cmake.log" 2>&1 ||
    { cat "$work/c-consumer-cmake.log"; fail "the C consumer did not configure"; }
cmake --build "$work/c-consumer-cmake" >>"$work/c-consumer-cmake.log" 2>&1 ||
    { cat "$work/c-consumer-cmake.log"; fail "the C consumer did not build with find_package"; }

# pkg-config, the staged root as the system root
export PKG_CONFIG_PATH="" PKG_CONFIG_LIBDIR="$staged_libdir/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$full"
export PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 PKG_CONFIG_ALLOW_SYSTEM_LIBS=1
[ "$(pkg-config --modversion zarvik12m)" = 1.0.0 ] || fail "pkg-config does not give version 1.0.0"
read -r -a flags <<<"$(pkg-config --cflags --libs zarvik12m)"
"$cxx" -std=c++20 "$source_dir/examples/consumer/properties.cpp" "${flags[@]}" -o "$work/consumer-pkg-config" ||
    fail "the consumer did not build with pkg-config"
[ "$(pkg-config --modversion zarvik12m-c)" = 1.0.0 ] || fail "pkg-config does not give zarvik12m-c 1.0.0"
read -r -a flags <<<"$(pkg-config --cflags --libs zarvik12m-c)"
# The linker finds libzarvik12m.so.1, which libzarvik12m-c.so needs, in the
# system's library folders; in the staged root it is told where.
"$cc" -std=c99 -Wall -Wextra -Werror "$source_dir/examples/c-consumer/goods.c" "${flags[@]}" \
    -Wl,-rpath-link,"$staged_libdir" -o "$work/c-consumer-pkg-config" ||
    fail "the C consumer did not build with pkg-config"

start_emulator "$full$prefix/$bindir/zarvik12m-emulator" "$work/ttyZARVIK" "$work/emulator.log" --serial 12345678
for consumer in "$work/consumer-cmake/zarvik12m-properties" "$work/consumer-pkg-config"; do
    output=$(cd "$work" && ZARVIK12M_COM1="$work/ttyZARVIK" LD_LIBRARY_PATH="$staged_libdir" "$consumer" 1 115200 1) ||
        fail "$consumer failed: $output"
    [ "$output" = $'serial number: 12345678\ngoods: 4000' ] || fail "$consumer printed: $output"
done
stop_emulator

start_emulator "$full$prefix/$bindir/zarvik12m-emulator" "$work/ttyZARVIK" "$work/emulator-goods.log" \
    --load "$source_dir/examples/goods.txt"
goods=$(grep -c . "$source_dir/examples/goods.txt")
for consumer in "$work/c-consumer-cmake/zarvik12m-goods" "$work/c-consumer-pkg-config"; do
    output=$(cd "$work" && ZARVIK12M_COM1="$work/ttyZARVIK" LD_LIBRARY_PATH="$staged_libdir" "$consumer" 1 115200 1) ||
        fail "$consumer failed: $output"
    [ "$(tail -n 1 <<<"$output")" = "goods: $goods" ] || fail "$consumer printed: $output"
    [ "$(grep -c . <<<"$output")" -eq $((goods + 1)) ] || fail "$consumer printed: $output"
done
echo "installed tree: runtime round trip, C++ and C consumers through find_package and pkg-config"
