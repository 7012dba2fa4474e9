#!/usr/bin/env bash
# Conversions of the 1M grid (1001 x 1001 vertices, a million textured quadrilaterals) as a binary
# PLY into PLY, STL and GLB: the whole of `mwconv in out` against the whole of `assimp export in out`
# (Debian's assimp-utils), run alternately REPS times (default 5) so that both see the same load.
# Prints each run's wall time and peak memory, then the medians and their ratio, and the load.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${MW_BIN:-build/release/bin}
reps=${REPS:-5}
command -v assimp >/dev/null || { echo "needs the assimp command (apt install assimp-utils)"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/mwconv" --add grid:width=1000,depth=1000,xsegments=1000,ysegments=1000 "$work/grid.ply"
uptime
median() { sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
for ext in ply stl glb; do
  : >"$work/mw" && : >"$work/as"
  for ((i = 0; i < reps; i++)); do
    rm -f "$work/out.$ext"
    /usr/bin/time -f "%e %M" -a -o "$work/mw" "$bin/mwconv" "$work/grid.ply" "$work/out.$ext" >/dev/null
    rm -f "$work/out.$ext"
    /usr/bin/time -f "%e %M" -a -o "$work/as" assimp export "$work/grid.ply" "$work/out.$ext" >/dev/null
  done
  a=$(cut -d' ' -f1 "$work/mw" | median) b=$(cut -d' ' -f1 "$work/as" | median)
  ma=$(cut -d' ' -f2 "$work/mw" | median) mb=$(cut -d' ' -f2 "$work/as" | median)
  awk -v e="$ext" -v a="$a" -v b="$b" -v ma="$ma" -v mb="$mb" 'BEGIN {
    printf "PLY -> %-4s mwconv %6.2f s %6.0f MB   assimp export %6.2f s %6.0f MB   time %.2fx  memory %.2fx\n",
           e, a, ma / 1024, b, mb / 1024, a / b, ma / mb }'
done
uptime
