"""Each scenario's lumo-cli command and what lumo-cli must have done against it.

A check returns the problems it found (empty: PASS); notes say what else a reader should know."""
import collections
import os
import re

from scenarios import COLLIDING_FILES, COLLIDING_PAIRS, big_file
from trees import FILE, ChainTree, OrdinaryTree, numbered

# Time-outs lumo-cli is given where a server stalls, and the slack it has beyond them.
STALL_TIMEOUT_S = 5
STALL_SLACK_S = STALL_TIMEOUT_S + 2
BOMB_LIMIT_S = 120
MAX_PEAK_KIB = 1 << 20
LONGEST_LINE = 4096
# The partial file a resume starts from.
PARTIAL_BYTES = 100 * 1024
BIG_BYTES = 1 << 20
TREE_PER_FOLDER = 1000
TIME_OUT_WORDS = re.compile("within|time-?out|timed out|タイムアウト".encode(), re.I)
TOO_DEEP_WORDS = re.compile("too deep|深すぎ".encode(), re.I)


def per_options(value):
    """A value that depends on the replay's options, or one that does not, as a function of them."""
    return value if callable(value) else (lambda options: value)


class Case:
    """lumo-cli's arguments ({target} and {local} filled in), the server's, the hard limit in
    seconds, what to put in the local folder first, and the check."""

    def __init__(self, name, lumo_args, check, server_args=(), limit=60, prepare=None,
                 notes=lambda outcome: []):
        self.name = name
        self.lumo_args = per_options(lumo_args)
        self.check = check
        self.server_args = per_options(server_args)
        self.limit = per_options(limit)
        self.prepare = prepare
        self.notes = notes


def exit_problem(outcome, wanted):
    return [] if outcome.status == wanted else ["exit %d, not %d" % (outcome.status, wanted)]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def walk_files(folder):
    """(path relative to folder, as bytes; content) of every regular file below it, one by one."""
    for top, _, names in os.walk(os.fsencode(folder)):
        for name in names:
            path = os.path.join(top, name)
            if os.path.isfile(path) and not os.path.islink(path):
                yield os.path.relpath(path, os.fsencode(folder)), read(path)


def shown(raw):
    """A name in ASCII, so that a composed and a decomposed one look different: caf\\xe9, cafe\\u0301."""
    return raw.decode("utf-8", "backslashreplace").encode("ascii", "backslashreplace").decode()


def named(text, raw):
    """Whether lumo-cli's words name a remote name: its bytes, or, for bytes that are no text, the
    readable part followed closely by the hex of the rest (as "bad\\xff" or "bad<FF>" show it)."""
    if raw in text:
        return True
    try:
        raw.decode("utf-8")
        return False
    except UnicodeDecodeError as e:
        readable, rest = raw[: e.start], raw[e.start:]
    pattern = re.escape(readable) + rb".{0,4}?" + re.escape(rest.hex().encode())
    return re.search(pattern, text, re.I) is not None


def longest_line(text):
    return max((len(line) for line in text.split(b"\n")), default=0)


def check_collide(outcome):
    problems = exit_problem(outcome, 1)
    found = dict(walk_files(os.path.join(outcome.local, "c")))
    expected = set(COLLIDING_FILES.values())
    counts = collections.Counter(found.values())
    if len(found) != len(COLLIDING_FILES):
        problems.append("%d files in c/, not %d" % (len(found), len(COLLIDING_FILES)))
    for content in sorted(expected - set(counts)):
        problems.append("no local file holds %r" % content.decode().strip())
    for content, count in sorted(counts.items()):
        if count > 1:
            problems.append("%d files hold %r" % (count, content.decode("utf-8", "replace").strip()))
        elif content not in expected:
            problems.append("a file holds what no remote file held")
    for first, second in COLLIDING_PAIRS:
        if not (named(outcome.stderr, first) and named(outcome.stderr, second)):
            problems.append("stderr does not name both %s and %s" % (shown(first), shown(second)))
    return problems


