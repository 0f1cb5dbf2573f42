#!/usr/bin/python3
"""A TCP proxy on 127.0.0.1 that makes an FTP server on loopback look D milliseconds away.

Usage: delay_proxy.py --upstream PORT --delay MS [--port-file FILE]

Every byte is held D/2 in each direction, so a command and its reply cost one round trip of D.
A new connection is also made to cost what a TCP handshake costs: the client's first bytes leave
no earlier than D after its connect (the SYN and SYN-ACK), and the server sees the connection D/2
later still, so a greeting reaches the client 2 D after its connect, as on a real link.

Passive data connections go through the proxy too: the 227 (PASV) and 229 (EPSV) replies of the
control connection are rewritten to a listener of the proxy, which forwards its one connection to
the server's data port with the same delays. Byte order and half-closes are kept (a download ends
with the server's close). Each direction holds at most QUEUE_CHUNKS reads in flight and waits on
the receiving socket, so a gigabyte passes through a few megabytes of memory.

The proxy listens on a free port and writes it to --port-file once it accepts connections (and
prints it). It stops on SIGTERM or SIGINT. Plain FTP only: TLS hides the replies it rewrites.
"""
import argparse
import asyncio
import os
import re
import signal
import sys

HOST = "127.0.0.1"
CHUNK = 64 * 1024
# Reads held per direction: at 50 ms this still lets some 150 MiB/s through, far above what the
# small-file runs need, while bounding the memory of a big transfer.
QUEUE_CHUNKS = 64
PASV = re.compile(rb"^227 .*?\(?(\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)?")
EPSV = re.compile(rb"^229 .*\((.)\1\1(\d+)\1\)")
# The event loop's timers wake late by up to a millisecond or so (whole-millisecond polls, the
# kernel's timer slack). The proxy learns by how much, a step of each wake's error at a time, and
# aims that much early, so that the mean hold is the asked one.
LEARNING_STEP = 0.1
MAX_EARLY = 0.002


class Link:
    """One connection through the proxy: the client's side, the server's side and their timing."""

    def __init__(self, proxy, client_reader, client_writer):
        self.proxy = proxy
        self.loop = asyncio.get_running_loop()
        self.client_reader = client_reader
        self.client_writer = client_writer
        self.server_writer = None
        accepted = self.loop.time()
        # What a real handshake takes: the client may send once its SYN-ACK is back (one round
        # trip); the server accepts when the client's ACK arrives, half a round trip later.
        self.client_ready = accepted + proxy.delay
        self.server_ready = accepted + 1.5 * proxy.delay
        self.listeners = []

    async def run(self, port, rewrite_replies):
        try:
            async with asyncio.TaskGroup() as tasks:
                to_server = asyncio.Queue(QUEUE_CHUNKS)
                tasks.create_task(self.read(self.client_reader, to_server, self.client_ready))
                await self.sleep_until(self.server_ready)
                server_reader, self.server_writer = await asyncio.open_connection(HOST, port)
                to_client = asyncio.Queue(QUEUE_CHUNKS)
                read_server = self.read_replies if rewrite_replies else self.read
                tasks.create_task(self.write(to_server, self.server_writer))
                tasks.create_task(read_server(server_reader, to_client, self.server_ready))
                tasks.create_task(self.write(to_client, self.client_writer))
        except* (OSError, asyncio.LimitOverrunError):
            # A reset or refusal on one side ends the other side at once, as a dropped link would.
            for writer in (self.client_writer, self.server_writer):
                if writer:
                    writer.transport.abort()
        finally:
            for listener in self.listeners:
                listener.close()
            for writer in (self.client_writer, self.server_writer):
                if writer:
                    writer.close()

    def due(self, earliest):
        return max(self.loop.time(), earliest) + self.proxy.delay / 2

    async def read(self, reader, queue, earliest):
        while True:
            data = await reader.read(CHUNK)
            await queue.put((self.due(earliest), data))
            if not data:
                return

    async def read_replies(self, reader, queue, earliest):
        """The server's side of a control connection, a line at a time, with passive replies
        pointed at a listener of the proxy."""
        while True:
            try:
                line = await reader.readuntil(b"\n")
            except asyncio.IncompleteReadError as end:
                if end.partial:
                    await queue.put((self.due(earliest), end.partial))
                await queue.put((self.due(earliest), b""))
                return
            await queue.put((self.due(earliest), await self.rewrite(line)))

    async def rewrite(self, line):
        if match := PASV.match(line):
            host = ".".join(g.decode() for g in match.groups()[:4])
            port = await self.listen(host, int(match[5]) * 256 + int(match[6]))
            return b"227 Entering Passive Mode (127,0,0,1,%d,%d).\r\n" % divmod(port, 256)
        if match := EPSV.match(line):
            port = await self.listen(HOST, int(match[2]))
            return b"229 Entering Extended Passive Mode (|||%d|).\r\n" % port
        return line

    async def listen(self, host, port):
        """A listener for one data connection, forwarded to the server's `port`."""
        if host != HOST:
            raise OSError(f"passive address {host} is not {HOST}")

        def accept(reader, writer):
            server.close()
            self.proxy.start(Link(self.proxy, reader, writer).run(port, rewrite_replies=False))

        server = await asyncio.start_server(accept, HOST, 0, backlog=1)
        self.listeners.append(server)
        return server.sockets[0].getsockname()[1]

    async def write(self, queue, writer):
        while True:
            due, data = await queue.get()
            await self.sleep_until(due)
            if not data:
                if writer.can_write_eof():
                    writer.write_eof()
                return
            writer.write(data)
            await writer.drain()

    async def sleep_until(self, moment):
        wait = moment - self.loop.time() - self.proxy.early
        if wait > 0:
            await asyncio.sleep(wait)
            late = self.loop.time() - moment
            self.proxy.early = min(max(self.proxy.early + LEARNING_STEP * late, 0), MAX_EARLY)


class Proxy:
    def __init__(self, upstream, delay_ms):
        self.upstream = upstream
        self.delay = delay_ms / 1000
        self.early = 0.0
        # The event loop holds tasks weakly, and a link waiting on its sockets may have no other
        # strong root: without this set it could be collected halfway.
        self.links = set()

    def accept(self, reader, writer):
        self.start(Link(self, reader, writer).run(self.upstream, rewrite_replies=True))

    def start(self, run):
        task = asyncio.create_task(run)
        self.links.add(task)
        task.add_done_callback(self.links.discard)


async def serve(args):
    proxy = Proxy(args.upstream, args.delay)
    server = await asyncio.start_server(proxy.accept, HOST, 0, backlog=64)
    port = server.sockets[0].getsockname()[1]
    if args.port_file:
        # Written whole under another name first: a reader never sees half a number.
        partial = args.port_file + ".partial"
        with open(partial, "w") as f:
            f.write(f"{port}\n")
        os.replace(partial, args.port_file)
    print(f"delay_proxy: port {port}", flush=True)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    async with server:
        await stop.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--upstream", type=int, required=True, help="the FTP server's port on 127.0.0.1")
    parser.add_argument("--delay", type=float, required=True, help="round trip in milliseconds")
    parser.add_argument("--port-file", help="where to write the port the proxy listens on")
    args = parser.parse_args()
    if args.delay < 0:
        parser.error("--delay must not be negative")
    asyncio.run(serve(args))
    return 0


if __name__ == "__main__":
    sys.exit(main())
