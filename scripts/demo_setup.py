#!/usr/bin/python3
"""Prepares the demo: a sample tree to serve and a private settings store naming the demo server.

usage: demo_setup.py ROOT CONFIG_DIR PORT DOWNLOADS
The tree is made once; the store is made once, and each run brings the demo host's port up to date
(the host is found by its name, address and user, wherever the host list has moved it; it is added
after the others when it is gone), so that what a newcomer changes in the demo's settings stays.
"""
import fcntl
import os
import random
import re
import sys
import tempfile

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


HOSTS = "HKEY_CURRENT_USER\\Software\\lumo\\Host\\"
# What identifies the demo's host, whatever number the host list has given it.
DEMO_HOST = {"name": "デモサーバー", "adr": "127.0.0.1", "user": "demo"}
PASSWORD = "demo"
NEW_STORE = """REGEDIT4

[HKEY_CURRENT_USER\\Software\\lumo]

[HKEY_CURRENT_USER\\Software\\lumo\\Host]
"MailAdr"="demo@example.com"
"""
HOST_LINE = re.compile(r"\[" + re.escape(HOSTS) + r"Host(\d+)\]", re.IGNORECASE)
VALUE_LINE = re.compile(r'"((?:[^"\\]|\\.)*)"=(.*)')


def scrambled_hex(text):
    return ",".join(f"{255 - b:02x}" for b in text.encode("utf-8")[:400])


def pass_line():
    return f'"Pass"=hex:{scrambled_hex(PASSWORD)}\n'


def port_line():
    return f'"Port"=dword:{port:08x}\n'


def demo_host(number):
    return f"""
[{HOSTS}Host{number}]
"Name"="{DEMO_HOST["name"]}"
"Adr"="{DEMO_HOST["adr"]}"
"User"="{DEMO_HOST["user"]}"
{pass_line()}"Hide"=dword:00000000
"Pasv"=dword:00000001
{port_line()}"anonymous"=dword:00000000
"DownPath"="{downloads}/"
"UpPath"="{root}"
"Indexhtml"="index.html"
"Firewall"=dword:00000000
"icon"=dword:00000001
"""


def blocks_of(text):
    """The store's lines cut before each key line: each key with its values."""
    blocks = [[]]
    for line in text.splitlines(keepends=True):
        if line.lstrip().startswith("["):
            blocks.append([])
        blocks[-1].append(line if line.endswith("\n") else line + "\n")
    return blocks


def values_of(block):
    """{value name without case: (line in the block, data as written)}."""
    found = {}
    for i, line in enumerate(block):
        value = VALUE_LINE.fullmatch(line.strip())
        if value:
            found[value.group(1).casefold()] = (i, value.group(2))
    return found


def set_value(block, name, line):
    found = values_of(block).get(name.casefold())
    if found:
        block[found[0]] = line
        return
    at = len(block)
    while at > 1 and not block[at - 1].strip():
        at -= 1
    block.insert(at, line)


def update_store(text):
    """The store's text with the demo host's port brought up to date, or the demo host added after
    the others. Every other host stays as it is."""
    blocks = blocks_of(text)
    hosts = {}
    for block in blocks[1:]:
        key = HOST_LINE.fullmatch(block[0].strip())
        if key:
            hosts[int(key.group(1))] = block
    # The program lists Host0, Host1, ... up to the first missing number.
    count = 0
    while count in hosts:
        count += 1
    for number in range(count):
        block = hosts[number]
        values = values_of(block)
        if all(values.get(name, (0, ""))[1] == f'"{want}"' for name, want in DEMO_HOST.items()):
            set_value(block, "Port", port_line())
            # A password in the keyring is filed under the old port: the store holds it again.
            marker = values.get("passinkeyring")
            if marker and marker[1] != "dword:00000000":
                del block[marker[0]]
                set_value(block, "Pass", pass_line())
            return "".join("".join(b) for b in blocks)
    return "".join("".join(b) for b in blocks) + demo_host(count)


def make_store():
    os.makedirs(config_dir, mode=0o700, exist_ok=True)
    os.makedirs(downloads, exist_ok=True)
    path = os.path.join(config_dir, "lumo.reg")
    # The program's own write lock: a running lumo neither writes meanwhile nor loses this write.
    lock = os.open(path + ".lock", os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o600)
    try:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            with open(path, encoding="utf-8-sig") as f:
                text = f.read()
        except FileNotFoundError:
            text = ""
        text = update_store(text if text.strip() else NEW_STORE)
        fd, tmp = tempfile.mkstemp(prefix="lumo.reg.demo-", dir=config_dir)
        try:
            with os.fdopen(fd, "w", encoding="utf-8") as f:
                f.write(text)
                f.flush()
                os.fsync(f.fileno())
            os.replace(tmp, path)
        except BaseException:
            os.unlink(tmp)
            raise
    finally:
        os.close(lock)


make_tree()
make_store()
