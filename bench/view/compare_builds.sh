#!/bin/bash
# Two builds' first views of the same drawings, taking turns drawing by
# drawing, so that both meet the same minutes of a shared machine:
#
#   bench/view/compare_builds.sh OLD_VIEW_BENCH NEW_VIEW_BENCH [ROUNDS] DRAWING...
#
# For each drawing and build: the best scene, paint and first view (ms) over
# ROUNDS rounds (default 6) of `view_bench --repeat 5` (2 for drawings over
# 100 MB). An old build comes from a second worktree, for example
#   git worktree add ../before COMMIT --detach && cmake -S ../before -B ../before/build -G Ninja \
#     -DCMAKE_BUILD_TYPE=RelWithDebInfo && cmake --build ../before/build --target view_bench
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 OLD_VIEW_BENCH NEW_VIEW_BENCH [ROUNDS] DRAWING..." >&2
  exit 2
fi
old=$1 new=$2
shift 2
rounds=6
if [[ $1 =~ ^[0-9]+$ ]]; then rounds=$1; shift; fi
results=$(mktemp)
trap 'rm -f "$results"' EXIT
for ((r = 0; r < rounds; ++r)); do
  for drawing in "$@"; do
    repeat=5
    [ "$(stat -c %s "$drawing")" -gt 100000000 ] && repeat=2
    for build in old new; do
      binary=$old
      [ $build = new ] && binary=$new
      QT_QPA_PLATFORM=offscreen "$binary" --frames 0 --repeat $repeat "$drawing" 2>/dev/null |
        awk -F'|' -v build=$build 'NR > 2 { gsub(/ /, "", $2); print $2, build, $5 + 0, $6 + 0, $7 + 0 }' >>"$results"
    done
  done
done
echo "| drawing | build | scene ms | paint ms | first view ms |"
echo "|---|---|---|---|---|"
awk '{ k = $1 " | " $2
       if (!(k in s) || $3 < s[k]) s[k] = $3
       if (!(k in p) || $4 < p[k]) p[k] = $4
       if (!(k in f) || $5 < f[k]) f[k] = $5 }
     END { for (k in s) print "| " k " | " s[k] " | " p[k] " | " f[k] " |" }' "$results" | sort
