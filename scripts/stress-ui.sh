#!/usr/bin/env bash
# Runs the widget tests (ctest label "ui") again and again while busy processes
# keep every core of the machine loaded, the way a shared build machine is.
# A widget test that waits for a fixed time or for the window manager instead of
# for a condition fails here sooner or later.
#
#   scripts/stress-ui.sh [-n ROUNDS] [-b BUSY] [-R REGEX] [BUILD_DIR]
#
# ROUNDS defaults to 20, BUSY (the busy processes) to 2, BUILD_DIR to build;
# -R runs only the tests whose names match. The busy processes end with the
# script, however it ends, and after four hours at the most. Exit status 0 when
# every round passed; the failing rounds' output is kept in BUILD_DIR/stress-ui/.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=20
busy=2
filter=()
while getopts "n:b:R:" opt; do
    case $opt in
        n) rounds=$OPTARG ;;
        b) busy=$OPTARG ;;
        R) filter=(-R "$OPTARG") ;;
        *) echo "usage: $0 [-n ROUNDS] [-b BUSY] [-R REGEX] [BUILD_DIR]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=${1:-build}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j"$(nproc)" --target ui_tests

logs="$build/stress-ui"
rm -rf "$logs"
mkdir -p "$logs"

pids=()
stop_busy() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    pids=()
}
trap stop_busy EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
for ((i = 0; i < busy; i++)); do
    # Bounded even if this script is killed outright.
    timeout 4h sh -c 'while :; do :; done' &
    pids+=($!)
done

failed=0
for ((round = 1; round <= rounds; round++)); do
    log="$logs/round-$round.log"
    start=$SECONDS
    if (cd "$build" && QT_QPA_PLATFORM=offscreen ctest -L ui "${filter[@]}" \
            --output-on-failure) >"$log" 2>&1; then
        echo "round $round/$rounds: passed ($((SECONDS - start)) s)"
        rm -f "$log"
    else
        failed=$((failed + 1))
        echo "round $round/$rounds: FAILED ($((SECONDS - start)) s), see $log"
        grep -E '^[[:space:]]*[0-9]+ - ' "$log" || true
    fi
done

if [ "$failed" -ne 0 ]; then
    echo "stress-ui: $failed of $rounds rounds failed under load" >&2
    exit 1
fi
echo "stress-ui: $rounds rounds passed under load"
