#!/usr/bin/env bash
# Installs the build and test tools that the machine lacks (Debian/Ubuntu).
# Does nothing when everything is there, so it is safe to run every time.
#
#   scripts/install-dependencies.sh            what every build and test needs
#   scripts/install-dependencies.sh memcheck   that and the memory check's
#                                              tools (scripts/memcheck.sh)
#   scripts/install-dependencies.sh windows    that and the Windows cross
#                                              build's tools (mingw-w64, Wine)
#   scripts/install-dependencies.sh browser    that and the web console's
#                                              browser tests' (Chromium,
#                                              its driver, Selenium)
set -euo pipefail

# The compilers and build tools; clang with its runtime for the fuzz
# targets; clang-tidy and clang-format for the static checks; for the
# tests of the installed tree and the package: pkg-config, the Debian
# package tools (dpkg-shlibdeps, and file, which cpack uses with it) and
# groff for the manual pages; for the Python package's tests, Debian's
# python3 with pytest, and setuptools and pip to install the package; for
# zarvik12m-server, Boost's header-only HTTP library (Beast, over Asio) and
# nlohmann's JSON library, both of which the Windows build uses too; ser2net,
# which serves the emulated register on the network for the tests of
# tcp:// and rfc2217:// lines; ESLint for the web console's JavaScript,
# flake8 for every Python file and mypy for the Python package's types
# (scripts/lint.sh).
packages=(cmake ninja-build g++ googletest locales binutils clang libclang-rt-dev clang-tidy clang-format
    pkgconf dpkg-dev file groff-base python3 python3-pytest python3-setuptools python3-pip
    libboost-dev nlohmann-json3-dev ser2net eslint flake8 mypy)
# The web console's browser tests: headless Chromium, its WebDriver and
# Selenium for Python.
browser_packages=(chromium chromium-driver python3-selenium)
# Tools that only the memory check uses: valgrind, and GNU time for the
# peak memory of a run.
memcheck_packages=(valgrind time)
# The Windows builds, 64- and 32-bit: Debian's mingw-w64 with POSIX
# threads, which std::thread needs, and Wine to run the 64-bit build's tests.
windows_packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64)

for extra in "$@"; do
    case "$extra" in
        memcheck) packages+=("${memcheck_packages[@]}") ;;
        windows) packages+=("${windows_packages[@]}") ;;
        browser) packages+=("${browser_packages[@]}") ;;
        *) echo "unknown tool set '$extra' (memcheck, windows, browser)" >&2; exit 2 ;;
    esac
done

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# 32-bit Wine (wine32, of Debian's i386 architecture) runs the 32-bit
# build's tests. It is tried only where the machine has the i386
# architecture already (dpkg --add-architecture i386; apt-get update), and
# a failure is no failure here: the windows step of scripts/test.sh says
# what it could not run.
if [[ " $* " == *" windows "* ]] && ! installed wine32:i386 &&
    dpkg --print-foreign-architectures | grep -qx i386 &&
    apt-cache policy wine32:i386 2>/dev/null | grep -q 'Candidate: [0-9]'; then
    echo "installing: wine32:i386"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wine32:i386 ||
        echo "install-dependencies: wine32:i386 could not be installed; the 32-bit build's Wine tests will not run" >&2
fi
