#!/usr/bin/env bash
# The large-model figures in one run, for the 1M grid (side 1001: 1,002,001 vertices and a million
# textured quadrilaterals) and the 4M grid (side 2001), each with the ratio it is judged by:
#   .mqo export against import of the same document,
#   .mwr read against `cat` of the same bytes and against a plain read into one block,
#   the perspective frame from the pane's buffers (still, and turning a degree a frame) against
#   the immediate-mode reference, and the floor: the frame with every face culled,
#   the Top pane with the shared projection against projecting each vertex per use,
#   a 30-motion select drag against the old way (all vertices, all four panes, every motion).
# Medians of REPS repetitions (default 3). Needs a Release build (scripts/run.sh or scripts/test.sh
# makes one) and, for the panes, a display: run under xvfb-run -a when there is none.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${MW_BIN:-build/release/bin}
reps=${REPS:-3}

# name -> real time in ms, from Google Benchmark's CSV output (the median of several repetitions).
declare -A ms
run() {
  local program=$1 filter=$2
  while IFS=, read -r name _ real _ unit _; do
    name=${name//\"/}
    case $name in *_mean | *_stddev | *_cv) continue ;; esac
    name=${name%_median}
    name=${name%/process_time/real_time}
    name=${name%/real_time}
    case $unit in
      ns) real=$(awk -v t="$real" 'BEGIN { print t / 1e6 }') ;;
      us) real=$(awk -v t="$real" 'BEGIN { print t / 1e3 }') ;;
      s) real=$(awk -v t="$real" 'BEGIN { print t * 1e3 }') ;;
    esac
    ms[$name]=$real
  done < <("$bin/$program" --benchmark_filter="$filter" --benchmark_repetitions="$reps" \
             --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null)
}

row() {  # label, measured name, yardstick name
  local a=${ms[$2]:-} b=${ms[$3]:-}
  if [[ -z $a || -z $b ]]; then
    printf '%-52s %10s\n' "$1" "(not run)"
    return
  fi
  awk -v l="$1" -v a="$a" -v b="$b" 'BEGIN { printf "%-52s %10.1f ms %10.1f ms %7.2fx\n", l, a, b, a / b }'
}

run bench_mqo 'BM_ImportMqo/|BM_ExportMqo/'
run bench_archive 'BM_ReadScene|BM_CatRead|BM_PlainRead'
if [[ -n ${DISPLAY:-} ]]; then
  # One family a call: the CSV writer takes its columns from the first benchmark's counters.
  run bench_render 'BM_PerspectiveFrame/side:(1001|2001)/hexagons:0'
  run bench_render 'BM_OrthoPane/side:(1001|2001)/projected:./verticesOnly:0'
  run bench_render 'BM_SelectDrag/side:(1001|2001)'
fi

printf '%-52s %13s %13s %8s\n' "" "measured" "yardstick" "ratio"
row ".mqo export / import, 1M" BM_ExportMqo BM_ImportMqo
for side in 1001 2001; do
  n=$([[ $side == 1001 ]] && echo 1M || echo 4M)
  row ".mwr read / cat, $n" "BM_ReadScene/$side" "BM_CatRead/$side"
  row ".mwr read / plain read into one block, $n" "BM_ReadScene/$side" "BM_PlainRead/$side"
  p="BM_PerspectiveFrame/side:$side/hexagons:0/buffered"
  row "perspective frame, buffers / immediate, $n" "$p:1" "$p:0"
  row "perspective frame turning, buffers / immediate, $n" "$p:2" "$p:0"
  row "perspective frame, all faces culled / immediate, $n" "$p:3" "$p:0"
  row "Top pane, shared projection / per use, $n" "BM_OrthoPane/side:$side/projected:1/verticesOnly:0" \
      "BM_OrthoPane/side:$side/projected:0/verticesOnly:0"
  row "select drag of 30 motions, now / before, $n" "BM_SelectDrag/side:$side/before:0" \
      "BM_SelectDrag/side:$side/before:1"
done
[[ -n ${DISPLAY:-} ]] || echo "(no display: the pane figures need xvfb-run -a $0)"
