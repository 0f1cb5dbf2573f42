#!/usr/bin/env bash
# Starts a loopback demo FTP server with a sample tree, a private settings store that names it,
# and lumo on that store; says in two lines what to click and where downloads go. Without a display
# it says how to get one and keeps the server for lumo-cli until Ctrl+C. The server stops when the
# demo ends.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
demo=$(cd "$build" && pwd)/demo
root=$demo/root
config=$demo/config
mkdir -p "$demo"

portfile=$demo/port
rm -f "$portfile"
# The server refuses a root that is not there yet.
mkdir -p "$root"
/usr/bin/python3 "$here/ftp_server.py" --root "$root" --user demo --password demo --port-file "$portfile" \
    2>"$demo/server.log" &
server=$!
trap 'kill $server 2>/dev/null || true; wait $server 2>/dev/null || true' EXIT INT TERM
# Python and pyftpdlib may take seconds to start on a busy machine; a server that ended is not waited for.
for _ in $(seq 600); do
    [ -s "$portfile" ] && break
    kill -0 $server 2>/dev/null || break
    sleep 0.05
done
[ -s "$portfile" ] || { echo "demo: the FTP server did not start; see $demo/server.log" >&2; exit 1; }
port=$(cat "$portfile")
/usr/bin/python3 "$here/demo_setup.py" "$root" "$config" "$port" "$demo/downloads"

export LUMO_CONFIG_DIR=$config
builddir=$(cd "$build" && pwd)
lumo=$builddir/app/lumo
if [ ! -x "$lumo" ]; then
    echo "demo: $lumo がありません。make demo でビルドしてください。" >&2
    exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # A window on a virtual display could not be seen or clicked; the server is still worth a try.
    echo "demo: 画面がない（DISPLAY も WAYLAND_DISPLAY もない）ため、lumo のウィンドウは開けません。デスクトップの端末で実行するか、X サーバーのあるマシンから ssh -X で入って実行してください。"
    echo "demo: 画面なしでも別の端末から試せます: LUMO_CONFIG_DIR=$config $builddir/tools/lumo-cli デモサーバー ls （Ctrl+C でサーバーを止めます）"
    wait $server
    exit 0
fi
echo "demo: ホストツリーの「デモサーバー」の「接続」をダブルクリックすると（ツールバーの接続ボタンでも）、127.0.0.1:$port のデモ用 FTP サーバー（$root）に接続します。"
echo "demo: ファイルを選んでダウンロードすると $demo/downloads/ に保存されます。lumo を閉じるとサーバーも止まります。"
"$lumo"
