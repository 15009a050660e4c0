#!/usr/bin/env bash
# Installs what the build, the tests and the program need (Debian 12 packages).
set -euo pipefail
# clang and libclang-rt-14-dev (libFuzzer's runtime) build the fuzz target.
# qt6-tools-dev and qt6-l10n-tools build the form's translation.
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools
          qt6-tools-dev qt6-l10n-tools
          libgl-dev libxkbcommon-dev libgtest-dev zlib1g-dev xvfb xauth clang-format git
          clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
