#!/usr/bin/env bash
# The Debian package that cpack makes from the build: the files it lists,
# its fields, the library's SONAME and the utility's RUNPATH in it, and its
# utility and its Python command run against its emulator from an unpacked
# staging root.
#
#   debian_package_test.sh SOURCE_DIR BUILD_DIR WORK PREFIX BINDIR LIBDIR INCLUDEDIR MANDIR RUNPATH
set -euo pipefail
. "$(dirname "$0")/staged_tree.sh" "$1"
build_dir=$2 work=$3 prefix=$4 bindir=$5 libdir=$6 includedir=$7 mandir=$8 runpath=$9
rm -rf "$work"
mkdir -p "$work"

cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack -G DEB failed"; }
deb="$work/zarvik12m_1.0.0_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work"; fail "no $(basename "$deb")"; }

# Every file the package should hold, and nothing else.
expected=(
    "$prefix/$bindir/Zarvik12mPLU"
    "$prefix/$bindir/zarvik12m-emulator"
    "$prefix/$bindir/zarvik12m-probe"
    "$prefix/$bindir/zarvik12m-server"
    "$prefix/$bindir/zarvik12m"
    "$prefix/$libdir/libzarvik12m.so.1.0.0"
    "$prefix/$libdir/libzarvik12m.so.1"
    "$prefix/$libdir/libzarvik12m.so"
    "$prefix/$libdir/libzarvik12m-c.so.1.0.0"
    "$prefix/$libdir/libzarvik12m-c.so.1"
    "$prefix/$libdir/libzarvik12m-c.so"
    "$prefix/$libdir/pkgconfig/zarvik12m.pc"
    "$prefix/$libdir/pkgconfig/zarvik12m-c.pc"
    "$prefix/$libdir/cmake/Zarvik12m/Zarvik12mConfig.cmake"
    "$prefix/$libdir/cmake/Zarvik12m/Zarvik12mConfigVersion.cmake"
    "$prefix/$libdir/cmake/Zarvik12m/Zarvik12mTargets.cmake"
    "$prefix/$libdir/cmake/Zarvik12m/Zarvik12mTargets-*.cmake"
    "$prefix/$mandir/man1/Zarvik12mPLU.1.gz"
    "$prefix/$mandir/man1/zarvik12m-emulator.1.gz"
    "$prefix/$mandir/man1/zarvik12m-probe.1.gz"
    "$prefix/share/doc/zarvik12m/copyright"
    "$prefix/lib/systemd/system/zarvik12m-server.service"
)
python_package="$prefix/lib/python3/dist-packages/zarvik12m"
for module in "$source_dir"/python/zarvik12m/*.py; do
    expected+=("$python_package/$(basename "$module")")
done
expected+=("$python_package/_installed.py" "$python_package/py.typed")
for header in "$source_dir"/include/zarvik12m/*.h; do
    expected+=("$prefix/$includedir/zarvik12m/$(basename "$header")")
done
# "-rw-r--r-- root/root 123 2024-01-01 00:00 ./usr/bin/x" or "... ./usr/lib/x -> y"
mapfile -t listed < <(dpkg-deb -c "$deb" | grep -v '^d' | sed -e 's/^[^.]*\.//' -e 's/ -> .*$//')
declare -A found=()
for path in "${listed[@]}"; do
    known=0
    for i in "${!expected[@]}"; do
        # shellcheck disable=SC2053 # the expected paths are globs
        if [[ $path == ${expected[$i]} ]]; then
            known=1
            found[$i]=1
        fi
    done
    [ $known -eq 1 ] || fail "the package holds an unexpected file: $path"
done
for i in "${!expected[@]}"; do
    [ -n "${found[$i]:-}" ] || fail "the package lacks ${expected[$i]}"
done

[ "$(dpkg-deb -f "$deb" Package)" = zarvik12m ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 1.0.0 ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libc6* && $depends == *libstdc++6* ]] || fail "Depends from dpkg-shlibdeps: '$depends'"
[[ $depends == *python3* ]] || fail "Depends lacks python3: '$depends'"
# Listed whole first: grep -q ending the pipe early would fail it under pipefail.
controls=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
for script in postinst prerm triggers; do
    grep -qx "./$script" <<<"$controls" || fail "no $script in the package's control"
done
[ -n "$(dpkg-deb -f "$deb" Description)" ] || fail "no description"
# The service's unit starts the packaged program as its own user, once
# configured; the postinst makes that user.
unit=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO "./${prefix#/}/lib/systemd/system/zarvik12m-server.service")
grep -qx "ExecStart=$prefix/$bindir/zarvik12m-server --config /etc/zarvik12m/server.json" <<<"$unit" ||
    fail "the unit's ExecStart: $unit"
grep -qx "ConditionPathExists=/etc/zarvik12m/server.json" <<<"$unit" || fail "the unit's condition"
grep -qx "User=zarvik12m" <<<"$unit" || fail "the unit's user"
postinst=$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postinst)
grep -q "useradd --system" <<<"$postinst" || fail "the postinst makes no user"

root="$work/root"
dpkg-deb -x "$deb" "$root"
readelf -d "$root$prefix/$libdir/libzarvik12m.so.1.0.0" | grep -q 'Library soname: \[libzarvik12m.so.1\]' ||
    fail "SONAME of libzarvik12m.so.1.0.0 is not libzarvik12m.so.1"
readelf -d "$root$prefix/$libdir/libzarvik12m-c.so.1.0.0" | grep -q 'Library soname: \[libzarvik12m-c.so.1\]' ||
    fail "SONAME of libzarvik12m-c.so.1.0.0 is not libzarvik12m-c.so.1"
readelf -d "$root$prefix/$bindir/Zarvik12mPLU" | grep -qF "Library runpath: [$runpath]" ||
    fail "RUNPATH of Zarvik12mPLU is not $runpath"
round_trip "$root" "$prefix" "$bindir" "$work/round-trip"

# The zarvik12m command of the package, with Debian's python3: it finds the
# package's own libzarvik12m-c.so.1 (no variable, no loader path).
python_work="$work/python-round-trip"
mkdir -p "$python_work"
start_emulator "$root$prefix/$bindir/zarvik12m-emulator" "$python_work/ttyZARVIK" "$python_work/emulator.log" \
    --load "$source_dir/examples/goods.txt" --line-baud 115200
(
    cd "$python_work"
    unset LD_LIBRARY_PATH ZARVIK12M_LIBRARY
    export PYTHONPATH="$root$python_package/.." PYTHONDONTWRITEBYTECODE=1
    /usr/bin/python3 -c 'import zarvik12m._native as n; print(n.library()._name)' >library.txt
    [ "$(cat library.txt)" = "$root$prefix/$libdir/libzarvik12m-c.so.1" ] ||
        { echo "the package loaded $(cat library.txt)"; exit 1; }
    /usr/bin/python3 "$root$prefix/$bindir/zarvik12m" read --port "$python_work/ttyZARVIK" --baud 115200 plu.txt \
        >read.log 2>&1 || { cat read.log; exit 1; }
) || fail "the package's zarvik12m command failed against the emulator"
stop_emulator
cmp "$source_dir/examples/goods.txt" "$python_work/plu.txt" || fail "zarvik12m read did not read examples/goods.txt"
echo "package $(basename "$deb"): contents, fields, SONAME, RUNPATH, round trips of Zarvik12mPLU and zarvik12m"
