#!/bin/sh
# Whether drawhost's view slows a batch run: mode 1 over the benchmark drawings
# through a drawhost whose window is shown (it draws every drawing the run
# opens), then through one whose window is minimised (unmapped: nothing is
# drawn), each on fresh copies, on a virtual X display.
#
#   xvfb-run -a -s "-screen 0 1600x1000x24" bench/view/mode1_window.sh [BUILD_DIR] [DATA_DIR]
#
# (defaults: build, bench-data; bench/gen_drawings.py makes the drawings when DATA_DIR has none)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
data=${2:-$root/bench-data}
ls "$data"/*.dxf >/dev/null 2>&1 || /usr/bin/python3 "$root/bench/gen_drawings.py" set "$data"
[ -n "${DISPLAY:-}" ] || { echo "run under xvfb-run (see the header)" >&2; exit 1; }
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

printf '| window | seconds | laminor report |\n|---|---|---|\n'
for state in shown minimised; do
    rm -rf "$work/d"; mkdir -p "$work/d"; cp "$data"/*.dxf "$work/d/"
    sock="$work/drawhost.sock"
    QT_QPA_PLATFORM=xcb "$build/bin/drawhost" --socket "$sock" >/dev/null 2>&1 &
    pid=$!
    win=$(xdotool search --sync --pid "$pid" --name drawhost | head -1)
    xdotool windowsize "$win" 1600 1000
    [ "$state" = minimised ] && xdotool windowunmap --sync "$win"
    out=$(DRAWHOST_SOCKET="$sock" "$build/bin/modes_bench" "$build/bin/drawhost" 1 "$work/d"/*.dxf) || true
    kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
    secs=$(echo "$out" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')
    report=$(echo "$out" | sed -n 's/.*report="\(.*\)"/\1/p')
    printf '| %s | %s | %s |\n' "$state" "$secs" "$report"
done
