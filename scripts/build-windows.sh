#!/usr/bin/env bash
# Cross-builds orvo-fm.exe, orvo-cli.exe and the Windows tests in build-windows/
# with Debian's mingw-w64 (POSIX threads) and Qt for mingw from /opt/qt6-mingw
# (scripts/setup-windows.sh puts it there), then leaves beside them the folder
# orvo-fm-windows/, its zip and the installer orvo-fm-setup.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
qt=/opt/qt6-mingw
scripts/setup-windows.sh
jobs=$(nproc)

cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_HOST_PATH=/usr -DORVO_BUILD_TESTS="${ORVO_BUILD_TESTS:-ON}"
cmake --build build-windows -j"$jobs"

# The deployable folder: the programs with every DLL they load, and its zip.
rm -rf build-windows/orvo-fm-windows build-windows/orvo-fm-windows.zip
cmake --install build-windows --prefix build-windows/orvo-fm-windows --strip
(cd build-windows && zip -qr9 orvo-fm-windows.zip orvo-fm-windows)
# The installer (NSIS through CPack): Start menu entry and uninstaller.
(cd build-windows && cpack -G NSIS -B "$PWD/cpack" >/dev/null && mv -f cpack/orvo-fm-setup.exe .)
ls -l build-windows/orvo-fm-windows.zip build-windows/orvo-fm-setup.exe
