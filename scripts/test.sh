#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once plain, once with
# AddressSanitizer and UndefinedBehaviorSanitizer. Then the serial component's
# tests under ThreadSanitizer, the fuzz target for a minute on its corpus, the
# Debian package installed and started, and the Windows build under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/check-format.sh
scripts/check-layers.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure)

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVO_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
(cd build-sanitize && QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure)

# The serial component's reader and writer threads under ThreadSanitizer.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_TSAN=ON -DORVO_BUILD_UI=OFF
cmake --build build-tsan -j"$jobs" --target serial_tests
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest -L serial --output-on-failure)

# The fuzz target over the core (clang, libFuzzer), 60 seconds from the seed corpus;
# a crash or a broken invariant fails the run and leaves the input in build-fuzz/.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DORVO_FUZZ=ON -DORVO_BUILD_UI=OFF -DORVO_BUILD_TESTS=OFF
cmake --build build-fuzz -j"$jobs" --target protocol-fuzz
rm -rf build-fuzz/corpus && mkdir build-fuzz/corpus
build-fuzz/tests/fuzz/protocol-fuzz -max_total_time=60 -timeout=10 -print_final_stats=1 \
    -dict=tests/fuzz/protocol.dict -artifact_prefix=build-fuzz/ \
    build-fuzz/corpus tests/fuzz/corpus 2>build-fuzz/fuzz.log || {
    tail -n 60 build-fuzz/fuzz.log
    echo "fuzz: the target crashed or broke an invariant; the input is in build-fuzz/" >&2
    exit 1
}
grep -E '^#[0-9]+[[:space:]]+DONE|^Done|^stat::' build-fuzz/fuzz.log

# The Debian package of the build just tested, installed and started.
BUILD_DIR=build scripts/package-deb.sh
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --reinstall ./build-deb/orvo-fm_*.deb
orvo-cli --help >/dev/null
orvo-fm --help >/dev/null
if ldd /usr/bin/orvo-fm /usr/bin/orvo-cli | grep 'not found'; then
    echo "package: a library the programs need did not come with the package" >&2
    exit 1
fi
test -f /usr/share/applications/orvo-fm.desktop
echo "package: orvo-fm installed from build-deb/ and started"

# The Windows leg: the cross-built programs and tests under wine, orvo-cli.exe
# against the emulator on COM5, the zip and the installer.
scripts/test-windows.sh
