#!/usr/bin/python3
"""Many small files over a link with a round trip of D: lumo-cli against lftp mirror.

Usage: latency.py BUILD_DIR [--delays 20,50] [--files 1000] [--runs 3] [--parallel 4,8]

Writes a tree of FILES files of 1-8 KB in 20 folders, serves it from pyftpdlib on 127.0.0.1 as
bench.py does, and puts delay_proxy.py in front of it: first at 0 ms, which prices the proxy
itself, then at each delay. Through the proxy every client gets the tree (down) and puts it back
(up), in passive mode, the clients taking turns at going first; each result is checked byte for byte.
Prints one table of the medians and the round trips each file costs.
"""
import argparse
import hashlib
import os
import random
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass

import bench as B

HERE = os.path.dirname(os.path.abspath(__file__))
PROXY = os.path.join(HERE, "delay_proxy.py")
PROXY_CHECK = os.path.join(HERE, "delay_proxy_check.py")
FOLDERS = 20
SMALLEST, LARGEST = 1024, 8192
LFTP = "/usr/bin/lftp"
# lftp as it runs against a plain server, but without asking for TLS first (lumo-cli does not
# either on ftp://) and without retrying a failure for minutes (a failure is a result here).
LFTP_SETTINGS = "set ftp:ssl-allow no; set net:max-retries 1"
# A run leaves two sockets in TIME_WAIT per connection through the proxy. The microseconds they add
# to a connect are nothing beside a round trip here; a run waits for them only to keep the
# ephemeral ports (some 28,000) from running out.
TIME_WAIT_LIMIT = 15000
# The goal of the parallel work: one session within this many round trips per file, 4 sessions this
# much faster than one, 8 sessions as fast as lftp with 8.
ROUND_TRIP_TARGET = 3.1
SPEEDUP_TARGET = 3.5


@dataclass
class Client:
    label: str
    sessions: int
    down: object  # (proxy) -> argv, or None when the client cannot run yet
    up: object
    why_not: str = ""


