#!/usr/bin/env bash
# One command for a newcomer: installs what is needed, builds, and starts laminor.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh
exec build/bin/laminor "$@"
