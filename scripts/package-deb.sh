#!/usr/bin/env bash
# Leaves the Debian package of the Linux build in build-deb/ (orvo-fm_<version>_amd64.deb:
# orvo-fm with its desktop entry and icon, and orvo-cli; the library dependencies
# come from dpkg-shlibdeps). It builds a release build in build-deb/, or packs the
# build named by BUILD_DIR (scripts/test.sh packs the one it has just tested).
# Install with: sudo apt-get install ./build-deb/orvo-fm_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-deb}"
if [ "$build" = build-deb ]; then
    cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVO_BUILD_TESTS=OFF
fi
cmake --build "$build" -j"$(nproc)" --target orvo-fm orvo-cli
mkdir -p build-deb
rm -f build-deb/orvo-fm_*.deb
(cd "$build" && cpack -G DEB -B "$PWD/cpack-deb" >/dev/null)
mv "$build"/cpack-deb/orvo-fm_*.deb build-deb/
ls -l build-deb/orvo-fm_*.deb
