#!/usr/bin/env bash
# Installs the build and test tools that the machine lacks (Debian/Ubuntu).
# Does nothing when everything is there, so it is safe to run every time.
set -euo pipefail

packages=(cmake ninja-build g++ googletest locales binutils clang libclang-rt-dev clang-tidy clang-format)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
