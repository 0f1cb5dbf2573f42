#!/usr/bin/python3
"""lumo-cli against curl on loopback FTP servers, plus the in-process listing benchmark.

Usage: bench.py BUILD_DIR

Starts pyftpdlib and vsftpd on free ports of 127.0.0.1, both serving one scratch folder, runs every
comparison with both clients taking turns, and prints one table. Times are whole processes (start,
login, work, exit), the best of a few runs. A run that fails or leaves a wrong file shows as such in
the table instead of a time.
"""
import hashlib
import os
import random
import secrets
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass, field
from urllib.parse import quote

MIB = 1 << 20
GIB = 1 << 30
BIG_SIZE = GIB
RSS_SIZE = 5 * GIB
RUNS = 5
SMALL_FILES = 1000
# Each folder run opens a data connection per file; more runs in a row than this would pile up
# enough TIME_WAIT sockets to slow down the row's own connects (see drain_time_wait).
FOLDER_RUNS = 3
RSS_RUNS = 2
LIST_ENTRIES = 100_000
FILL_RUNS = 5

RATIO_TARGET = 0.9
FILL_TARGET_MS = 1000
STORE_MB = 50
STORE_TARGET_MS = 2000
RSS_TARGET = 100_000_000

# A run that takes longer than this is stuck; it is killed and reported.
RUN_TIMEOUT = 600
START_TIMEOUT = 15
# Loopback connects get more than twice as slow once some 7,000 sockets wait in TIME_WAIT; the folder
# rows start below this many, after waiting at most the kernel's one minute of TIME_WAIT.
TIME_WAIT_LIMIT = 1500
TIME_WAIT_SPAN = 65

SRC = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PYTHON = "/usr/bin/python3"
VSFTPD = "/usr/sbin/vsftpd"
GNU_TIME = "/usr/bin/time"


STARTED = time.monotonic()


def progress(text):
    print(f"bench: {time.monotonic() - STARTED:4.0f} s  {text}", file=sys.stderr, flush=True)


# ---------------------------------------------------------------- servers


class Server:
    """One FTP server process on 127.0.0.1 serving `root`."""

    name = ""
    user = ""
    password = ""

    def __init__(self, root, work):
        self.root = root
        self.work = work
        self.port = 0
        self.process = None

    def target(self):
        return f"ftp://{quote(self.user, safe='')}:{quote(self.password, safe='')}@127.0.0.1:{self.port}"

    def url(self, rel):
        # curl resolves a URL path from the login folder, which is the root for both servers.
        return f"{self.target()}/{quote(rel)}"

    def remote_path(self, rel):
        return f"{self.home()}/{rel}"

    def home(self):
        raise NotImplementedError

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Pyftpdlib(Server):
    name = "pyftpdlib"
    user = "lumo"
    password = "lumo"

    def home(self):
        return ""

    def start(self):
        port_file = os.path.join(self.work, "pyftpdlib.port")
        self.process = subprocess.Popen(
            [PYTHON, os.path.join(SRC, "scripts", "ftp_server.py"), "--root", self.root,
             "--port", "0", "--port-file", port_file],
            stdin=subprocess.DEVNULL)
        self.port = reported_port(self.process, port_file, "pyftpdlib")