def check_bomb(outcome):
    problems = exit_problem(outcome, 1)
    if outcome.wall > BOMB_LIMIT_S:
        problems.append("took over %d s" % BOMB_LIMIT_S)
    if outcome.peak_kib >= MAX_PEAK_KIB:
        problems.append("peak memory %d MiB, 1 GiB or more" % (outcome.peak_kib >> 10))
    first = next(numbered(b"b", outcome.options.bomb_width))
    folder_name = re.compile(rb"\bb\d{%d}\b" % (len(first) - 1))
    if not folder_name.search(outcome.stderr):
        problems.append("no line on stderr names a folder of the bomb")
    return problems


def deepest_level(local, levels):
    """How far down the chain lumo-cli made folders, and the levels within it without their file."""
    names = ChainTree(levels).names
    folder = os.path.join(local, "deep")
    deepest, missing = -1, []
    for level in range(levels + 1):
        if not os.path.isdir(folder):
            break
        deepest = level
        path = os.path.join(folder, "f.txt")
        if not os.path.isfile(path) or read(path) != ChainTree.file_text(level):
            missing.append(level)
        if level < levels:
            folder = os.path.join(folder, names[level].decode())
    return deepest, missing


def check_deep(outcome):
    problems = exit_problem(outcome, 1)
    if not TOO_DEEP_WORDS.search(outcome.stderr):
        problems.append("no line says a folder was too deep")
    deepest, missing = deepest_level(outcome.local, outcome.options.deep_levels)
    if deepest < outcome.options.deep_min:
        problems.append("only %d levels came down, not %d" % (max(deepest, 0), outcome.options.deep_min))
    if missing:
        problems.append("f.txt missing or wrong at %d levels (first: %d)" % (len(missing), missing[0]))
    return problems


def notes_deep(outcome):
    deepest, _ = deepest_level(outcome.local, outcome.options.deep_levels)
    return ["%d of %d levels came down" % (max(deepest, 0), outcome.options.deep_levels)]


def check_stall(event):
    def check(outcome):
        problems = exit_problem(outcome, 1)
        if not TIME_OUT_WORDS.search(outcome.stderr):
            problems.append("no time-out line on stderr")
        if outcome.wall > STALL_TIMEOUT_S + STALL_SLACK_S:
            problems.append("ended %.0f s after a %d s time-out" % (outcome.wall, STALL_TIMEOUT_S))
        if "event: " + event not in outcome.server_log:
            problems.append("the server never reached %s" % event)
        return problems

    return check


def check_slow_greeting(outcome):
    problems = exit_problem(outcome, 0)
    early = re.findall(r"event: command-before-greeting (\S+)", outcome.server_log)
    if early:
        problems.append("sent %s before the 220" % ", ".join(early))
    return problems


def check_user_530(outcome):
    problems = exit_problem(outcome, 1)
    if "event: user-refused" not in outcome.server_log:
        problems.append("the server never saw USER")
    if "event: pass-after-refusal" in outcome.server_log:
        problems.append("sent PASS after the 530")
    return problems


def check_long_line(outcome):
    problems = []
    longest = longest_line(outcome.stderr)
    if longest >= LONGEST_LINE:
        problems.append("a stderr line of %d bytes" % longest)
    for name in (b"a.txt", b"b.txt"):
        if name not in outcome.stdout:
            problems.append("%s not listed" % name.decode())
    return problems


def notes_long_line(outcome):
    return ["stderr %d bytes, longest line %d" % (len(outcome.stderr), longest_line(outcome.stderr))]


def prepare_rest_refused(local, options):
    with open(os.path.join(local, "big.bin"), "wb") as f:
        f.write(big_file(BIG_BYTES)[:PARTIAL_BYTES])


