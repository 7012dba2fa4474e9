#!/usr/bin/env bash
# Builds and runs every test: the core under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the whole program (OpenGL and widget tests on a virtual X display).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
jobs=$(nproc)

echo "== core tests with sanitizers"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMW_SANITIZE=ON -DMW_WITH_GUI=OFF -DMW_WERROR=ON \
  -DMW_WITH_BENCH=OFF -DMW_FUZZ=OFF >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

echo "== all tests, program build"
configure_release
cmake --build build/release -j "$jobs"
# Widget and OpenGL tests fail instead of skipping when the display is missing. The virtual
# display must not reset when its last client goes (-noreset): with tests starting and stopping
# in parallel, a program connecting during a reset is refused. A test that cannot even connect
# is run once more; a real failure fails twice.
export MW_REQUIRE_DISPLAY=1
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  ctest --test-dir build/release --output-on-failure -j "$jobs" --repeat until-pass:2

echo "== Python module tests"
# Debian's interpreter (its NumPy and pytest come from setup.sh), the module of the release build.
MESHWRIGHT_BIN="$PWD/build/release/bin" /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/python
