#!/usr/bin/env bash
# Runs every test with ctest, offscreen, with a private runtime folder.
set -euo pipefail
build=${1:-build}
jobs=${2:-2}
runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 300
