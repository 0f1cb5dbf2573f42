#!/usr/bin/env bash
# Runs the tests with ctest, offscreen, with a private runtime folder.
# Usage: run-tests.sh BUILD_DIR [JOBS [CTEST_ARGS...]]
set -euo pipefail
build=${1:-build}
jobs=${2:-2}
shift $(($# < 2 ? $# : 2))
runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime
# Nor the user's own cache (the temporary folder and the drag cache live there).
export XDG_CACHE_HOME=$runtime/cache
# No test reaches the user's own keyring or starts a session bus through X11; the keyring tests
# run on private buses of their own (tests/fixtures/keyring-session.sh).
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen
# In a sanitizer build the first fault ends the test program with its report.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 300 "$@"