class Vsftpd(Server):
    name = "vsftpd"
    user = "anonymous"
    password = "bench@example.jp"

    def home(self):
        # Running as the launching user, vsftpd does not chroot: the login folder is the real path.
        return os.path.realpath(self.root)

    def extra_config(self):
        return ""

    def start(self):
        empty = os.path.join(self.work, "vsftpd-empty")
        os.makedirs(empty, exist_ok=True)
        config = os.path.join(self.work, f"{self.name}.conf")
        # Another program may take the probed port before vsftpd binds it; then try another.
        for _ in range(5):
            self.port = free_port()
            # A token of this start in the greeting proves that it is this vsftpd that answers.
            self.token = secrets.token_hex(8)
            with open(config, "w") as f:
                f.write(
                    "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                    f"listen_port={self.port}\nbackground=NO\nrun_as_launching_user=YES\n"
                    "anonymous_enable=YES\nno_anon_password=YES\n"
                    f"anon_root={self.root}\nlocal_enable=NO\nwrite_enable=YES\n"
                    "anon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                    "anon_other_write_enable=YES\nanon_umask=022\nseccomp_sandbox=NO\n"
                    f"secure_chroot_dir={empty}\npasv_enable=YES\npasv_address=127.0.0.1\n"
                    "port_enable=YES\nconnect_from_port_20=NO\nxferlog_enable=NO\n"
                    f"syslog_enable=NO\nvsftpd_log_file={self.work}/{self.name}.log\ncheck_shell=NO\n"
                    f"ftpd_banner={self.token}\n" + self.extra_config())
            self.process = subprocess.Popen([VSFTPD, config], stdin=subprocess.DEVNULL)
            if self.greets():
                return
            self.stop()
        raise RuntimeError("vsftpd did not accept connections")

    def greets(self):
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline and self.process.poll() is None:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=2) as s:
                    # Another program may have taken the port: only this start's token counts.
                    greeting = b""
                    while not greeting.endswith(b"\n") and len(greeting) < 512:
                        piece = s.recv(512)
                        if not piece:
                            break
                        greeting += piece
                    return greeting.startswith(b"220 " + self.token.encode())
            except OSError:
                time.sleep(0.05)
        return False


class VsftpdTls(Vsftpd):
    """vsftpd requiring explicit TLS on the control and data connections, with session reuse, on a
    self-signed certificate made here."""

    name = "vsftpd TLS"

    def extra_config(self):
        cert = os.path.join(self.work, "tls-cert.pem")
        key = os.path.join(self.work, "tls-key.pem")
        if not os.path.exists(cert):
            subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                            "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", cert,
                            "-days", "2", "-subj", "/CN=localhost/O=lumo bench",
                            "-addext", "subjectAltName=IP:127.0.0.1"],
                           check=True, capture_output=True)
            out = subprocess.run(["openssl", "x509", "-noout", "-fingerprint", "-sha256", "-in", cert],
                                 check=True, capture_output=True, text=True).stdout
            self.fingerprint = out.split("=", 1)[1].strip()
        return ("ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
                "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\nstrict_ssl_read_eof=YES\n"
                f"ssl_request_cert=NO\nrsa_cert_file={cert}\nrsa_private_key_file={key}\n")


def reported_port(process, port_file, what):
    """The port a started program writes to `port_file` once it accepts connections."""
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline:
        if os.path.exists(port_file):
            with open(port_file) as f:
                port = int(f.read().strip() or 0)
            if port:
                return port
        if process.poll() is not None:
            break
        time.sleep(0.05)
    raise RuntimeError(f"{what} did not start")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# ---------------------------------------------------------------- running and checking


@dataclass
class Run:
    seconds: float = 0.0
    error: str = ""
    rss: int = 0  # peak resident set size in bytes


def timed(argv, stdout_path=None):
    """Runs one client to its end; its time, its peak RSS, and what went wrong."""
    with open(stdout_path or os.devnull, "wb") as out, tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile("r") as rss:
        # GNU time reads the client's peak RSS from the kernel. It rather than this process starts
        # the client, because a new process's count starts at the peak of the one that forked it.
        start = time.monotonic()
        proc = subprocess.Popen([GNU_TIME, "-f", "%M", "-o", rss.name, *argv], stdin=subprocess.DEVNULL,
                                stdout=out, stderr=err, start_new_session=True)
        # A blocking wait, with a watchdog for a stuck client: a wait with a time-out polls, and its
        # sleeps would round the times up by tens of milliseconds.
        watchdog = threading.Timer(RUN_TIMEOUT, os.killpg, (proc.pid, signal.SIGKILL))
        watchdog.start()
        proc.wait()
        run = Run(seconds=time.monotonic() - start)
        watchdog.cancel()
        last = (rss.read().strip().splitlines() or ["0"])[-1]
        run.rss = int(last) * 1024 if last.isdigit() else 0
        if proc.returncode != 0:
            err.seek(0)
            lines = [line for line in err.read().decode("utf-8", "replace").splitlines() if line.strip()]
            why = f"killed after {RUN_TIMEOUT} s" if proc.returncode < 0 else f"exit {proc.returncode}"
            run.error = f"{why}: {lines[-1].strip()}" if lines else why
        return run


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.file_digest(f, "sha256").hexdigest()


