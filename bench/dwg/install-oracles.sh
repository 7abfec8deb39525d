#!/bin/sh
# Installs the npm test oracles (never shipped) into bench/dwg/node_modules.
set -e
cd "$(dirname "$0")"
[ -f package.json ] || printf '{ "private": true, "type": "module" }\n' > package.json
npm install --no-audit --no-fund --silent @mlightcad/libredwg-web@0.7.14 @mlightcad/libdxfrw-web
