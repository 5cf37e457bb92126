#!/usr/bin/env bash
# The Python package as pip installs it, without network or build
# isolation, from a copy of python/ (pip builds in the folder it is given),
# with the C library placed beside the installed package: the command line
# of the installed package reads the emulator's properties. The package
# carries its type hints' marker py.typed, its metadata the package's one
# version, and the command zarvik12m runs.
#
#   pip_install_test.sh SOURCE_DIR PYTHON C_LIBRARY EMULATOR WORK
set -euo pipefail
source_dir=$1 python=$2 c_library=$3 emulator_program=$4 work=$5
. "$source_dir/scripts/emulator.sh"
trap stop_emulator EXIT
rm -rf "$work"
mkdir -p "$work"
cp -r "$source_dir/python" "$work/source"
"$python" -m pip install --quiet --no-build-isolation --no-deps --no-index --target "$work/installed" "$work/source" \
    >"$work/pip.log" 2>&1 || { cat "$work/pip.log"; exit 1; }
cp "$c_library" "$work/installed/zarvik12m/libzarvik12m-c.so.1"
[ -f "$work/installed/zarvik12m/py.typed" ] || { echo "pip did not install py.typed" >&2; exit 1; }
versions=$(cd "$work" && PYTHONPATH="$work/installed" "$python" -c \
    'import importlib.metadata, zarvik12m; print(importlib.metadata.version("zarvik12m"), zarvik12m.__version__)')
[ "${versions% *}" = "${versions#* }" ] || { echo "metadata and package versions differ: $versions" >&2; exit 1; }
command_version=$(env -u ZARVIK12M_LIBRARY PYTHONPATH="$work/installed" "$work/installed/bin/zarvik12m" --version)
[ "$command_version" = "zarvik12m ${versions#* }" ] ||
    { echo "the installed command zarvik12m --version printed: $command_version" >&2; exit 1; }
start_emulator "$emulator_program" "$work/ttyZARVIK" "$work/emulator.log" --serial 5550555
output=$(cd "$work" && env -u ZARVIK12M_LIBRARY PYTHONPATH="$work/installed" "$python" -m zarvik12m info \
    --port "$work/ttyZARVIK" --baud 115200)
[ "$output" = $'device: Зарвик-12М\nserial number: 5550555\nmax goods: 4000' ] ||
    { echo "the installed package printed: $output" >&2; exit 1; }
echo "pip install --no-build-isolation: the installed package finds the library beside it"
