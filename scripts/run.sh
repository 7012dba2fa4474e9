#!/usr/bin/env bash
# Builds Meshwright (release) and starts it. Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
configure_release
cmake --build build/release --target meshwright mwconv
exec build/release/bin/meshwright "$@"
