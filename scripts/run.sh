#!/usr/bin/env bash
# Builds Brasslane and starts the desktop app. With no keyboard attached it runs against the
# simulated keyboard, whose memory is kept in ~/.local/share/Brasslane/simulated-keyboard.json.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev -j"$(nproc)"

state="${XDG_DATA_HOME:-$HOME/.local/share}/Brasslane/simulated-keyboard.json"
mkdir -p "$(dirname "$state")"

args=()
if ! ./build/bin/brasslanectl list --quiet >/dev/null 2>&1; then
    echo "No keyboard found: using the simulated keyboard ($state)."
    args+=("--simulate=$state")
fi

if [ -x build/bin/brasslane ]; then
    exec ./build/bin/brasslane "${args[@]}" "$@"
else
    exec ./build/bin/brasslanectl "${args[@]}" info
fi
