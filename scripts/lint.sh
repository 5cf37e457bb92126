#!/usr/bin/env bash
# The static checks: the include rules of the layers
# (scripts/check-includes.sh), every C++ file of the tree laid out as
# .clang-format says, the web console's JavaScript clean under ESLint
# (server/console/.eslintrc.json), every Python file clean under flake8
# (.flake8), the Python package under mypy --strict (python/pyproject.toml)
# with its version the project's, and the sources of the library, the
# utility, the emulator and the
# benchmarks clean under .clang-tidy (the tests are left to the compiler's
# warnings and the sanitizers: checking them too would double the time).
# Fails on the first kind of finding, listing every file concerned.
#
#   scripts/lint.sh               every check
#   scripts/lint.sh includes      only the include rules
#   scripts/lint.sh sockets       only the look for socket calls outside
#                                 driver/platform/
#   scripts/lint.sh format        only the layout
#   scripts/lint.sh js            only ESLint on the web console
#   scripts/lint.sh python        only flake8, mypy and the package's version
#   scripts/lint.sh tidy [FILE]   only clang-tidy, on the given files or all
#   scripts/lint.sh fix-format    lay the tree out (rewrites the files)
#
# clang-tidy reads the compile commands of a configured (not built) tree in
# build-lint/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

what=${1:-all}
[ $# -gt 0 ] && shift

cxx_files() { git ls-files -- '*.cpp' '*.h'; }
# The Win32 files are compiled by the Windows build only (scripts/test.sh
# windows), with its warnings as errors; the Linux compile commands cannot
# check them.
tidy_files() { git ls-files -- 'driver/*.cpp' 'capi/*.cpp' 'utility/*.cpp' 'tools/*.cpp' 'bench/*.cpp' 'server/*.cpp' ':!driver/platform/win32/*' ':!*_win32.cpp'; }

check_includes() {
    echo "== lint: include rules"
    "$root/scripts/check-includes.sh" "$root"
}

check_format() {
    echo "== lint: clang-format"
    local wrong
    wrong=$(cxx_files | xargs clang-format --dry-run 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: .*-Wclang-format-violations.*/\1/p' |
        sort -u)
    if [ -n "$wrong" ]; then
        echo "not laid out as .clang-format says (scripts/lint.sh fix-format mends it):" >&2
        echo "$wrong" >&2
        return 1
    fi
}

check_js() {
    echo "== lint: eslint (the web console)"
    command -v eslint >/dev/null || { echo "eslint is not installed (scripts/install-dependencies.sh)" >&2; return 1; }
    # Debian's eslint loads its modules from /usr/share/nodejs, where a
    # Node.js that did not come from Debian does not look by itself. The
    # unix format needs no colour module.
    NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH} eslint -f unix --no-eslintrc \
        -c server/console/.eslintrc.json server/console/js
}

# The Python files: the package, its tests and launcher, the service's tests
# and benchmark client.
python_files() { git ls-files -- '*.py' packaging/python/zarvik12m; }

check_python() {
    echo "== lint: Python (flake8, mypy --strict on the package, its version)"
    local tool
    for tool in flake8 mypy; do
        command -v "$tool" >/dev/null || { echo "$tool is not installed (scripts/install-dependencies.sh)" >&2; return 1; }
    done
    python_files | xargs flake8
    # The settings are python/pyproject.toml's; the cache stays out of the tree.
    (cd python && mypy --cache-dir "$root/build-lint/mypy") || return 1
    # The package's version (python/zarvik12m/_version.py, which pip reads
    # too) is the project's, which the libraries and the .deb carry.
    local project package
    project=$(sed -n '/^project(/,/)/s/^ *VERSION \([0-9][0-9.]*\)$/\1/p' CMakeLists.txt)
    package=$(sed -n 's/^__version__ = "\([^"]*\)"$/\1/p' python/zarvik12m/_version.py)
    if [ -z "$project" ] || [ "$project" != "$package" ]; then
        echo "the Python package's version '$package' (python/zarvik12m/_version.py) is not the project's" \
            "'$project' (CMakeLists.txt)" >&2
        return 1
    fi
}

check_tidy() {
    echo "== lint: clang-tidy"
    # The benchmarks are among the checked sources, so they are configured too.
    cmake -S "$root" -B "$root/build-lint" -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DZARVIK12M_BUILD_BENCHMARKS=ON >/dev/null
    local files=("$@")
    [ ${#files[@]} -gt 0 ] || mapfile -t files < <(tidy_files)
    local jobs
    jobs=$(nproc 2>/dev/null || echo 2)
    local report="$root/build-lint/clang-tidy.txt"
    # Every file is checked even when one fails; the report holds them all.
    if ! printf '%s\n' "${files[@]}" |
        xargs -P "$jobs" -n 4 clang-tidy -p "$root/build-lint" --quiet >"$report" 2>"$report.stderr"; then
        cat "$report" >&2
        grep -v "warnings generated" "$report.stderr" >&2 || true
        echo "clang-tidy found the above (full report: $report)" >&2
        return 1
    fi
}

# Lines on the network are the platform layer's: no other product source
# includes a socket header or calls the socket functions itself (the
# service's HTTP goes through its library).
check_sockets() {
    echo "== lint: socket calls outside driver/platform/"
    local found
    found=$(git ls-files -- 'driver/*' 'capi/*' 'utility/*' 'tools/*' 'bench/*' 'server/*' ':!driver/platform/*' |
        grep -E '\.(cpp|h|c)$' |
        xargs grep -nE '#include <(sys/socket\.h|netinet/[a-z_]+\.h|netdb\.h|arpa/inet\.h|winsock2?\.h|ws2tcpip\.h)>|(^|[^A-Za-z0-9_.>:])(::)?(socket|getaddrinfo|setsockopt|getsockopt|recv|recvfrom|sendto|closesocket|WSAStartup|WSASocketW?|accept4?|listen|bind)\(' ||
        true)
    if [ -n "$found" ]; then
        echo "socket calls outside driver/platform/:" >&2
        echo "$found" >&2
        return 1
    fi
}

case "$what" in
    all) check_includes; check_format; check_js; check_sockets; check_python; check_tidy "$@" ;;
    includes) check_includes ;;
    sockets) check_sockets ;;
    format) check_format ;;
    js) check_js ;;
    python) check_python ;;
    tidy) check_tidy "$@" ;;
    fix-format) cxx_files | xargs clang-format -i ;;
    *) echo "unknown check '$what' (includes, format, js, sockets, python, tidy, fix-format)" >&2; exit 2 ;;
esac
echo "== lint: clean"