def big_file_problem(local):
    whole = big_file(BIG_BYTES)
    path = os.path.join(local, "big.bin")
    if not os.path.isfile(path):
        return "big.bin is gone"
    got = read(path)
    if got == whole:
        return None
    first = next((i for i, (a, b) in enumerate(zip(got, whole)) if a != b), min(len(got), len(whole)))
    return "big.bin has %d bytes, differing from byte %d" % (len(got), first)


def check_rest_refused(outcome):
    problem = big_file_problem(outcome.local)
    return exit_problem(outcome, 0) + ([problem] if problem else [])


def notes_rest_refused(outcome):
    notes = [] if "event: rest-refused" in outcome.server_log else ["lumo-cli sent no REST"]
    return notes + ([] if big_file_problem(outcome.local) else ["big.bin came down whole"])


def check_foreign_data(outcome):
    problems = []
    if "event: data-connection-from 127.0.0.2" not in outcome.server_log:
        problems.append("the server could not connect from 127.0.0.2")
    if b"127.0.0.2" not in outcome.stderr:
        problems.append("stderr does not say a data connection from 127.0.0.2 was refused")
    return problems


def check_tree(outcome):
    problems = exit_problem(outcome, 0)
    count = outcome.options.tree_files
    tree = OrdinaryTree(count, TREE_PER_FOLDER)
    found = wrong = 0
    for rel, data in walk_files(os.path.join(outcome.local, "t")):
        found += 1
        path = (b"t",) + tuple(rel.split(b"/"))
        wrong += tree.kind(path) != FILE or tree.content(path) != data
    if found != count:
        problems.append("%d files came down, not %d" % (found, count))
    if wrong:
        problems.append("%d files hold the wrong bytes" % wrong)
    return problems


def notes_tree(outcome):
    return ["%d files" % outcome.options.tree_files]


def bomb_args(options):
    first = next(numbered(b"b", options.bomb_width)).decode()
    return TIMEOUT + ["{target}", "get", "/" + first, "{local}"]


TIMEOUT = ["--timeout", "30"]
STALL = ["--timeout", str(STALL_TIMEOUT_S)]
CASES = {case.name: case for case in [
    Case("collide", TIMEOUT + ["{target}", "get", "/c", "{local}"], check_collide),
    Case("bomb", bomb_args, check_bomb, server_args=lambda o: ["--width", str(o.bomb_width)],
         limit=BOMB_LIMIT_S + 10),
    Case("deep", TIMEOUT + ["{target}", "get", "/deep", "{local}"], check_deep,
         server_args=lambda o: ["--levels", str(o.deep_levels)], limit=120, notes=notes_deep),
    Case("silent-greeting", STALL + ["{target}", "ls"], check_stall("silent-greeting"), limit=30),
    Case("tls-stall", ["--tls"] + STALL + ["{target}", "ls"], check_stall("tls-stall"), limit=30),
    Case("slow-greeting", ["--timeout", "10", "{target}", "ls"], check_slow_greeting, limit=30),
    Case("user-530", ["--timeout", "10", "{target}", "ls"], check_user_530, limit=30),
    Case("long-line", ["-v"] + TIMEOUT + ["{target}", "ls"], check_long_line, notes=notes_long_line),
    Case("rest-refused", ["--resume"] + TIMEOUT + ["{target}", "get", "/big.bin", "{local}"],
         check_rest_refused, server_args=["--big-bytes", str(BIG_BYTES)], prepare=prepare_rest_refused,
         notes=notes_rest_refused),
    Case("foreign-data", ["-v", "--active"] + STALL + ["{target}", "ls"], check_foreign_data, limit=30),
    Case("tree", TIMEOUT + ["{target}", "get", "/t", "{local}"], check_tree,
         server_args=lambda o: ["--files", str(o.tree_files), "--per-folder", str(TREE_PER_FOLDER)],
         limit=lambda o: 120 + o.tree_files // 100, notes=notes_tree),
]}
ORDER = list(CASES)
