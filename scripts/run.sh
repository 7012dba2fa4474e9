#!/usr/bin/env bash
# Builds Meshwright (release) and starts it. Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMW_WITH_BENCH=OFF >/dev/null
cmake --build build/release --target meshwright mwconv
exec build/release/bin/meshwright "$@"
