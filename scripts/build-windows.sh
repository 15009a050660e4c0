#!/usr/bin/env bash
# Cross-builds orvo-fm.exe, orvo-cli.exe and the Windows tests in build-windows/
# with Debian's mingw-w64 (POSIX threads) and Qt for mingw from /opt/qt6-mingw
# (scripts/setup-windows.sh puts it there), then leaves beside them the folder
# orvo-fm-windows/, its zip and the installer orvo-fm-setup.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
qt=/opt/qt6-mingw
[ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ] || scripts/setup-windows.sh
jobs=$(nproc)

cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_HOST_PATH=/usr -DORVO_BUILD_TESTS="${ORVO_BUILD_TESTS:-ON}"
cmake --build build-windows -j"$jobs"
