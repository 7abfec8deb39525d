#!/bin/sh
# Runs tagseek_x11_check under a private X server with the openbox window
# manager: CHECK DRAWHOST DRAWING [PICTURE.png]
set -u
check=$1; shift
if [ -z "${X11_FOCUS_INNER:-}" ]; then
  X11_FOCUS_INNER=1 exec xvfb-run -a -s "-screen 0 1600x1000x24" "$0" "$check" "$@"
fi
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null' EXIT
# The window manager announces itself on the root window once it manages windows.
i=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
  i=$((i + 1))
  if [ $i -gt 400 ]; then echo "openbox did not start"; exit 1; fi
  sleep 0.05
done
QT_QPA_PLATFORM=xcb "$check" "$@"
