#!/usr/bin/env bash
# The include rules of the tree, read from the sources' #include lines:
#
#   driver/platform/   only driver/platform/
#   driver/common/     driver/platform/ and driver/common/
#   driver/port/       the above and driver/port/
#   driver/protocol/   the above but driver/port/, and driver/protocol/ (the
#                      codec knows no port, queue or thread)
#   driver/processing/ the above, driver/port/ and driver/processing/
#   everything else    no per-system file of driver/platform/ (its linux/
#                      and win32/ folders): only driver/platform/*.h; the
#                      tests of the per-system files themselves
#                      (tests/platform/linux/, tests/windows/) excepted
#   above the platform no system header (<unistd.h>, <sys/...>, <windows.h>):
#                      the layers above it, the C interface, the utility,
#                      the service, the tools and the benchmarks reach the
#                      system through driver/platform/*.h; the tests, being
#                      programs of one system, may include them
#
# Prints each breach as FILE:LINE: the include, and fails when there is one.
#
#   scripts/check-includes.sh [ROOT]   the tree at ROOT (default: this one)
set -euo pipefail

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

status=0

# breach FOLDER PATTERN WHY: the project includes under FOLDER that match
# the extended regular expression PATTERN.
breach() {
    local folder=$1 pattern=$2 why=$3 found
    found=$(grep -rHnE --include='*.cpp' --include='*.h' "^[[:space:]]*#[[:space:]]*include[[:space:]]+\"($pattern)" \
        "$folder" 2>/dev/null || true)
    if [ -n "$found" ]; then
        echo "$why:" >&2
        echo "$found" >&2
        status=1
    fi
}

breach driver/platform 'driver/(common|port|protocol|processing|interface)/' \
    "the platform layer includes a layer above it"
breach driver/common 'driver/(port|protocol|processing|interface)/' "the common layer includes a layer above it"
breach driver/port 'driver/(protocol|processing|interface)/' "the port layer includes a layer above it"
breach driver/protocol 'driver/(port|processing|interface)/' "the codec includes the port or a layer above it"
breach driver/processing 'driver/interface/' "the engine includes the interface layer"

# Per-system files, from anywhere but the platform layer itself: the files
# git knows (tracked or not ignored) when ROOT is a checkout, or else every
# file below ROOT.
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
    outside=$(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' ':!driver/platform/*' \
        ':!tests/platform/linux/*' ':!tests/windows/*')
else
    outside=$(find . \( -name '*.cpp' -o -name '*.h' \) ! -path './driver/platform/*' \
        ! -path './tests/platform/linux/*' ! -path './tests/windows/*' | sed 's#^\./##')
fi
if [ -n "$outside" ]; then
    found=$(printf '%s\n' "$outside" | xargs grep -HnE \
        '^[[:space:]]*#[[:space:]]*include[[:space:]]+"driver/platform/[^"/]+/' || true)
    if [ -n "$found" ]; then
        echo "a file outside driver/platform/ includes a per-system file (include driver/platform/*.h):" >&2
        echo "$found" >&2
        status=1
    fi
fi

# System headers above the platform layer. The probe's list of Windows
# serial ports (tools/probe/serial_devices_win32.cpp) still calls Windows
# itself.
system_header='^[[:space:]]*#[[:space:]]*include[[:space:]]*<((poll|unistd|fcntl|signal|termios|spawn|pthread|dlfcn|pty|netdb|dirent|pwd|iconv|langinfo|syslog|windows|winsock2|ws2tcpip|io|process|direct|setupapi|shlobj)\.h|(sys|arpa|netinet|net|linux|asm)/)'
found=$(find driver capi utility server tools bench \( -name '*.cpp' -o -name '*.h' \) ! -path 'driver/platform/*' \
    ! -path 'tools/probe/serial_devices_win32.cpp' -print0 2>/dev/null | xargs -0 -r grep -HnE "$system_header" || true)
if [ -n "$found" ]; then
    echo "a file above the platform layer includes a system header (call the system in driver/platform/):" >&2
    echo "$found" >&2
    status=1
fi

[ $status -eq 0 ] && echo "includes: clean"
exit $status
