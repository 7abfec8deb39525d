#!/bin/sh
# Mode 4 over a folder of drawings: the merged script of a <LAYERNAME> body
# made by laminor-batch through a real drawhost, then the same expansion by
# ezdxf (ezdxf_script.py), the two scripts compared byte for byte, and the ratio.
#
#   bench/script/run.sh [BUILD_DIR] [DATA_DIR]      (defaults: build, bench-data)
#
# The drawings of DATA_DIR are made by bench/gen_drawings.py when it has none.
# drawhost is started first on a private socket (its start-up is timed apart);
# laminor-batch runs from a program folder of its own with a default
# Laminor.ini, as a scheduler would run it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
data=${2:-$root/bench-data}
ls "$data"/*.dxf >/dev/null 2>&1 || /usr/bin/python3 "$root/bench/gen_drawings.py" set "$data"
data=$(cd "$data" && pwd)
work=$(mktemp -d)
host_pid=
cleanup() {
    [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/prog"
cp "$build/bin/laminor-batch" "$build/bin/drawhost" "$work/prog/"
printf '; one copy per layer\r\n-LAYER\r\nS\r\n<LAYERNAME>\r\n\r\nREGEN\r\n' > "$work/base.scr"

export QT_QPA_PLATFORM=offscreen DRAWHOST_SOCKET="$work/drawhost.sock"
now() { date +%s.%N; }
t0=$(now)
"$work/prog/drawhost" --socket "$DRAWHOST_SOCKET" >/dev/null 2>&1 &
host_pid=$!
while [ ! -S "$DRAWHOST_SOCKET" ]; do sleep 0.01; done
t1=$(now)
"$work/prog/laminor-batch" script --base "$work/base.scr" --out "$work/laminor.scr" "$data"/*.dxf > "$work/laminor.log"
t2=$(now)
eout=$(/usr/bin/python3 "$here/ezdxf_script.py" "$work/base.scr" "$work/ezdxf.scr" "$data"/*.dxf)

n=$(ls "$data"/*.dxf | wc -l)
mb=$(du -cmL "$data"/*.dxf | tail -1 | cut -f1)
ls_=$(awk -v a="$t1" -v b="$t2" 'BEGIN { printf "%.3f", b - a }')
start=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
es=$(echo "$eout" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')
same=$(cmp -s "$work/laminor.scr" "$work/ezdxf.scr" && echo "identical" || echo "DIFFERENT")
blocks=$(grep -c '^open' "$work/laminor.scr" || true)
lines=$(wc -l < "$work/laminor.scr")
printf '%s drawings, %s MB; %s blocks, %s lines (%s); drawhost start-up %s s\n\n' "$n" "$mb" "$blocks" "$lines" "$same" "$start"
printf '| laminor-batch + drawhost s | ezdxf s | ratio |\n|---|---|---|\n'
printf '| %s | %s | %s |\n' "$ls_" "$es" "$(awk -v a="$ls_" -v b="$es" 'BEGIN { printf "%.1fx", b / a }')"
[ "$same" = identical ]
