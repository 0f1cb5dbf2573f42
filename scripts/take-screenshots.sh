#!/usr/bin/env bash
# Takes the pictures of the window that the README and the user guide show: lumo at its first-start
# size on a 1366x768 virtual screen with a window manager, connected to the demo server.
# usage: take-screenshots.sh [BUILD]   (writes doc/guide/window.png)
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
bash "$here/install-deps.sh" shots demo
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

# A display of our own: the first free number from 90.
display=90
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
Xvfb :$display -screen 0 1366x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
export DISPLAY=:$display
openbox >"$work/openbox.log" 2>&1 &

# The demo's server and settings, in a folder of this run alone.
root=$work/root
mkdir -p "$root"
/usr/bin/python3 "$here/ftp_server.py" --root "$root" --user demo --password demo \
    --port-file "$work/port" 2>"$work/server.log" &
for _ in $(seq 600); do [ -s "$work/port" ] && break; sleep 0.05; done
/usr/bin/python3 "$here/demo_setup.py" "$root" "$work/config" "$(cat "$work/port")" "$work/downloads" >/dev/null
LUMO_CONFIG_DIR=$work/config "$build/app/lumo" >"$work/lumo.log" 2>&1 &

wait_for_title() {
    for _ in $(seq 200); do
        window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$window" ] && return 0
        sleep 0.1
    done
    import -window root "$repo/build/take-screenshots-failed.png"
    echo "take-screenshots: no window titled '$1' (the screen is in build/take-screenshots-failed.png)" >&2
    exit 1
}
wait_for_title '^lumo$'
xdotool windowactivate --sync "$window"
# Connect with the keyboard, as the guide tells: the host tree has the focus at start; its 接続
# item, then Enter.
xdotool key Home Down Return
wait_for_title ' - / - lumo$'
sleep 1
# The screen around the window is black: trimmed away, the frame and its title stay.
import -window root "$work/screen.png"
convert "$work/screen.png" -trim +repage "$repo/doc/guide/window.png"
echo "take-screenshots: wrote doc/guide/window.png"
