#!/usr/bin/env bash
# Builds the fuzz harnesses with clang and runs each for SECONDS (default 120) on the shared test
# data as seed corpus. New findings land in build/fuzz/findings/. A run that takes more than
# MW_FUZZ_RSS_MB of memory (default 1024) counts as a finding: no input may cost that much.
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/setup.sh
seconds=${1:-120}
shift || true
rss=${MW_FUZZ_RSS_MB:-1024}
data=../shared/testdata
declare -A seeds=([fuzz_mwr]="" [fuzz_mqo]="$data/mqo" [fuzz_bmp]="$data/bmp" [fuzz_tga]="$data/tga"
                  [fuzz_ppm]="$data/pnm" [fuzz_iff]="$data/iff" [fuzz_jpg]="$data/jpg" [fuzz_png]="$data/png"
                  [fuzz_assimp]="$data/obj $data/ply $data/stl tests/data/assimp")
harnesses=("$@")
((${#harnesses[@]})) || harnesses=("${!seeds[@]}")
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DMW_FUZZ=ON >/dev/null
cmake --build build/fuzz --target "${harnesses[@]}"
mkdir -p build/fuzz/findings
for h in "${harnesses[@]}"; do
  corpus=build/fuzz/corpus/$h
  mkdir -p "$corpus"
  # libFuzzer reads seed folders one level deep: copy the test files in flat.
  if [ -n "${seeds[$h]}" ]; then
    # The model harness takes no pictures or scripts from the model folders.
    skip=()
    [ "$h" = fuzz_assimp ] && skip=(! -name '*.jpg' ! -name '*.png' ! -name '*.py')
    # shellcheck disable=SC2086 # a harness may have several seed folders
    find ${seeds[$h]} -type f "${skip[@]}" -exec cp -n {} "$corpus/" \; 2>/dev/null || true
  fi
  echo "== $h for ${seconds}s"
  build/fuzz/bin/$h -max_total_time="$seconds" -max_len=65536 -rss_limit_mb="$rss" -print_final_stats=1 \
    -artifact_prefix=build/fuzz/findings/$h- "$corpus" fuzz/regressions/$h 2>&1 | tail -n 16
done
