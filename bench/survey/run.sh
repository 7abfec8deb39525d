#!/bin/sh
# Mode 3 over the 20 small and 5 medium benchmark drawings: laminor-batch
# survey (in-process engine, workbook written with libxlsxwriter) against
# python3-ezdxf + openpyxl making the same workbook, in one run; then the two
# workbooks compared cell by cell.
#
#   bench/survey/run.sh [BUILD_DIR] [DATA_DIR]      (defaults: build, bench-data)
#
# The drawings of DATA_DIR are made by bench/gen_drawings.py when it has none.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
data=${2:-$root/bench-data}
exe=$build/bin/laminor-batch
[ -x "$exe" ] || { echo "build laminor-batch first: cmake --build $build --target laminor-batch" >&2; exit 1; }
ls "$data"/small_*.dxf >/dev/null 2>&1 || /usr/bin/python3 "$root/bench/gen_drawings.py" set "$data"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
set -- "$data"/small_*.dxf "$data"/medium_*.dxf
mb=$(du -cm "$@" | tail -1 | cut -f1)
now() { date +%s.%N; }

t0=$(now)
"$exe" survey --count --text --out "$work/laminor.xlsx" "$@" >"$work/laminor.txt"
t1=$(now)
ez=$(/usr/bin/python3 "$here/ezdxf_survey.py" --out "$work/ezdxf.xlsx" "$@")
t2=$(now)
same=$(/usr/bin/python3 "$root/main/tests/compare_workbooks.py" "$work/laminor.xlsx" "$work/ezdxf.xlsx" | tail -1) || true

ls_=$(echo "$t1 - $t0" | bc)
es=$(echo "$t2 - $t1" | bc)
printf '%s drawings, %s MB, %s cores, load %s\n\n' "$#" "$mb" "$(nproc)" "$(cut -d' ' -f1 /proc/loadavg)"
printf '| survey --count --text, one workbook | seconds | MB/s |\n|---|---|---|\n'
printf '| laminor-batch survey (libxlsxwriter) | %.2f | %.1f |\n' "$ls_" "$(echo "$mb / $ls_" | bc -l)"
printf '| python3-ezdxf + openpyxl | %.2f | %.1f |\n' "$es" "$(echo "$mb / $es" | bc -l)"
printf '\nratio %.1fx; ezdxf: %s\nworkbooks compared: %s\n' "$(echo "$es / $ls_" | bc -l)" "$ez" "$same"