def check_file(path, size, digest=None):
    """Empty when `path` is the expected file, else what is wrong with it."""
    if not os.path.isfile(path):
        return "no file"
    got = os.path.getsize(path)
    if got != size:
        return f"size {got}, expected {size}"
    if digest and sha256(path) != digest:
        return "checksum differs"
    return ""


def check_tree(path, sizes):
    if not os.path.isdir(path):
        return "no folder"
    got = {name: os.path.getsize(os.path.join(path, name)) for name in os.listdir(path)}
    if got == sizes:
        return ""
    missing = len(sizes.keys() - got.keys())
    wrong = sum(1 for n in sizes.keys() & got.keys() if got[n] != sizes[n])
    return f"{len(got)} files, {missing} missing, {wrong} of wrong size"


def check_lines(path, count):
    with open(path, "rb") as f:
        got = sum(1 for line in f if line.strip())
    return "" if got == count else f"{got} lines, expected {count}"


def remove(path):
    if os.path.isdir(path):
        shutil.rmtree(path)
    elif os.path.exists(path):
        os.remove(path)


def measure(argv, check, clean, stdout_path=None):
    run = timed(argv, stdout_path)
    if not run.error:
        problem = check()
        if problem:
            run.error = "wrong result: " + problem
    clean()
    return run


def time_wait_sockets():
    count = 0
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                next(f)
                count += sum(1 for line in f if line.split()[3] == "06")
        except (OSError, StopIteration):
            pass
    return count


def drain_time_wait(limit=TIME_WAIT_LIMIT):
    """Waits until the connections of earlier rows have left TIME_WAIT (at most `limit` remain), or a
    minute has passed."""
    deadline = time.monotonic() + TIME_WAIT_SPAN
    lingering = time_wait_sockets()
    if lingering > limit:
        progress(f"waiting for {lingering} sockets in TIME_WAIT to go")
    while lingering > limit and time.monotonic() < deadline:
        time.sleep(1)
        lingering = time_wait_sockets()


# ---------------------------------------------------------------- table rows


@dataclass
class Row:
    label: str
    server: str
    size: int = 0  # bytes moved, for MiB/s; 0 where a rate means nothing
    lumo: list = field(default_factory=list)
    curl: list = field(default_factory=list)
    transfer: bool = False  # held to the throughput target
    rss: bool = False  # held to the memory target
    # The in-process rows: milliseconds of the whole fill and of parsing alone, or what went wrong.
    fill_ms: float | None = None
    parse_ms: float | None = None
    target_ms: int = FILL_TARGET_MS
    note: str = ""
    curl_note: str = ""  # why curl did not run
    # The window's rows: what was measured, in words, and how it stands against its target.
    window: str = ""
    window_target: str = ""


def best(runs):
    """The fastest run, or None when any run failed."""
    if not runs or any(r.error for r in runs):
        return None
    return min(runs, key=lambda r: r.seconds)


def compare(row, lumo_step, curl_step, runs):
    """Runs both clients `runs` times, taking turns at going first, so neither always meets a
    cold page cache."""
    for i in range(runs):
        steps = [(row.lumo, lumo_step), (row.curl, curl_step)]
        if i % 2:
            steps.reverse()
        for results, step in steps:
            results.append(step())
    return row


# ---------------------------------------------------------------- the benchmarks


