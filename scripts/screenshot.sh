#!/usr/bin/env bash
# Saves pictures of the main window (after "Старт" and the caching pass, with the
# phone's root shown) and of each dialog into a folder, running the program under
# Xvfb against the phone emulator.
# Usage: scripts/screenshot.sh [DIR]   (default: $TMPDIR/orvo-fm-screenshots)
# BUILD_DIR chooses the build folder (build); it is built first when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$(realpath -m "${1:-${TMPDIR:-/tmp}/orvo-fm-screenshots}")"
mkdir -p "$dir"
build="${BUILD_DIR:-build}"
# Build before the time limit starts: a first build takes longer than a run.
if [ ! -x "$build/ui/orvo-fm" ] || [ ! -x "$build/tools/emulator/phone-emulator" ]; then
    [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja >/dev/null
    cmake --build "$build" -j2 --target orvo-fm phone-emulator
fi
rm -f "$dir"/{settings,main,about,rename,fileexist,process}.png
run=(scripts/run-with-emulator.sh --screenshot-dir "$dir")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}"
else
    timeout 120 "${run[@]}"
fi
ls -1 "$dir"/*.png
