"""The scenarios: what tree each serves and how its server misbehaves. The replay reads the same
trees to know what a download should have brought."""
import hashlib

from trees import ChainTree, BombTree, LongLineTree, OrdinaryTree, StaticTree

# The folder whose six names clash in pairs once decoded or composed, and what each file holds.
COLLIDING_FILES = {
    (b"c", b"caf\xc3\xa9"): b"cafe, composed (NFC)\n",
    (b"c", b"cafe\xcc\x81"): b"cafe, decomposed (NFD)\n",
    (b"c", b"dir-\xc3\xa9", b"same.txt"): b"in the composed folder\n",
    (b"c", b"dir-e\xcc\x81", b"same.txt"): b"in the decomposed folder\n",
    # Valid neither as UTF-8 nor as CP932: both read as one replacement character.
    (b"c", b"bad\xff"): b"ends in byte FF\n",
    (b"c", b"bad\xfe"): b"ends in byte FE\n",
}
# The pairs of remote names that clash, as the replay looks for them in lumo-cli's words.
COLLIDING_PAIRS = [
    (b"caf\xc3\xa9", b"cafe\xcc\x81"),
    (b"dir-\xc3\xa9", b"dir-e\xcc\x81"),
    (b"bad\xff", b"bad\xfe"),
]
SMALL_FILES = {(b"a.txt",): b"alpha\n", (b"b.txt",): b"bravo\n"}


def big_file(size):
    """Bytes that never repeat within a file, so that a piece in the wrong place shows."""
    blocks = (hashlib.sha256(i.to_bytes(4, "big")).digest() for i in range((size + 31) // 32))
    return b"".join(blocks)[:size]


class Behaviour:
    """How a scenario's server departs from an ordinary one."""

    def __init__(self, tree):
        self.tree = tree
        self.greeting = "normal"
        self.greeting_delay = 0.0
        self.feat = True
        self.stall_after_auth = False
        self.refuse_user = False
        self.refuse_rest = False
        self.data_source = None
        self.trace = False


def collide(options):
    return Behaviour(StaticTree(COLLIDING_FILES))


def bomb(options):
    return Behaviour(BombTree(options.width, options.depth))


def deep(options):
    return Behaviour(ChainTree(options.levels))


def silent_greeting(options):
    b = Behaviour(StaticTree(SMALL_FILES))
    b.greeting = "silent"
    return b


def tls_stall(options):
    b = Behaviour(StaticTree(SMALL_FILES))
    b.stall_after_auth = True
    return b


def slow_greeting(options):
    b = Behaviour(StaticTree(SMALL_FILES))
    b.greeting = "slow"
    b.greeting_delay = options.delay
    return b


def user_530(options):
    b = Behaviour(StaticTree(SMALL_FILES))
    b.refuse_user = True
    return b


def long_line(options):
    return Behaviour(LongLineTree(SMALL_FILES, options.line_bytes))


def rest_refused(options):
    b = Behaviour(StaticTree({(b"big.bin",): big_file(options.big_bytes)}))
    b.refuse_rest = True
    return b


def foreign_data(options):
    b = Behaviour(StaticTree(SMALL_FILES))
    b.data_source = "127.0.0.2"
    return b


def tree(options):
    return Behaviour(OrdinaryTree(options.files, options.per_folder))


SCENARIOS = {
    "collide": collide,
    "bomb": bomb,
    "deep": deep,
    "silent-greeting": silent_greeting,
    "tls-stall": tls_stall,
    "slow-greeting": slow_greeting,
    "user-530": user_530,
    "long-line": long_line,
    "rest-refused": rest_refused,
    "foreign-data": foreign_data,
    "tree": tree,
}


def add_options(parser):
    """The scenarios' own options, with their defaults."""
    parser.add_argument("--width", type=int, default=200000,
                        help="bomb: folders in every folder (%(default)s)")
    parser.add_argument("--depth", type=int, default=0, help="bomb: levels, 0 for no end (%(default)s)")
    parser.add_argument("--levels", type=int, default=150,
                        help="deep: folders one inside the other (%(default)s)")
    parser.add_argument("--delay", type=float, default=2.0,
                        help="slow-greeting: seconds before the 220 (%(default)s)")
    parser.add_argument("--line-bytes", type=int, default=10 << 20,
                        help="long-line: the unreadable line's length (%(default)s)")
    parser.add_argument("--big-bytes", type=int, default=1 << 20,
                        help="rest-refused: the size of /big.bin (%(default)s)")
    parser.add_argument("--files", type=int, default=20000, help="tree: files in all (%(default)s)")
    parser.add_argument("--per-folder", type=int, default=1000,
                        help="tree: files in each folder (%(default)s)")
    parser.add_argument("--no-feat", action="store_true", help="answer FEAT with 500")
