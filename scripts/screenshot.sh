#!/usr/bin/env bash
# Saves pictures of the main window (after "Старт" and the caching pass, with the
# phone's root shown) and of each dialog into a folder, running the program's
# windows in the screenshot tool (tools/screenshots) under Xvfb against the phone
# emulator.
# Three sets, each in a folder of its own: 1x (the desktop's font at scale 1), 2x
# (QT_SCALE_FACTOR=2) and 14pt (a 14-point font at scale 1).
# Usage: scripts/screenshot.sh [DIR]   (default: $TMPDIR/orvo-fm-screenshots)
#        scripts/screenshot.sh --windows [DIR]   (the Windows build under wine)
# BUILD_DIR chooses the build folder (build); it is built first when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
# --windows: the Windows build under wine and Xvfb, COM5 mapped to the emulator.
if [ "${1:-}" = "--windows" ]; then
    out="$(realpath -m "${2:-${TMPDIR:-/tmp}/orvo-fm-screenshots/windows}")"
    FORM_ONLY=1 SCREENSHOT_DIR="$out" exec scripts/test-windows.sh
fi
dir="$(realpath -m "${1:-${TMPDIR:-/tmp}/orvo-fm-screenshots}")"
mkdir -p "$dir"
build="${BUILD_DIR:-build}"
# Build before the time limit starts: a first build takes longer than a run.
tool="$build/tools/screenshots/orvo-fm-screenshots"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target orvo-fm orvo-fm-screenshots phone-emulator
shoot() {  # folder, then extra program arguments; the environment is the caller's
    local sub="$dir/$1"
    shift
    mkdir -p "$sub"
    rm -f "$sub"/{settings,main,about,rename,fileexist,process}.png
    local run=(env ORVO_PROGRAM="$tool" scripts/run-with-emulator.sh --dir "$sub" "$@")
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        timeout 120 xvfb-run -a -s "-screen 0 2560x2048x24" "${run[@]}"
    else
        timeout 120 "${run[@]}"
    fi
}
shoot 1x
QT_SCALE_FACTOR=2 shoot 2x
shoot 14pt --font-size 14
ls -1 "$dir"/*/*.png
