#!/usr/bin/env bash
# Fails when a source includes from a layer above its own. The layers, bottom up:
#   protocol (1) -> phonefs (2) -> engine (3) -> serial (4) -> app (5) -> ui, cli (6)
# A layer includes its own folder and the layers below; ui and cli never include
# each other. The phone emulator includes only tools/emulator/ and protocol/ (the
# trace format it replays); the tests and the benchmark may include anything.
# The phone's command lines are built in protocol/Commands.cpp alone.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
    case "$1" in
        protocol) echo 1 ;;
        phonefs) echo 2 ;;
        engine) echo 3 ;;
        serial) echo 4 ;;
        app) echo 5 ;;
        ui | cli) echo 6 ;;
        *) echo 0 ;;
    esac
}

bad=0
while IFS= read -r file; do
    layer=${file%%/*}
    own=$(rank "$layer")
    while IFS=: read -r line target; do
        dep=${target%%/*}
        [ "$dep" = "$layer" ] && continue
        if [ "${file#tools/emulator/}" != "$file" ]; then
            [ "${target#tools/emulator/}" != "$target" ] && continue
            [ "$dep" = protocol ] && continue
            echo "$file:$line: the emulator includes \"$target\"; it uses protocol/ alone"
            bad=1
            continue
        fi
        theirs=$(rank "$dep")
        if [ "$theirs" -eq 0 ] || [ "$theirs" -ge "$own" ]; then
            echo "$file:$line: layer $layer includes \"$target\" (layer $dep)"
            bad=1
        fi
    done < <(grep -n -o -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+"' "$file" |
        sed -E 's/^([0-9]+):.*"([^"]+)"/\1:\2/')
done < <(git ls-files 'protocol/*' 'phonefs/*' 'engine/*' 'serial/*' 'app/*' 'ui/*' 'cli/*' \
    'tools/emulator/*' | grep -E '\.(cpp|h)$')

if [ "$bad" -ne 0 ]; then
    echo "layers: a file includes from a layer above its own (see above)" >&2
    exit 1
fi

while IFS= read -r hit; do
    echo "$hit"
    bad=1
done < <(git ls-files 'protocol/*' 'phonefs/*' 'engine/*' 'serial/*' 'app/*' 'ui/*' 'cli/*' |
    grep -E '\.(cpp|h)$' | grep -v -x 'protocol/Commands.cpp' |
    xargs grep -n -E '"AT[Z+]' | grep -v -E '^[^:]+:[0-9]+:[[:space:]]*//' || true)
if [ "$bad" -ne 0 ]; then
    echo "layers: a command line is built outside protocol/Commands.cpp (see above)" >&2
    exit 1
fi
echo "layers: every include points down the stack"