class DelayProxy(B.Server):
    """delay_proxy.py in front of `server`: clients log in through it as they would to the server."""

    def __init__(self, server, delay_ms, work):
        super().__init__(server.root, work)
        self.name = f"{server.name} at {delay_ms:g} ms"
        self.user, self.password = server.user, server.password
        self.upstream = server.port
        self.delay_ms = delay_ms

    def home(self):
        return ""

    def start(self):
        port_file = os.path.join(self.work, "proxy.port")
        B.remove(port_file)
        self.process = subprocess.Popen(
            [B.PYTHON, PROXY, "--upstream", str(self.upstream), "--delay", f"{self.delay_ms:g}",
             "--port-file", port_file], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        self.port = B.reported_port(self.process, port_file, "the delaying proxy")


def make_tree(root, files):
    """FILES files of random sizes and bytes in FOLDERS folders; their SHA-256 by relative path."""
    rng = random.Random(26)
    digests = {}
    for i in range(files):
        rel = os.path.join(f"folder{i % FOLDERS:02d}", f"file{i:04d}.dat")
        data = rng.randbytes(rng.randint(SMALLEST, LARGEST))
        os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
        with open(os.path.join(root, rel), "wb") as f:
            f.write(data)
        digests[rel] = hashlib.sha256(data).hexdigest()
    return digests


def check_copy(path, digests):
    """Empty when `path` holds exactly the tree's files, byte for byte, else what differs."""
    if not os.path.isdir(path):
        return "no folder"
    got = {}
    for folder, _, names in os.walk(path):
        for name in names:
            full = os.path.join(folder, name)
            got[os.path.relpath(full, path)] = B.sha256(full)
    if got == digests:
        return ""
    missing = len(digests.keys() - got.keys())
    extra = len(got.keys() - digests.keys())
    wrong = sum(1 for rel in digests.keys() & got.keys() if got[rel] != digests[rel])
    return f"{missing} missing, {wrong} differing, {extra} unexpected"


def lumo_has_parallel(lumo_cli):
    result = subprocess.run([lumo_cli, "--help"], capture_output=True, text=True)
    return "--parallel" in result.stdout + result.stderr


def lumo_label(sessions):
    return "lumo-cli get / put" + (f" --parallel={sessions}" if sessions > 1 else "")


def lftp_label(sessions):
    return "lftp mirror" + (f" --parallel={sessions}" if sessions > 1 else "")


def clients(lumo_cli, home, local, down, parallel):
    local_tree, down_tree = os.path.join(local, "tree"), os.path.join(down, "tree")

    has_parallel = lumo_has_parallel(lumo_cli)

    def lumo(sessions):
        # One session is asked for by name: lumo-cli's own default is several.
        option = [f"--parallel={sessions}"] if has_parallel else []
        return Client(lumo_label(sessions), sessions,
                      lambda p: [lumo_cli, "--passive", *option, p.target(), "get", "/tree", down],
                      lambda p: [lumo_cli, "--passive", *option, p.target(), "put", local_tree, "/up"])

    def lftp(sessions):
        option = f" --parallel={sessions}" if sessions > 1 else ""

        def argv(p, mirror):
            script = f"{LFTP_SETTINGS}; open -u {p.user},{p.password} ftp://127.0.0.1:{p.port}; {mirror}"
            # Its own home: no settings, bookmarks or history of whoever runs the benchmark.
            return ["env", f"HOME={home}", LFTP, "-c", script]

        return Client(lftp_label(sessions), sessions,
                      lambda p: argv(p, f"mirror{option} /tree {shlex.quote(down_tree)}"),
                      # lumo-cli sets no modes on what it puts, so neither does lftp.
                      lambda p: argv(p, f"mirror -R --no-perms{option} {shlex.quote(local_tree)} /up/tree"))

    rows = [lumo(1)]
    for n in parallel:
        row = lumo(n)
        if not has_parallel:
            row.down = row.up = None
            row.why_not = "not yet: this lumo-cli has no --parallel"
        rows.append(row)
    return rows + [lftp(1)] + [lftp(n) for n in parallel]


def median(runs):
    """The median time, or None when a run failed or none ran."""
    if not runs or any(r.error for r in runs):
        return None
    return statistics.median(r.seconds for r in runs)


def round_trips(results, label, way, delay, files):
    at_delay, at_zero = median(results.get((label, way, delay))), median(results.get((label, way, 0)))
    if at_delay is None or at_zero is None:
        return None
    return (at_delay - at_zero) / (files * delay / 1000)


def cell(runs):
    failed = next((r for r in runs if r.error), None)
    if failed:
        return "WRONG FILES" if failed.error.startswith("wrong result") else "FAILED"
    return f"{median(runs):.2f} s"


def table(rows, results, delays, files):
    head = ["client", "sessions", "way"]
    for d in delays:
        head += [f"{d:g} ms"] + (["RT/file"] if d else [])
    lines, details = [], []
    for client in rows:
        for way in ("down", "up"):
            line = [client.label if way == "down" else "", str(client.sessions) if way == "down" else "", way]
            if client.why_not:
                lines.append(line + [client.why_not])
                continue
            for d in delays:
                runs = results[client.label, way, d]
                line.append(cell(runs))
                if d:
                    trips = round_trips(results, client.label, way, d, files)
                    line.append(f"{trips:.2f}" if trips is not None else "-")
                failed = next((r for r in runs if r.error), None)
                if failed:
                    details.append(f"  {client.label}, {way}, {d:g} ms: {failed.error}")
            lines.append(line)
    # A row that did not run has one note in place of its times; the note does not widen the columns.
    widths = [max(len(r[i]) for r in [head] + lines if i < 3 or len(r) == len(head))
              for i in range(len(head))]
    fmt = lambda r: "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip()
    out = [fmt(head), fmt(["-" * w for w in widths])] + [fmt(r) for r in lines]
    if details:
        out += ["", "Failures:"] + details
    return "\n".join(out)


# What N sessions of lumo-cli are held to: (sessions, the row they are held against, the ratio of the
# two medians, whether it is met, what it is).
PARALLEL_GOALS = [
    (4, lumo_label(1), lambda mine, theirs: theirs / mine, lambda ratio: ratio >= SPEEDUP_TARGET,
     f"x one session's speed (>= {SPEEDUP_TARGET})"),
    (8, lftp_label(8), lambda mine, theirs: mine / theirs, lambda ratio: ratio <= 1.0,
     "x lftp --parallel=8's time (<= 1.0)"),
]


def goals(rows, results, delays, files):
    """One line per delay and way: the targets of the parallel work, met, missed or not measurable."""
    why_not = {c.label: c.why_not for c in rows}
    out = []
    for d in delays[1:]:
        for way in ("down", "up"):
            trips = round_trips(results, lumo_label(1), way, d, files)
            parts = [f"one session {trips:.2f} RT/file (<= {ROUND_TRIP_TARGET}): "
                     f"{'met' if trips <= ROUND_TRIP_TARGET else 'MISSED'}" if trips is not None
                     else "one session: -"]
            for sessions, reference, ratio, meets, what in PARALLEL_GOALS:
                label = lumo_label(sessions)
                if label not in why_not or reference not in why_not:
                    continue
                mine, theirs = median(results.get((label, way, d))), median(results.get((reference, way, d)))
                if why_not[label]:
                    parts.append(f"{sessions} sessions: not yet")
                elif mine is None or theirs is None:
                    parts.append(f"{sessions} sessions: -")
                else:
                    value = ratio(mine, theirs)
                    verdict = "met" if meets(value) else "MISSED"
                    parts.append(f"{sessions} sessions {value:.2f}{what}: {verdict}")
            out.append(f"- {d:g} ms {way}: " + "; ".join(parts))
    return "\n".join(out)


def notes(files, total, runs):
    sizes = f"{SMALLEST // 1024}-{LARGEST // 1024} KB"
    tree = f"{files:,} files of {sizes} ({total / 1e6:.1f} MB) in {FOLDERS} folders"
    return f"""\
Notes:
- The tree: {tree},
  served by pyftpdlib on 127.0.0.1 behind delay_proxy.py, which holds every byte D/2 each way and makes a new
  connection cost a TCP handshake (the server sees it 1.5 D after the connect); passive data
  connections go through it too. Times are whole processes (start, login, work, exit), medians of
  {runs} run(s), the clients taking turns at going first; down gets /tree into an empty folder, up
  puts it into /up.
- RT/file = (median at D - median at 0 ms through the same proxy) / (files x D): the round trips
  each file costs. The 0 ms column is the same work through the proxy without delay, so the
  proxy's own work (a few milliseconds a file, in Python) is not counted as round trips.
- Every result is checked byte for byte (SHA-256 of each file, no file missing or extra); a run that
  fails or leaves a wrong tree shows as FAILED or WRONG FILES, with the reason below the table.
- lftp: mirror (and mirror -R for up) with ftp:ssl-allow no (lumo-cli asks for no TLS on ftp://
  either) and --no-perms on upload (lumo-cli sets no modes); lftp still sends MFMT after each file
  it puts, to keep the file's time. lftp's --parallel=N moves N files at once on N connections."""


def parse_list(text, kind):
    try:
        values = [kind(v) for v in text.split(",") if v.strip()]
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a list of numbers: {text}")
    if any(v < 0 for v in values):
        raise argparse.ArgumentTypeError(f"negative value in {text}")
    return values


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--delays", type=lambda t: parse_list(t, float), default=[20, 50],
                        help="round trips in ms, comma-separated (0 ms is always measured first)")
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--parallel", type=lambda t: parse_list(t, int), default=[4, 8],
                        help="session counts beside one, comma-separated")
    args = parser.parse_args()
    if args.files < 1 or args.runs < 1 or any(n < 2 for n in args.parallel):
        parser.error("--files and --runs need at least 1, --parallel counts at least 2")
    lumo_cli = os.path.join(os.path.abspath(args.build), "tools", "lumo-cli")
    for program in (lumo_cli, LFTP, B.GNU_TIME):
        if not os.access(program, os.X_OK):
            print(f"latency: {program} is missing (make build; lftp: scripts/install-deps.sh bench)",
                  file=sys.stderr)
            return 1
    if subprocess.run([B.PYTHON, PROXY_CHECK]).returncode != 0:
        print("latency: the delaying proxy fails its own check", file=sys.stderr)
        return 1
    delays = [0] + [d for d in args.delays if d]

    work = tempfile.mkdtemp(prefix="lumo-latency-")
    server = None
    results = {}
    try:
        root, local, down, home = (os.path.join(work, d) for d in ("root", "local", "down", "home"))
        for d in (root, local, down, home, os.path.join(root, "up")):
            os.makedirs(d)
        os.environ["LUMO_CONFIG_DIR"] = os.path.join(work, "config")
        B.progress(f"writing {args.files:,} files")
        digests = make_tree(os.path.join(root, "tree"), args.files)
        shutil.copytree(os.path.join(root, "tree"), os.path.join(local, "tree"))
        total = sum(os.path.getsize(os.path.join(root, "tree", rel)) for rel in digests)
        rows = clients(lumo_cli, home, local, down, args.parallel)
        server = B.Pyftpdlib(root, work)
        server.start()
        checks = {
            "down": (lambda: check_copy(os.path.join(down, "tree"), digests),
                     lambda: B.remove(os.path.join(down, "tree"))),
            "up": (lambda: check_copy(os.path.join(root, "up", "tree"), digests),
                   lambda: B.remove(os.path.join(root, "up", "tree"))),
        }
        runnable = [c for c in rows if not c.why_not]
        for delay in delays:
            proxy = DelayProxy(server, delay, work)
            proxy.start()
            try:
                for way in ("down", "up"):
                    check, clean = checks[way]
                    for i in range(args.runs):
                        # Each run starts with another client, so none always meets the cold start.
                        turn = runnable[i % len(runnable):] + runnable[:i % len(runnable)]
                        for client in turn:
                            B.drain_time_wait(TIME_WAIT_LIMIT)
                            B.progress(f"{delay:g} ms, {way}, run {i + 1} of {args.runs}: {client.label}")
                            argv = (client.down if way == "down" else client.up)(proxy)
                            results.setdefault((client.label, way, delay), []).append(
                                B.measure(argv, check, clean))
            finally:
                proxy.stop()
    finally:
        if server:
            server.stop()
        shutil.rmtree(work, ignore_errors=True)

    print(f"Latency: {args.files:,} files through a delaying proxy, pyftpdlib, medians of {args.runs} run(s)")
    print(subprocess.run([LFTP, "--version"], capture_output=True, text=True).stdout.splitlines()[0])
    print()
    print(table(rows, results, delays, args.files))
    print()
    print("Goal:")
    print(goals(rows, results, delays, args.files))
    print()
    print(notes(args.files, total, args.runs))
    print(f"\nWhole latency run: {time.monotonic() - B.STARTED:.0f} s")
    return 1 if any(r.error for runs in results.values() for r in runs) else 0


if __name__ == "__main__":
    sys.exit(main())
