#!/usr/bin/python3
"""Two builds of lumo against each other on the benchmark's own work, to see what a change costs.

Usage: compare_builds.py [--only TEXT] OLD_BUILD NEW_BUILD [RUNS]

Starts pyftpdlib and vsftpd on 127.0.0.1 as bench.py does, then runs each of lumo-cli's rows of
bench.py (download and upload of 1 GiB, a folder of 1,000 small files, ls of 100,000 entries) and
the in-process listing fill with the old and the new build taking turns at going first, RUNS times
each (5 by default). Prints the median of each build and new/old; a run that fails or leaves a
wrong file is named instead. With --only, only the rows whose work or server names contain TEXT.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

import bench as B


def lumo(build, server, mode, *command):
    return [os.path.join(build, "tools", "lumo-cli"), "--" + mode, server.target(), *command]


def cases(bench, server):
    """(label, step) pairs; a step takes a build folder and gives a Run."""
    big = os.path.join(bench.down, "big.bin")
    up = os.path.join(bench.root, "up", "big.bin")
    many = os.path.join(bench.down, "many")
    out = os.path.join(bench.work, "listing.out")
    return [
        ("download 1 GiB, passive",
         lambda b: B.measure(lumo(b, server, "passive", "get", server.remote_path("big.bin"), bench.down),
                             lambda: B.check_file(big, B.BIG_SIZE, bench.big_digest), lambda: B.remove(big))),
        ("upload 1 GiB, passive",
         lambda b: B.measure(lumo(b, server, "passive", "put", os.path.join(bench.local, "big.bin"),
                                  server.remote_path("up")),
                             lambda: B.check_file(up, B.BIG_SIZE, bench.big_digest), lambda: B.remove(up))),
        ("get folder of 1,000 files, active",
         lambda b: B.measure(lumo(b, server, "active", "get", server.remote_path("many"), bench.down),
                             lambda: B.check_tree(many, bench.small_sizes), lambda: B.remove(many))),
        ("ls of 100,000 entries",
         lambda b: B.measure(lumo(b, server, "passive", "ls", server.remote_path("wide")),
                             lambda: B.check_lines(out, B.LIST_ENTRIES), lambda: B.remove(out), out)),
    ]


def fill_step(build, listing):
    result = subprocess.run([os.path.join(build, "bench", "listing_fill"), listing, str(B.FILL_RUNS)],
                            capture_output=True, text=True)
    values = dict(w.split("=", 1) for w in result.stdout.split() if "=" in w)
    if result.returncode != 0 or "fill_ms" not in values:
        return B.Run(error=result.stderr.strip() or f"exit {result.returncode}")
    return B.Run(seconds=float(values["fill_ms"]) / 1000)


def alternate(step, builds, runs, drain=False):
    """Each build's runs, the two taking turns at going first. With `drain` each pair starts once
    the sockets of the pair before have left TIME_WAIT: a folder run leaves a thousand, and a pile
    of them slows every connect after it."""
    results = {b: [] for b in builds}
    for i in range(runs):
        if drain:
            B.drain_time_wait()
        for b in builds if i % 2 == 0 else reversed(builds):
            results[b].append(step(b))
    return results


def cell(runs):
    failed = next((r for r in runs if r.error), None)
    if failed:
        return None, "FAILED: " + failed.error[:40]
    median = statistics.median(r.seconds for r in runs)
    return median, f"{median:.3f} s"


def main():
    args = sys.argv[1:]
    only = ""
    if args[:1] == ["--only"] and len(args) > 1:
        only, args = args[1], args[2:]
    if len(args) not in (2, 3):
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    builds = [os.path.abspath(args[0]), os.path.abspath(args[1])]
    runs = int(args[2]) if len(args) == 3 else 5
    work = tempfile.mkdtemp(prefix="lumo-compare-")
    servers = []
    lines = []
    try:
        bench = B.Bench(builds[1], work)
        bench.prepare()
        B.progress("starting the servers")
        servers = [B.Pyftpdlib(bench.root, work), B.Vsftpd(bench.root, work)]
        for server in servers:
            server.start()
        for server in servers:
            for label, step in cases(bench, server):
                if only not in f"{label} {server.name}":
                    continue
                B.progress(f"{label} on {server.name}")
                B.drain_time_wait()
                lines.append((label, server.name, alternate(step, builds, runs, drain="folder" in label)))
            if only not in f"parse + fill {server.name}":
                continue
            # The listing fill reads the text the server sent for the wide folder.
            listing = os.path.join(work, f"list-{server.name}.txt")
            B.timed(B.Bench.curl("passive", server.url("wide/")), listing)
            B.progress(f"parse + fill on {server.name}'s text")
            lines.append(("parse + fill 100,000 lines", server.name,
                          alternate(lambda b: fill_step(b, listing), builds, runs)))
    finally:
        for server in servers:
            server.stop()
        shutil.rmtree(work, ignore_errors=True)
    print(f"old: {builds[0]}\nnew: {builds[1]}\nmedians of {runs}, the builds taking turns at going first\n")
    rows = [["work", "server", "old", "new", "new/old"]]
    for label, server, results in lines:
        (old, old_text), (new, new_text) = cell(results[builds[0]]), cell(results[builds[1]])
        rows.append([label, server, old_text, new_text, f"{new / old:.3f}" if old and new else "-"])
    widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
    for r in rows:
        print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
    return 0


if __name__ == "__main__":
    sys.exit(main())
