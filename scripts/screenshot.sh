#!/usr/bin/env bash
# Saves pictures of the main window (after "Старт" and the caching pass, with the
# phone's root shown) and of each dialog into a folder, running the program under
# Xvfb against the phone emulator.
# Usage: scripts/screenshot.sh [DIR]   (default: screenshots/)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$(realpath -m "${1:-screenshots}")"
mkdir -p "$dir"
run=(scripts/run-with-emulator.sh --screenshot-dir "$dir")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}"
else
    timeout 120 "${run[@]}"
fi
ls -1 "$dir"/*.png
