#!/usr/bin/python3
"""Keeping a site in sync over a real network: lumo-cli mirror-up against lftp mirror -R.

Usage: mirror.py BUILD_DIR [--delay 20] [--files 1000] [--parallel 8]

Writes a tree of FILES small files in 20 folders (as latency.py does), serves an empty folder from
pyftpdlib behind delay_proxy.py, and times for each client: the first mirror of the tree, a second
with nothing changed, and a third after 10 files changed here (counting the files each sent). For
lumo-cli also the plain parallel upload of the same tree, which the first mirror is measured
against. Every mirror's result is checked byte for byte.
"""
import argparse
import os
import random
import shlex
import shutil
import subprocess
import sys
import tempfile

import bench as B
import latency as L

CHANGED = 10


def lumo_argv(lumo_cli, proxy, sessions, *command, verbose=False):
    return [lumo_cli, "--passive", f"--parallel={sessions}", *(["-v"] if verbose else []), proxy.target(),
            *command]


def lftp_argv(home, proxy, sessions, local, remote):
    script = (f"{L.LFTP_SETTINGS}; open -u {proxy.user},{proxy.password} ftp://127.0.0.1:{proxy.port}; "
              f"mirror -R -v --only-newer --no-perms --parallel={sessions} {shlex.quote(local)} {remote}")
    return ["env", f"HOME={home}", L.LFTP, "-c", script]


def sent_files(argv, lumo):
    """Runs a client once more with its log: the files it sent (STOR lines, lftp's "Transferring")."""
    result = subprocess.run(argv, capture_output=True, text=True)
    text = result.stderr + result.stdout
    if lumo:
        return sum(1 for line in text.splitlines() if "STOR " in line)
    return sum(1 for line in text.splitlines() if line.startswith("Transferring file"))


def change_files(tree, digests, rng):
    """Rewrites CHANGED files with other bytes of another size; returns the new digests."""
    for rel in rng.sample(sorted(digests), CHANGED):
        data = rng.randbytes(rng.randint(L.SMALLEST, L.LARGEST) + 1)
        with open(os.path.join(tree, rel), "wb") as f:
            f.write(data)
    return {rel: B.sha256(os.path.join(tree, rel)) for rel in digests}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--delay", type=float, default=20)
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--parallel", type=int, default=8)
    args = parser.parse_args()
    lumo_cli = os.path.join(os.path.abspath(args.build), "tools", "lumo-cli")
    for program in (lumo_cli, L.LFTP, B.GNU_TIME):
        if not os.access(program, os.X_OK):
            print(f"mirror: {program} is missing (make build; lftp: scripts/install-deps.sh bench)",
                  file=sys.stderr)
            return 1
    work = tempfile.mkdtemp(prefix="lumo-mirror-")
    server = proxy = None
    rows = []
    try:
        root, home = os.path.join(work, "root"), os.path.join(work, "home")
        # put sends a folder into one that is there; mirror-up makes its folder itself.
        os.makedirs(os.path.join(root, "put"))
        os.makedirs(home)
        os.environ["LUMO_CONFIG_DIR"] = os.path.join(work, "config")
        B.progress(f"writing {args.files:,} files")
        sources = {}
        for client in ("lumo", "lftp", "put"):
            sources[client] = os.path.join(work, client, "tree")
            digests = L.make_tree(sources[client], args.files)
        server = B.Pyftpdlib(root, work)
        server.start()
        proxy = L.DelayProxy(server, args.delay, work)
        proxy.start()

        def run(label, argv, remote, digests, lumo):
            B.drain_time_wait(L.TIME_WAIT_LIMIT)
            B.progress(f"{label}")
            result = B.measure(argv, lambda: L.check_copy(os.path.join(root, remote), digests), lambda: None)
            rows.append((label, result))
            return result

        n = args.parallel
        put = lumo_argv(lumo_cli, proxy, n, "put", sources["put"], "/put")
        run(f"lumo-cli put --parallel={n} (the plain upload)", put, "put/tree", digests, True)
        for client in ("lumo", "lftp"):
            lumo = client == "lumo"
            remote = f"/{client}"

            def argv(verbose=False):
                if lumo:
                    return lumo_argv(lumo_cli, proxy, n, "mirror-up", sources[client], remote, verbose=verbose)
                return lftp_argv(home, proxy, n, sources[client], remote)

            name = f"lumo-cli mirror-up --parallel={n}" if lumo else f"lftp mirror -R --only-newer --parallel={n}"
            tree_digests = {rel: B.sha256(os.path.join(sources[client], rel)) for rel in digests}
            run(f"{name}: first", argv(), client, tree_digests, lumo)
            run(f"{name}: nothing changed", argv(), client, tree_digests, lumo)
            tree_digests = change_files(sources[client], tree_digests, random.Random(27))
            run(f"{name}: {CHANGED} changed", argv(), client, tree_digests, lumo)
            tree_digests = change_files(sources[client], tree_digests, random.Random(28))
            rows.append((f"{name}: files sent for {CHANGED} changed", sent_files(argv(verbose=True), lumo)))
    finally:
        if proxy:
            proxy.stop()
        if server:
            server.stop()
        shutil.rmtree(work, ignore_errors=True)

    print(f"Mirror: {args.files:,} files, pyftpdlib behind a {args.delay:g} ms delaying proxy, one run each")
    print(subprocess.run([L.LFTP, "--version"], capture_output=True, text=True).stdout.splitlines()[0])
    failed = False
    for label, result in rows:
        if isinstance(result, int):
            print(f"  {label:62} {result:6d}")
        elif result.error:
            failed = True
            print(f"  {label:62} FAILED: {result.error}")
        else:
            print(f"  {label:62} {result.seconds:6.2f} s")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
