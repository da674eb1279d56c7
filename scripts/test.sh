#!/usr/bin/env bash
# Builds Brasslane with everything and runs every test (unit, GUI offscreen, end-to-end).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev -j"$(nproc)"
ctest --preset dev -j"$(nproc)"
