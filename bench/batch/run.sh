#!/bin/bash
# Times laminor-batch (modes 1 and 2, in-process, -j 1 and -j 2) against the
# equivalent ezdxf passes on the same drawings, in one run, and prints a
# Markdown table. Both sides take their rules from the rule files here.
#
#   bench/batch/run.sh [BUILD_DIR] [DATA_DIR] [GLOB]
#
# BUILD_DIR defaults to build, DATA_DIR to bench-data (made by
# bench/gen_drawings.py when it has no drawings), GLOB (which drawings of
# DATA_DIR) to '*.dxf'; for example 'small_*.dxf'.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
data=${2:-$root/bench-data}
glob=${3:-*.dxf}
exe=$build/bin/laminor-batch
py=/usr/bin/python3
reference=$root/bench/ezdxf_reference.py

[ -x "$exe" ] || { echo "build laminor-batch first: cmake --build $build --target laminor-batch" >&2; exit 2; }
ls "$data"/*.dxf >/dev/null 2>&1 || "$py" "$root/bench/gen_drawings.py" set "$data"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
# shellcheck disable=SC2086
cp "$data"/$glob "$work/src/"
files=$(ls "$work/src" | wc -l)
mb=$(du -cm "$work/src"/*.dxf | tail -1 | cut -f1)

# Fresh copies for every timed run: each run changes its drawings.
fresh() { rm -rf "$work/run"; cp -r "$work/src" "$work/run"; sync; }
seconds() { local s e; s=$(date +%s.%N); "$@" >"$work/out.txt" 2>"$work/err.txt" || true; e=$(date +%s.%N); echo "$e - $s" | bc; }

declare -A t
for mode in rename state; do
  for j in 1 2; do
    fresh
    t[$mode,$j]=$(seconds "$exe" "$mode" --in-process -j "$j" --rules "$here/$mode.csv" "$work/run")
    tail -n 2 "$work/out.txt" | sed "s/^/  $mode -j $j: /" >&2
    if grep -q '^failed' "$work/out.txt"; then grep '^failed' "$work/out.txt" >&2; fi
  done
done

# The ezdxf passes on the same files; its own per-pass timings, summed.
fresh
"$py" "$reference" "$work/run" --json "$work/ezdxf.json" >"$work/ez.txt" 2>&1 || true
read -r ez_rename ez_state < <("$py" - "$work/ezdxf.json" <<'PY'
import json, sys
rs = json.load(open(sys.argv[1]))["results"]
print(sum(r["load"] + r["rename_op"] + r["rename_save"] for r in rs),
      sum(r["load"] + r["state_op"] + r["state_save"] for r in rs))
PY
)

echo
echo "$files drawings, $mb MB ($glob of $data), $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
echo
echo "| run | mode 1 rename s | mode 2 state s | mode 1 MB/s | mode 2 MB/s |"
echo "|---|---|---|---|---|"
row() { printf '| %s | %.2f | %.2f | %.1f | %.1f |\n' "$1" "$2" "$3" "$(echo "$mb / $2" | bc -l)" "$(echo "$mb / $3" | bc -l)"; }
row "laminor-batch --in-process -j 1" "${t[rename,1]}" "${t[state,1]}"
row "laminor-batch --in-process -j 2" "${t[rename,2]}" "${t[state,2]}"
row "ezdxf (load + pass + save, per file in its own process, summed)" "$ez_rename" "$ez_state"