class Bench:
    def __init__(self, build, work):
        self.lumo_cli = os.path.join(build, "tools", "lumo-cli")
        self.listing_fill = os.path.join(build, "bench", "listing_fill")
        self.list_selection = os.path.join(build, "bench", "list_selection")
        self.window_download = os.path.join(build, "bench", "window_download")
        self.store_load = os.path.join(build, "bench", "store_load")
        self.work = work
        self.root = os.path.join(work, "root")
        self.local = os.path.join(work, "local")
        self.down = os.path.join(work, "down")
        os.environ["LUMO_CONFIG_DIR"] = os.path.join(work, "config")
        for d in (self.root, self.local, self.down, os.environ["LUMO_CONFIG_DIR"],
                  os.path.join(self.root, "up")):
            os.makedirs(d, exist_ok=True)
        self.rows = []
        self.listings = {}

    def lumo(self, server, mode, *command):
        return [self.lumo_cli, "--" + mode, server.target(), *command]

    @staticmethod
    def curl(mode, *args):
        return ["curl", "-sS", "--ftp-pasv" if mode == "passive" else "-P127.0.0.1", *args]

    def prepare(self):
        progress("writing the test files")
        big = os.path.join(self.root, "big.bin")
        with open(big, "wb") as f:
            for _ in range(BIG_SIZE // MIB):
                f.write(os.urandom(MIB))
        self.big_digest = sha256(big)
        # The upload source is the same file, linked into the local folder.
        os.link(big, os.path.join(self.local, "big.bin"))

        sparse = os.path.join(self.root, "sparse.bin")
        with open(sparse, "wb") as f:
            f.truncate(RSS_SIZE)
        # The first read of a sparse file is several times slower on the server's side, while its
        # pages come into the page cache; one read here keeps that out of the first client's time.
        buffer = bytearray(MIB)
        with open(sparse, "rb", buffering=0) as f:
            while f.readinto(buffer):
                pass

        rng = random.Random(8)
        many = os.path.join(self.root, "many")
        os.mkdir(many)
        self.small_sizes = {}
        for i in range(SMALL_FILES):
            name = f"file{i:04d}.dat"
            size = rng.randint(1, 16384)
            with open(os.path.join(many, name), "wb") as f:
                f.write(rng.randbytes(size))
            self.small_sizes[name] = size

        # Mostly files, with a folder every hundred entries so that the folders-first sort has work.
        wide = os.path.join(self.root, "wide")
        os.mkdir(wide)
        for i in range(LIST_ENTRIES):
            path = os.path.join(wide, f"entry{i:06d}")
            if i % 100 == 0:
                os.mkdir(path)
            else:
                os.close(os.open(path + ".txt", os.O_CREAT | os.O_WRONLY, 0o644))

    def download_big(self, server, mode):
        row = Row(f"download {BIG_SIZE // GIB} GiB, {mode}", server.name, size=BIG_SIZE, transfer=True)
        progress(f"{row.label} from {server.name}")
        dest = os.path.join(self.down, "big.bin")
        check = lambda: check_file(dest, BIG_SIZE, self.big_digest)
        clean = lambda: remove(dest)
        self.rows.append(compare(
            row,
            lambda: measure(self.lumo(server, mode, "get", server.remote_path("big.bin"), self.down),
                            check, clean),
            lambda: measure(self.curl(mode, "-o", dest, server.url("big.bin")), check, clean),
            RUNS))

    def upload_big(self, server, mode):
        row = Row(f"upload {BIG_SIZE // GIB} GiB, {mode}", server.name, size=BIG_SIZE, transfer=True)
        progress(f"{row.label} to {server.name}")
        source = os.path.join(self.local, "big.bin")
        dest = os.path.join(self.root, "up", "big.bin")
        check = lambda: check_file(dest, BIG_SIZE, self.big_digest)
        clean = lambda: remove(dest)
        self.rows.append(compare(
            row,
            lambda: measure(self.lumo(server, mode, "put", source, server.remote_path("up")), check, clean),
            lambda: measure(self.curl(mode, "-T", source, server.url("up/")), check, clean),
            RUNS))

    def download_big_tls(self, server):
        row = Row(f"download {BIG_SIZE // GIB} GiB, explicit TLS", server.name, size=BIG_SIZE, transfer=True)
        progress(f"{row.label} from {server.name}")
        dest = os.path.join(self.down, "big.bin")
        check = lambda: check_file(dest, BIG_SIZE, self.big_digest)
        clean = lambda: remove(dest)
        lumo = [self.lumo_cli, "--passive", "--tls", "--accept-fingerprint", server.fingerprint, server.target(),
                "get", server.remote_path("big.bin"), self.down]
        self.rows.append(compare(
            row,
            lambda: measure(lumo, check, clean),
            lambda: measure(self.curl("passive", "--ssl-reqd", "-k", "-o", dest, server.url("big.bin")), check,
                            clean),
            RUNS))

    def get_many(self, server, mode):
        total = sum(self.small_sizes.values())
        row = Row(f"get folder of {SMALL_FILES:,} files, {mode}", server.name, size=total, transfer=True)
        progress(f"{row.label} from {server.name}")
        dest = os.path.join(self.down, "many")
        config = os.path.join(self.work, f"many-{server.name}.curl")
        with open(config, "w") as f:
            for name in sorted(self.small_sizes):
                f.write(f'url = "{server.url("many/" + name)}"\n')
        check = lambda: check_tree(dest, self.small_sizes)
        clean = lambda: remove(dest)
        lumo_step = lambda: measure(self.lumo(server, mode, "get", server.remote_path("many"), self.down),
                                    check, clean)

        def curl_step():
            # curl has no recursive FTP; it gets the folder's files in one invocation, from a list.
            os.mkdir(dest)
            return measure(self.curl(mode, "--remote-name-all", "--output-dir", dest, "-K", config), check,
                           clean)

        drain_time_wait()
        if mode == "passive":
            # curl, fetching many files in one invocation, often sits out a whole second of its poll
            # loop before a passive data connection: minutes for a thousand files (see NOTES).
            row.curl_note = "not run (note 1)"
            row.lumo = [lumo_step() for _ in range(FOLDER_RUNS)]
            self.rows.append(row)
        else:
            self.rows.append(compare(row, lumo_step, curl_step, FOLDER_RUNS))

    def list_wide(self, server):
        row = Row(f"ls of {LIST_ENTRIES:,} entries", server.name)
        progress(f"{row.label} on {server.name}")
        out = os.path.join(self.work, "listing.out")
        kept = os.path.join(self.work, f"list-{server.name}.txt")
        check = lambda: check_lines(out, LIST_ENTRIES)

        def curl_clean():
            # The LIST text goes on to the in-process benchmark.
            if not os.path.exists(kept) and os.path.exists(out) and not check():
                os.replace(out, kept)
            remove(out)

        self.rows.append(compare(
            row,
            lambda: measure(self.lumo(server, "passive", "ls", server.remote_path("wide")), check,
                            lambda: remove(out), out),
            lambda: measure(self.curl("passive", server.url("wide/")), check, curl_clean, out),
            RUNS))
        self.listings[server.name] = kept

    def fill_listing(self, server):
        row = Row(f"parse + fill {LIST_ENTRIES:,}-line LIST", server.name)
        progress(f"{row.label} ({server.name}'s text)")
        listing = self.listings.get(server.name, "")
        values = {}
        if not os.path.exists(listing):
            row.note = "no LIST text (ls failed)"
        else:
            result = subprocess.run([self.listing_fill, listing, str(FILL_RUNS)], capture_output=True,
                                    text=True)
            values = dict(w.split("=", 1) for w in result.stdout.split() if "=" in w)
            if result.returncode != 0 or "fill_ms" not in values:
                row.note = "FAILED: " + (result.stderr.strip() or f"exit {result.returncode}")
            elif int(values["rows"]) != LIST_ENTRIES:
                row.note = f"FAILED: {values['rows']} rows, expected {LIST_ENTRIES}"
            else:
                row.fill_ms = float(values["fill_ms"])
                row.parse_ms = float(values["parse_ms"])
        self.rows.append(row)
        if row.parse_ms is None or "mlsd_ms" not in values:
            return
        # The same entries as MLSD and as an MS-DOS listing: within twice the Unix parse.
        for layout, key in (("MLSD", "mlsd_ms"), ("MS-DOS", "dos_ms")):
            other = Row(f"parse {LIST_ENTRIES:,}-line {layout}", server.name)
            ms = float(values[key])
            met = "met" if ms <= 2 * row.parse_ms else "MISSED"
            other.window = f"{ms:.0f} ms"
            other.window_target = f"<= 2x LIST parse ({2 * row.parse_ms:.0f} ms): {met}"
            self.rows.append(other)

    def select_rows(self):
        row = Row(f"window: select all / invert, {LIST_ENTRIES:,} rows", "-")
        progress(row.label)
        result = subprocess.run([self.list_selection, str(LIST_ENTRIES), str(FILL_RUNS)], capture_output=True,
                                text=True, timeout=RUN_TIMEOUT)
        values = dict(w.split("=", 1) for w in result.stdout.split() if "=" in w)
        steps = ("select_all_ms", "invert_none_ms", "invert_all_ms", "invert_alternate_ms")
        if result.returncode != 0 or any(k not in values for k in steps):
            row.note = "FAILED: " + (result.stderr.strip().splitlines() or [f"exit {result.returncode}"])[-1]
        else:
            ms = {k: float(values[k]) for k in steps}
            row.window = (f"all {ms['select_all_ms']:.0f} ms, invert {ms['invert_none_ms']:.0f} ms "
                          f"(every other row chosen: {ms['invert_alternate_ms']:.0f} ms)")
            met = "met" if max(ms.values()) < FILL_TARGET_MS else "MISSED"
            row.window_target = f"< {FILL_TARGET_MS} ms: {met}"
        self.rows.append(row)

    def window_get_many(self, server):
        row = Row(f"window: get folder of {SMALL_FILES:,} files", server.name)
        progress(f"{row.label} from {server.name}")
        dest = os.path.join(self.down, "many")
        drain_time_wait()
        result = subprocess.run([self.window_download, str(server.port), server.user, server.password,
                                 server.home() or "/", "many", self.down], capture_output=True, text=True,
                                timeout=RUN_TIMEOUT)
        values = dict(w.split("=", 1) for w in result.stdout.split() if "=" in w)
        problem = check_tree(dest, self.small_sizes)
        remove(dest)
        if result.returncode != 0 or "seconds" not in values:
            row.note = "FAILED: " + (result.stderr.strip().splitlines() or [f"exit {result.returncode}"])[-1]
        elif problem:
            row.note = "WRONG FILES: " + problem
        else:
            files = int(values["files"])
            row.window = (f"{float(values['seconds']):.3f} s; log drawn {values['log_paints']}x for "
                          f"{values['log_lines']} lines, status bar {values['status_paints']}x, "
                          f"list {values['list_paints']}x")
            fewer = max(int(values[k]) for k in ("log_paints", "status_paints", "list_paints")) < files
            row.window_target = f"drawn less than once per file: {'met' if fewer else 'MISSED'}"
        self.rows.append(row)

    def load_store(self):
        row = Row(f"load {STORE_MB} MB settings store", "-", target_ms=STORE_TARGET_MS)
        progress(row.label)
        result = subprocess.run([self.store_load, str(STORE_MB), str(FILL_RUNS)], capture_output=True, text=True)
        values = dict(w.split("=", 1) for w in result.stdout.split() if "=" in w)
        if result.returncode != 0 or "load_ms" not in values:
            row.note = "FAILED: " + (result.stderr.strip() or f"exit {result.returncode}")
        else:
            row.fill_ms = float(values["load_ms"])
            row.parse_ms = float(values["parse_ms"])
        self.rows.append(row)

    def peak_memory(self, server):
        row = Row(f"download {RSS_SIZE // GIB} GiB (sparse), peak RSS", server.name, size=RSS_SIZE, rss=True)
        progress(f"{row.label} from {server.name}")
        dest = os.path.join(self.down, "sparse.bin")
        check = lambda: check_file(dest, RSS_SIZE)
        clean = lambda: remove(dest)
        self.rows.append(compare(
            row,
            lambda: measure(self.lumo(server, "passive", "get", server.remote_path("sparse.bin"), self.down),
                            check, clean),
            lambda: measure(self.curl("passive", "-o", dest, server.url("sparse.bin")), check, clean),
            RSS_RUNS))

    def run(self, servers, tls_server):
        for server in servers:
            for mode in ("passive", "active"):
                self.download_big(server, mode)
                self.upload_big(server, mode)
            for mode in ("active", "passive"):
                self.get_many(server, mode)
            self.window_get_many(server)
            self.list_wide(server)
            self.fill_listing(server)
        self.select_rows()
        for server in servers:
            self.peak_memory(server)
        self.download_big_tls(tls_server)
        self.load_store()


# ---------------------------------------------------------------- the table


def peak_rss(runs):
    return max(r.rss for r in runs)


def client_cell(runs, rss):
    """The best time (and the highest peak RSS), or how the runs failed."""
    run = best(runs)
    if run is None:
        failed = next((r for r in runs if r.error), None)
        if failed is None:
            return "-"
        return "WRONG FILE" if failed.error.startswith("wrong result") else "FAILED"
    text = f"{run.seconds:.3f} s"
    return f"{text}, {peak_rss(runs) / 1e6:.1f} MB" if rss else text


def table(rows):
    head = ["benchmark", "server", "lumo-cli", "curl", "curl/lumo", "lumo MiB/s", "curl MiB/s", "target"]
    lines = []
    details = []
    for row in rows:
        if row.fill_ms is not None:
            met = "met" if row.fill_ms < row.target_ms else "MISSED"
            lines.append([row.label, row.server, f"{row.fill_ms:.0f} ms", "-", "-", "-", "-",
                          f"< {row.target_ms} ms: {met} (parse alone {row.parse_ms:.0f} ms)"])
            continue
        if row.note:
            lines.append([row.label, row.server, row.note, "-", "-", "-", "-", "-"])
            continue
        if row.window:
            lines.append([row.label, row.server, row.window, "-", "-", "-", "-", row.window_target])
            continue
        lumo, curl = best(row.lumo), best(row.curl)
        cells = [client_cell(row.lumo, row.rss), row.curl_note or client_cell(row.curl, row.rss)]
        ratio = curl.seconds / lumo.seconds if lumo and curl else None
        cells.append(f"{ratio:.2f}" if ratio is not None else "-")
        for run in (lumo, curl):
            cells.append(f"{row.size / MIB / run.seconds:.1f}" if run and row.size else "-")
        target = "-"
        if row.rss and lumo:
            target = f"< 100 MB: {'met' if peak_rss(row.lumo) < RSS_TARGET else 'MISSED'}"
        elif row.transfer and ratio is not None:
            target = f">= {RATIO_TARGET}: {'met' if ratio >= RATIO_TARGET else 'MISSED'}"
        lines.append([row.label, row.server, *cells, target])
        for client, runs in (("lumo-cli", row.lumo), ("curl", row.curl)):
            for r in runs:
                if r.error:
                    details.append(f"  {row.label}, {row.server}, {client}: {r.error}")
                    break
    widths = [max(len(r[i]) for r in [head] + lines) for i in range(len(head))]
    fmt = lambda r: "  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip()
    out = [fmt(head), fmt(["-" * w for w in widths])] + [fmt(r) for r in lines]
    if details:
        out += ["", "Failures:"] + details
    return "\n".join(out)


NOTES = f"""\
Notes:
- Times are whole processes (start, login, work, exit) on 127.0.0.1, the best of {RUNS} runs
  ({FOLDER_RUNS} for the folders, {RSS_RUNS} for the 5 GiB download); the clients take turns at going first.
  curl/lumo is curl's time over lumo-cli's: >= {RATIO_TARGET} means lumo-cli reaches at least
  {RATIO_TARGET} of curl's throughput. Active mode: lumo-cli --active, curl -P 127.0.0.1.
- Downloads are checked by size and SHA-256 (1 GiB) or size (the others), uploads on the server's disk.
- Folder of {SMALL_FILES:,} files: lumo-cli gets the folder. curl has no recursive FTP, so it gets the
  same files in ONE invocation: all their URLs in a config file (-K) with --remote-name-all, over one
  control connection. Each folder row starts once the data connections of the rows before it have
  left TIME_WAIT (at most a minute): thousands of them slow down every connect on 127.0.0.1.
- (1) curl, fetching many files in one invocation, often sits out a whole second in its poll loop
  between the EPSV (or PASV) reply and the connect of the data connection; the faster the server
  answers, the more often. A thousand files would take curl minutes and say nothing about lumo-cli,
  so the passive folder rows have lumo-cli's time alone; the active rows compare the two.
- ls: lumo-cli ls prints the file list's rows; curl prints the server's LIST text.
- In-process: median of {FILL_RUNS} runs of FileListModel::FillFromListing (parse, row rules, decoded
  names, sort) on the LIST text curl got from each server; "parse alone" is the listing parser only.
- Explicit TLS: vsftpd requiring TLS on control and data with session reuse (require_ssl_reuse),
  a self-signed certificate made for the run; lumo-cli --tls with its fingerprint, curl --ssl-reqd -k.
- window: the main window itself, offscreen. The folder row runs the window's download command on the
  folder and counts the redraws of the log, the status bar and the file list meanwhile; the selection
  row times select all and invert selection in the file list (median of {FILL_RUNS} runs).
- Settings store: median of {FILL_RUNS} first reads of a {STORE_MB} MB lumo.reg (read from disk, parse, index)
  by a fresh store, as a start of the program does; half host records, half one key of ~700,000 values.
- Peak RSS: the client process's maximum resident set size as the kernel counts it (GNU time %M),
  the highest of its runs, after the best time. A 5 GiB download outgrows the kernel's dirty page
  limits, so its times depend on the disk more than the others do."""


def main():
    if len(sys.argv) != 2:
        print("usage: bench.py BUILD_DIR", file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    for program in (os.path.join(build, "tools", "lumo-cli"), os.path.join(build, "bench", "listing_fill"),
                    os.path.join(build, "bench", "list_selection"),
                    os.path.join(build, "bench", "window_download"),
                    os.path.join(build, "bench", "store_load"), VSFTPD, GNU_TIME,
                    shutil.which("curl") or "curl"):
        if not os.access(program, os.X_OK):
            print(f"bench: {program} is missing; build first (make build)", file=sys.stderr)
            return 1
    work = tempfile.mkdtemp(prefix="lumo-bench-")
    # The big file, its download and the 5 GiB download are on disk at the same time at most.
    need = 2 * BIG_SIZE + RSS_SIZE + GIB
    if shutil.disk_usage(work).free < need:
        print(f"bench: {work} needs {need // GIB} GiB free", file=sys.stderr)
        shutil.rmtree(work)
        return 1
    servers = []
    tls_server = None
    try:
        bench = Bench(build, work)
        bench.prepare()
        progress("starting the servers")
        servers = [Pyftpdlib(bench.root, work), Vsftpd(bench.root, work)]
        tls_server = VsftpdTls(bench.root, work)
        for server in servers + [tls_server]:
            server.start()
        bench.run(servers, tls_server)
    finally:
        for server in servers + ([tls_server] if tls_server else []):
            server.stop()
        shutil.rmtree(work, ignore_errors=True)
    print(subprocess.run(["curl", "--version"], capture_output=True, text=True).stdout.splitlines()[0])
    print()
    print(table(bench.rows))
    print()
    print(NOTES)
    print(f"\nWhole bench run: {time.monotonic() - STARTED:.0f} s")
    failed = any(r.error for row in bench.rows for r in row.lumo + row.curl) or any(
        row.note for row in bench.rows)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
