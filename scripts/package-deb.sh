#!/usr/bin/env bash
# Builds the Linux programs in build-deb/ and leaves the Debian package there
# (orvo-fm_<version>_amd64.deb: orvo-fm with its desktop entry and icon, and
# orvo-cli; the library dependencies come from dpkg-shlibdeps).
# Install with: sudo apt-get install ./build-deb/orvo-fm_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVO_BUILD_TESTS=OFF
cmake --build build-deb -j"$(nproc)" --target orvo-fm orvo-cli
(cd build-deb && cpack -G DEB >/dev/null)
ls -l build-deb/orvo-fm_*.deb
