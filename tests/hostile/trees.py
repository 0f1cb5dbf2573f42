"""The virtual trees the hostile server serves.

A path is a tuple of byte names from the root; names are bytes because a hostile server's names need
not be valid in any character set. Generated trees compute their folders when asked and store
nothing, so a tree of a million files or a folder of a million sub-folders costs no memory.
"""

DIR = "dir"
FILE = "file"


class Entry:
    __slots__ = ("name", "is_dir", "size")

    def __init__(self, name, is_dir, size=0):
        self.name = name
        self.is_dir = is_dir
        self.size = size


def listing_line(entry):
    """A Unix `ls -l` line for an entry."""
    kind = b"drwxr-xr-x" if entry.is_dir else b"-rw-r--r--"
    return b"%s 1 ftp ftp %12d Jan 01  2024 %s\r\n" % (kind, entry.size, entry.name)


class Tree:
    """What every tree answers; the generated ones are read only."""

    writable = False

    def kind(self, path):
        raise NotImplementedError

    def entries(self, path):
        raise NotImplementedError

    def content(self, path):
        raise NotImplementedError

    def listing_lines(self, path):
        """The lines LIST sends for a folder, made one by one as they are sent."""
        for entry in self.entries(path):
            yield listing_line(entry)

    def size(self, path):
        return len(self.content(path))


class StaticTree(Tree):
    """A small tree held in memory, written to by STOR, MKD, DELE and RMD."""

    writable = True

    def __init__(self, files, folders=()):
        self.files = {tuple(p): data for p, data in files.items()}
        self.folders = {()}
        for path in list(self.files) + [tuple(f) for f in folders]:
            for depth in range(len(path)):
                self.folders.add(path[:depth])
        self.folders.update(tuple(f) for f in folders)

    def kind(self, path):
        if path in self.folders:
            return DIR
        return FILE if path in self.files else None

    def entries(self, path):
        depth = len(path)
        for folder in sorted(self.folders):
            if len(folder) == depth + 1 and folder[:depth] == path:
                yield Entry(folder[-1], True)
        for name, data in sorted(self.files.items()):
            if len(name) == depth + 1 and name[:depth] == path:
                yield Entry(name[-1], False, len(data))

    def content(self, path):
        return self.files[path]

    def put(self, path, data):
        self.files[path] = data

    def make_folder(self, path):
        self.folders.add(path)

    def remove(self, path):
        if path in self.files:
            del self.files[path]
            return True
        if path in self.folders and path and not any(self.entries(path)):
            self.folders.discard(path)
            return True
        return False


class LongLineTree(StaticTree):
    """A static tree whose root listing holds one line of `length` bytes that reads as nothing."""

    def __init__(self, files, length):
        super().__init__(files)
        self.length = length

    def listing_lines(self, path):
        lines = list(super().listing_lines(path))
        if path == ():
            lines.insert(len(lines) // 2, b"?" * self.length + b"\r\n")
        yield from lines


def numbered(prefix, count, stop=None):
    """Names prefix0..prefix(count-1), zero-padded to one width so that they sort as numbers, made
    one by one (up to `stop` when given)."""
    width = len(str(max(count - 1, 0)))
    for i in range(count if stop is None else min(stop, count)):
        yield b"%s%0*d" % (prefix, width, i)


def number_in(name, prefix, count):
    """The number of a name made by numbered(), or None when the name is not one of them."""
    width = len(str(max(count - 1, 0)))
    digits = name[len(prefix):]
    if not name.startswith(prefix) or len(digits) != width or not digits.isdigit():
        return None
    number = int(digits)
    return number if number < count else None


class BombTree(Tree):
    """Every folder holds `width` folders, down to `depth` levels (0: without end)."""

    def __init__(self, width, depth):
        self.width = width
        self.depth = depth

    def kind(self, path):
        if self.depth and len(path) > self.depth:
            return None
        if all(number_in(name, b"b", self.width) is not None for name in path):
            return DIR
        return None

    def entries(self, path):
        if self.depth and len(path) >= self.depth:
            return
        for name in numbered(b"b", self.width):
            yield Entry(name, True)

    def content(self, path):
        raise KeyError(path)


class ChainTree(Tree):
    """/deep, then d001, d002... one inside the other, `levels` deep; each holds f.txt."""

    def __init__(self, levels):
        self.levels = levels
        self.names = [b"d%03d" % i for i in range(1, levels + 1)]

    def level_of(self, path):
        """How far down the chain a folder path is (0 for /deep), or None when it is not on it."""
        if not path or path[0] != b"deep" or len(path) - 1 > self.levels:
            return None
        if list(path[1:]) != self.names[: len(path) - 1]:
            return None
        return len(path) - 1

    def kind(self, path):
        if path == ():
            return DIR
        if self.level_of(path) is not None:
            return DIR
        if path[-1] == b"f.txt" and self.level_of(path[:-1]) is not None:
            return FILE
        return None

    def entries(self, path):
        if path == ():
            yield Entry(b"deep", True)
            return
        level = self.level_of(path)
        yield Entry(b"f.txt", False, len(self.file_text(level)))
        if level < self.levels:
            yield Entry(self.names[level], True)

    @staticmethod
    def file_text(level):
        return b"level %d\n" % level

    def content(self, path):
        return self.file_text(self.level_of(path[:-1]))


class OrdinaryTree(Tree):
    """/t holding folders of `per_folder` files each, `files` files in all, a few bytes each."""

    def __init__(self, files, per_folder):
        self.files = files
        self.per_folder = per_folder
        self.folder_count = (files + per_folder - 1) // per_folder

    def folder_number(self, path):
        if len(path) != 2 or path[0] != b"t":
            return None
        return number_in(path[1], b"d", self.folder_count)

    def file_number(self, path):
        folder = self.folder_number(path[:2]) if len(path) == 3 else None
        if folder is None:
            return None
        number = number_in(path[2], b"f", self.per_folder)
        if number is None or number >= self.files_in(folder):
            return None
        return folder * self.per_folder + number

    def files_in(self, folder):
        return min(self.per_folder, self.files - folder * self.per_folder)

    def kind(self, path):
        if path in ((), (b"t",)) or self.folder_number(path) is not None:
            return DIR
        return FILE if self.file_number(path) is not None else None

    def entries(self, path):
        if path == ():
            yield Entry(b"t", True)
        elif path == (b"t",):
            for name in numbered(b"d", self.folder_count):
                yield Entry(name, True)
        else:
            folder = self.folder_number(path)
            for i, name in enumerate(numbered(b"f", self.per_folder, self.files_in(folder))):
                yield Entry(name, False, len(self.file_text(folder * self.per_folder + i)))

    @staticmethod
    def file_text(number):
        return b"file %d\n" % number

    def content(self, path):
        return self.file_text(self.file_number(path))
