#!/bin/sh
# Installs the openrgb-sdk npm client into PREFIX/node_modules unless that
# version is there already, so only the first test run needs the registry.
set -eu
prefix=${1:?usage: npm_install.sh PREFIX}
if grep -qs '"version": "0.6.0"' "$prefix/node_modules/openrgb-sdk/package.json"; then
  exit 0
fi
command -v npm >/dev/null || { echo "npm_install.sh: npm is missing; scripts/setup installs it" >&2; exit 1; }
npm install --prefix "$prefix" --no-audit --no-fund openrgb-sdk@0.6.0
