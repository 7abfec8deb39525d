#!/usr/bin/env bash
# One command for a newcomer: installs what is needed, builds, starts the
# drawing host with copies of the sample drawings open, then starts laminor
# (which lists the drawings open in the host at start-up).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh

# Work on copies, so that trying the tool never changes the samples themselves.
work="${LAMINOR_SAMPLES:-$HOME/laminor-samples}"
mkdir -p "$work"
cp -n samples/*.dxf "$work"/ 2>/dev/null || true

if [ -n "${DRAWHOST_SOCKET:-}" ]; then socket="$DRAWHOST_SOCKET"
elif [ -n "${XDG_RUNTIME_DIR:-}" ]; then socket="$XDG_RUNTIME_DIR/drawhost.sock"
else socket="/tmp/drawhost-$(id -u)/drawhost.sock"; fi

# True when a drawing host answers on the socket.
host_answers() {
  /usr/bin/python3 -c 'import socket,sys
s=socket.socket(socket.AF_UNIX)
try: s.connect(sys.argv[1])
except OSError: sys.exit(1)' "$socket" 2>/dev/null
}

if ! host_answers; then
  rm -f "$socket"  # left by a host that did not end cleanly
  build/bin/drawhost "$work"/*.dxf >/dev/null 2>&1 &
  for _ in $(seq 1 100); do host_answers && break; sleep 0.1; done
fi
exec build/bin/laminor "$@"
