"""The two ways a data connection comes about: the client connects to us (PASV, EPSV), or we
connect to the client (PORT, EPRT), from a source address of the scenario's choosing."""
import asyncio


class PassiveListener:
    """A listener on 127.0.0.1 that stays for the whole session, each transfer taking the next
    connection. A fresh port for every transfer would leave the kernel hunting for a free one among
    the thousands that a tree of many files leaves in TIME_WAIT."""

    def __init__(self):
        self.server = None
        self.port = None
        self.waiting = asyncio.Queue()

    async def listen(self):
        if self.server is None:
            self.server = await asyncio.start_server(self.on_connect, "127.0.0.1", 0)
            self.port = self.server.sockets[0].getsockname()[1]
        return self.port

    def on_connect(self, reader, writer):
        self.waiting.put_nowait((reader, writer))

    def forget_waiting(self):
        """Cuts off connections that no transfer took: a new PASV starts afresh."""
        while not self.waiting.empty():
            self.waiting.get_nowait()[1].transport.abort()

    async def connect(self, timeout):
        return await asyncio.wait_for(self.waiting.get(), timeout)

    def close(self):
        if self.server:
            self.server.close()
        self.forget_waiting()


class ActiveChannel:
    """The client's address from PORT or EPRT, connected to from `source` (None: any)."""

    def __init__(self, host, port, source, log):
        self.host = host
        self.port = port
        self.source = source
        self.log = log

    async def connect(self, timeout):
        local = (self.source, 0) if self.source else None
        streams = await asyncio.wait_for(
            asyncio.open_connection(self.host, self.port, local_addr=local), timeout)
        if self.source:
            self.log("event: data-connection-from %s to %s:%d" % (self.source, self.host, self.port))
        return streams


def parse_port(arg):
    """(host, port) of a PORT argument h1,h2,h3,h4,p1,p2, or None."""
    parts = arg.split(b",")
    if len(parts) != 6 or not all(p.strip().isdigit() for p in parts):
        return None
    numbers = [int(p) for p in parts]
    if any(n > 255 for n in numbers):
        return None
    return "%d.%d.%d.%d" % tuple(numbers[:4]), numbers[4] * 256 + numbers[5]


def parse_eprt(arg):
    """(host, port) of an EPRT argument |1|127.0.0.1|port|, or None."""
    if len(arg) < 2:
        return None
    fields = arg.split(arg[:1])
    if len(fields) != 5 or fields[1] not in (b"1", b"2") or not fields[3].isdigit():
        return None
    port = int(fields[3])
    if not 0 < port < 65536:
        return None
    return fields[2].decode("ascii", "replace"), port
