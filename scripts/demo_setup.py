#!/usr/bin/python3
"""Prepares the demo: a sample tree to serve and a private settings store naming the demo server.

usage: demo_setup.py ROOT CONFIG_DIR PORT DOWNLOADS
The tree is made once; the store is made once and its host's port is brought up to date each run,
so that what a newcomer changes in the demo's settings stays.
"""
import os
import random
import re
import sys

root, config_dir, port, downloads = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_tree():
    if os.path.isdir(root) and os.listdir(root):
        return
    rnd = random.Random(7)
    text = "これは lumo のデモ用サーバーです。\r\nファイルをダウンロードしたり、アップロードしたりしてみてください。\r\n"
    write(f"{root}/はじめにお読みください.txt", text.encode("utf-8"))
    write(f"{root}/index.html", b"<html><body><h1>lumo demo</h1></body></html>\n")
    write(f"{root}/ドキュメント/報告書_2026年12月.txt", ("報告書\r\n" * 2000).encode("utf-8"))
    write(f"{root}/ドキュメント/議事録/第1回.txt", "第1回 打ち合わせ\r\n".encode("utf-8"))
    write(f"{root}/ドキュメント/議事録/第2回.txt", "第2回 打ち合わせ\r\n".encode("utf-8"))
    write(f"{root}/画像/写真_富士山.jpg", rnd.randbytes(2 * 1024 * 1024))
    write(f"{root}/画像/写真_桜.jpg", rnd.randbytes(3 * 1024 * 1024 + 123))
    write(f"{root}/ソフトウェア/lumo-sample-1.0.tar.gz", rnd.randbytes(5 * 1024 * 1024))
    write(f"{root}/ソフトウェア/空のファイル.dat", b"")
    write(f"{root}/深い/階層/の/フォルダ/メモ.txt", "いちばん奥のメモ\r\n".encode("utf-8"))
    os.makedirs(f"{root}/空のフォルダ", exist_ok=True)
    os.makedirs(f"{root}/アップロード", exist_ok=True)


def scrambled_hex(text):
    return ",".join(f"{255 - b:02x}" for b in text.encode("utf-8")[:400])


def make_store():
    os.makedirs(config_dir, mode=0o700, exist_ok=True)
    os.makedirs(downloads, exist_ok=True)
    path = os.path.join(config_dir, "lumo.reg")
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            text = f.read()
        section = re.search(r"(\[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host0\][^\[]*)", text)
        if section:
            updated = re.sub(r'"Port"=dword:[0-9a-fA-F]+', f'"Port"=dword:{port:08x}', section.group(1))
            text = text.replace(section.group(1), updated)
            tmp = path + ".tmp"
            with open(tmp, "w", encoding="utf-8") as f:
                f.write(text)
            os.chmod(tmp, 0o600)
            os.replace(tmp, path)
            return
    text = f"""REGEDIT4

[HKEY_CURRENT_USER\\Software\\lumo]

[HKEY_CURRENT_USER\\Software\\lumo\\Host]
"MailAdr"="demo@example.com"

[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host0]
"Name"="デモサーバー"
"Adr"="127.0.0.1"
"User"="demo"
"Pass"=hex:{scrambled_hex("demo")}
"Hide"=dword:00000000
"Pasv"=dword:00000001
"Port"=dword:{port:08x}
"anonymous"=dword:00000000
"DownPath"="{downloads}/"
"UpPath"="{root}"
"Indexhtml"="index.html"
"Firewall"=dword:00000000
"icon"=dword:00000001
"""
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(fd, "w", encoding="utf-8") as f:
        f.write(text)


make_tree()
make_store()
