#!/usr/bin/env bash
# Runs every test with ctest, offscreen, with a private runtime folder.
set -euo pipefail
build=${1:-build}
jobs=${2:-2}
runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime
# No test reaches the user's own keyring or starts a session bus through X11; the keyring tests
# run on private buses of their own (tests/fixtures/keyring-session.sh).
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 300
