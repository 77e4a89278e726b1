#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as first argument), Release
# unless the further arguments, which go to CMake's configure step, say otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$dir"
