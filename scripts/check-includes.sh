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

[ $status -eq 0 ] && echo "includes: clean"
exit $status
