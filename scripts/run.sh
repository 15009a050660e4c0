#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program against the project's
# own phone emulator on a pseudo-terminal. In the settings dialog the emulator's
# port is first in the list: press "Старт".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target orvo-fm phone-emulator
exec scripts/run-with-emulator.sh "$@"
