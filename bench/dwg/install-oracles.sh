#!/bin/sh
# Installs the npm test oracles (never shipped) into bench/dwg/node_modules,
# at the versions package-lock.json pins.
set -e
cd "$(dirname "$0")"
npm ci --no-audit --no-fund --silent
