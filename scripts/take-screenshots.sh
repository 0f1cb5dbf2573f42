#!/usr/bin/env bash
# Takes the pictures that the README and the user guide show, on a 1366x768 virtual screen with a
# window manager: lumo at its first-start size connected to the demo server, and the preview of a
# mirror upload of a small web site whose pair was mirrored once and changed on both sides since.
# usage: take-screenshots.sh [BUILD]   (writes doc/guide/window.png and doc/guide/mirror-preview.png)
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
lumo=$!

wait_for_title() {
    for _ in $(seq 200); do
        window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$window" ] && return 0
        sleep 0.1
    done
    give_up "no window titled '$1'"
}
give_up() {
    import -window root "$repo/build/take-screenshots-failed.png"
    echo "take-screenshots: $1 (the screen is in build/take-screenshots-failed.png)" >&2
    exit 1
}
# Connect with the keyboard, as the guide tells: the host tree has the focus at start; its 接続
# item, then Enter.
connect_demo() {
    wait_for_title '^lumo$'
    xdotool windowactivate --sync "$window"
    xdotool key Home Down Return
    wait_for_title " - $1 - lumo\$"
}
connect_demo /
sleep 1
# The screen around the window is black: trimmed away, the frame and its title stay.
import -window root "$work/screen.png"
convert "$work/screen.png" -trim +repage "$repo/doc/guide/window.png"
echo "take-screenshots: wrote doc/guide/window.png"

# The mirror's picture. A small site, mirrored up once to /www by lumo-cli with the same pair (so
# that the record knows what was sent), then changed: two pages edited and a folder of news added
# here, an old folder taken away, a link made; and the top page edited on the server since.
port=$(cat "$work/port")
site=$work/site
mkdir -p "$site/css" "$site/img" "$site/old" "$site/.git" "$root/www"
page() { printf '<!DOCTYPE html>\n<html lang="ja"><head><meta charset="utf-8"><title>%s</title></head>\n<body>%s</body></html>\n' "$2" "$3" >"$1"; }
page "$site/index.html" "ようこそ" "<h1>ようこそ</h1>"
page "$site/about.html" "会社案内" "<h1>会社案内</h1>"
page "$site/old/campaign.html" "春のキャンペーン" "<p>キャンペーンは終了しました。</p>"
printf 'body { font-family: sans-serif; }\n' >"$site/css/style.css"
head -c 4816 /dev/urandom >"$site/img/logo.png"
printf 'ref: refs/heads/main\n' >"$site/.git/HEAD"
LUMO_CONFIG_DIR=$work/config "$build/tools/lumo-cli" --delete --exclude '*.tmp' --exclude '.git/' \
    デモサーバー mirror-up "$site" /www >"$work/first-mirror.log" 2>&1 ||
    { cat "$work/first-mirror.log" >&2; give_up "the first mirror failed"; }
page "$site/about.html" "会社案内" "<h1>会社案内</h1><p>所在地と地図を載せました。</p>"
printf 'body { font-family: sans-serif; line-height: 1.7; }\nh1 { color: #4a7ab8; }\n' >"$site/css/style.css"
mkdir "$site/news"
page "$site/news/index.html" "お知らせ" "<ul><li><a href=\"2026-06.html\">6 月のお知らせ</a></li></ul>"
page "$site/news/2026-06.html" "6 月のお知らせ" "<p>夏季休業のご案内です。休業中のお問い合わせには、翌営業日から順にお答えします。</p>"
ln -s news/2026-06.html "$site/latest.html"
printf 'draft\n' >"$site/下書き.tmp"
rm -r "$site/old"
page "$root/www/index.html" "ようこそ" "<h1>ようこそ</h1><p>サーバーで直接書き換えた行</p>"

# lumo again, opening the pair's server folder at login; the pair's settings stored as the folder
# dialog stores them (settings/MirrorPairs.cpp): the local folder, removals on, two exclusions.
kill "$lumo"
wait "$lumo" || true
store=$work/config/lumo.reg
sed -i '/^"RemotePath"=/d; s|^"Indexhtml"=.*|&\n"RemotePath"="/www"|' "$store"
grep -q '^"RemotePath"="/www"$' "$store" || give_up "the demo host has no Indexhtml line to put its folder after"
pair=$(printf '127.0.0.1\0%s\0demo\0/www' "$port" | sha256sum | cut -c1-32)
cat >>"$store" <<PAIR

[HKEY_CURRENT_USER\Software\lumo\lumo\Mirror\\$pair]
"Adr"="127.0.0.1"
"Port"=dword:$(printf %08x "$port")
"User"="demo"
"RemotePath"="/www"
"LocalPath"="$site"
"RemoveAbsent"=dword:00000001
"Excludes"=dword:00000002
"Exclude0"="*.tmp"
"Exclude1"=".git/"
PAIR
LUMO_CONFIG_DIR=$work/config "$build/app/lumo" >>"$work/lumo.log" 2>&1 &
lumo=$!
connect_demo /www
# ファイル → ミラーリングアップロード. The command stays off until the folder's listing is in: the menu
# is closed again and opened once more until the preview comes.
preview=
for _ in $(seq 20); do
    xdotool key alt+f
    sleep 0.2
    xdotool key m
    for _ in $(seq 30); do
        preview=$(xdotool search --onlyvisible --name '^ミラーリングアップロードの確認$' 2>/dev/null | head -1) && break
        xdotool search --onlyvisible --name '^ミラーリングするフォルダ$' >/dev/null 2>&1 &&
            give_up "lumo asked for the pair's folder: the stored pair was not found"
        sleep 0.1
    done
    [ -n "$preview" ] && break
    xdotool key Escape Escape
done
[ -n "$preview" ] || give_up "no mirror preview came"
sleep 1
import -frame -window "$preview" "$repo/doc/guide/mirror-preview.png"
xdotool key Escape
echo "take-screenshots: wrote doc/guide/mirror-preview.png"
