#!/bin/sh
# Modes 1 and 2 over the benchmark drawings: laminor's batch run through a
# real drawhost, then the ezdxf equivalent, each on fresh copies of the same
# files, and the ratio.
#
#   bench/modes/run.sh [BUILD_DIR] [DATA_DIR]      (defaults: build, bench-data)
#
# The drawings of DATA_DIR are made by bench/gen_drawings.py when it has none.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
data=${2:-$root/bench-data}
bench=$build/bin/modes_bench
drawhost=$build/bin/drawhost
[ -x "$bench" ] || { echo "build modes_bench first: cmake --build $build --target modes_bench" >&2; exit 1; }
ls "$data"/*.dxf >/dev/null 2>&1 || /usr/bin/python3 "$root/bench/gen_drawings.py" set "$data"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fresh() {  # fresh copies of the set in $work/$1
    rm -rf "${work:?}/$1"; mkdir -p "$work/$1"
    cp "$data"/*.dxf "$work/$1/"
}
mb=$(du -cmL "$data"/*.dxf | tail -1 | cut -f1)
n=$(ls "$data"/*.dxf | wc -l)
secs() { sed -n 's/.*seconds=\([0-9.]*\).*/\1/p'; }

printf '%s files, %s MB\n\n' "$n" "$mb"
printf '| mode | laminor + drawhost s | ezdxf s | ratio | laminor report |\n|---|---|---|---|---|\n'
for mode in 1 2; do
    fresh "l$mode"
    lout=$(QT_QPA_PLATFORM=offscreen "$bench" "$drawhost" "$mode" "$work/l$mode"/*.dxf) || true
    fresh "e$mode"
    eout=$(/usr/bin/python3 "$here/ezdxf_modes.py" "$mode" "$work/e$mode"/*.dxf)
    ls_=$(echo "$lout" | secs); es=$(echo "$eout" | secs)
    report=$(echo "$lout" | sed -n 's/.*report="\(.*\)"/\1/p')
    ratio=$(awk -v a="$ls_" -v b="$es" 'BEGIN { if (a > 0) printf "%.1fx", b / a; else print "-" }')
    printf '| %s | %s | %s | %s | %s |\n' "$mode" "$ls_" "$es" "$ratio" "$report"
done
