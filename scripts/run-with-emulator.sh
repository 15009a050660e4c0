#!/usr/bin/env bash
# Starts the phone emulator on a pseudo-terminal and the program with that port
# first in its settings dialog (press "Старт"). The emulator ends with the program.
# Extra arguments go to the program. BUILD_DIR chooses the build folder (build);
# ORVO_PROGRAM another program to start in its place (the screenshot tool).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
if [ ! -x "$build/ui/orvo-fm" ] || [ ! -x "$build/tools/emulator/phone-emulator" ]; then
    [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja >/dev/null
    cmake --build "$build" -j2 --target orvo-fm phone-emulator
fi

out="$(mktemp -d)"
emulator_pid=""
cleanup() {
    if [ -n "$emulator_pid" ]; then kill "$emulator_pid" 2>/dev/null || true; wait "$emulator_pid" 2>/dev/null || true; fi
    rm -rf "$out"
}
trap cleanup EXIT
mkfifo "$out/stdout"
"$build/tools/emulator/phone-emulator" --sample ${EMULATOR_ARGS:-} >"$out/stdout" &
emulator_pid=$!
exec 3<"$out/stdout"
line=""
if ! read -r -t 10 line <&3 || [[ "$line" != PTY\ * ]]; then
    echo "run-with-emulator: the emulator did not report its port (got: '$line')" >&2
    exit 1
fi
port="${line#PTY }"
echo "run-with-emulator: phone emulator on $port" >&2
"${ORVO_PROGRAM:-$build/ui/orvo-fm}" --port "$port" "$@"
