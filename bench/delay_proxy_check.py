#!/usr/bin/python3
"""Checks delay_proxy.py against a small FTP-like server of its own, in a few seconds.

Usage: delay_proxy_check.py [DELAY_MS]   (20 by default)

A connection's greeting comes no sooner than two round trips after the connect, a command and its
reply take one round trip (their mean is printed), a PASV download and an EPSV upload of 64 MiB
arrive whole and in order through the proxy's own data ports, a half-close passes in both
directions, and the proxy's peak memory stays far below what it carried. Exits 1 on a failure.
"""
import asyncio
import hashlib
import os
import re
import statistics
import sys
import tempfile
import time

HOST = "127.0.0.1"
PROXY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "delay_proxy.py")
BULK = 64 << 20
ROUND_TRIPS = 100
# The proxy holds its queues and stream buffers, a few megabytes, beside the interpreter.
PEAK_LIMIT = 48 << 20
START_TIMEOUT = 10


class Upstream:
    """Greets, answers NOOP, and serves one data connection per PASV or EPSV: RETR sends `payload`
    and closes; STOR reads to the client's half-close and sends back the SHA-256 of what came."""

    def __init__(self, payload):
        self.payload = payload

    async def control(self, reader, writer):
        writer.write(b"220 check\r\n")
        data = None
        while line := await reader.readline():
            command = line.split(b" ", 1)[0].strip().upper()
            if command == b"NOOP":
                writer.write(b"200 ok\r\n")
            elif command in (b"PASV", b"EPSV"):
                data = asyncio.get_running_loop().create_future()
                server = await asyncio.start_server(
                    lambda r, w, f=data: f.set_result((r, w)) if not f.done() else w.close(), HOST, 0)
                port = server.sockets[0].getsockname()[1]
                if command == b"PASV":
                    writer.write(b"227 Entering Passive Mode (127,0,0,1,%d,%d).\r\n" % divmod(port, 256))
                else:
                    writer.write(b"229 Entering Extended Passive Mode (|||%d|)\r\n" % port)
            elif command in (b"RETR", b"STOR"):
                data_reader, data_writer = await data
                server.close()
                if command == b"RETR":
                    data_writer.write(self.payload)
                else:
                    digest = hashlib.sha256()
                    while piece := await data_reader.read(1 << 16):
                        digest.update(piece)
                    data_writer.write(digest.hexdigest().encode())
                await data_writer.drain()
                data_writer.close()
                writer.write(b"226 done\r\n")
            await writer.drain()
        writer.close()


async def start_proxy(upstream_port, delay_ms, work):
    port_file = os.path.join(work, "proxy.port")
    proxy = await asyncio.create_subprocess_exec(
        sys.executable, PROXY, "--upstream", str(upstream_port), "--delay", str(delay_ms),
        "--port-file", port_file, stdout=asyncio.subprocess.DEVNULL)
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline and proxy.returncode is None:
        if os.path.exists(port_file):
            with open(port_file) as f:
                return proxy, int(f.read())
        await asyncio.sleep(0.02)
    raise RuntimeError("the proxy did not start")


async def passive_port(reader, writer, command):
    writer.write(command + b"\r\n")
    reply = await reader.readline()
    numbers = re.findall(rb"\d+", reply.split(b" ", 1)[1])
    port = int(numbers[4]) * 256 + int(numbers[5]) if command == b"PASV" else int(numbers[0])
    return port


def peak_memory(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    return 0


async def check(delay_ms, work):
    failures = []
    payload = os.urandom(BULK)
    upstream = Upstream(payload)
    server = await asyncio.start_server(upstream.control, HOST, 0)
    proxy, port = await start_proxy(server.sockets[0].getsockname()[1], delay_ms, work)
    delay = delay_ms / 1000
    try:
        started = time.monotonic()
        reader, writer = await asyncio.open_connection(HOST, port)
        greeting = await reader.readline()
        greeted = time.monotonic() - started
        if greeting != b"220 check\r\n" or greeted < 2 * delay - 0.001:
            failures.append(f"greeting {greeting!r} after {greeted * 1000:.1f} ms, expected 2 round trips")

        trips = []
        for _ in range(ROUND_TRIPS):
            sent = time.monotonic()
            writer.write(b"NOOP\r\n")
            if await reader.readline() != b"200 ok\r\n":
                failures.append("NOOP was not answered in order")
            trips.append(time.monotonic() - sent)
        # The first half lets the proxy learn how late its timers wake.
        mean = statistics.mean(trips[ROUND_TRIPS // 2:])
        print(f"delay_proxy_check: D = {delay_ms:g} ms, greeting after {greeted * 1000:.1f} ms, "
              f"command round trip {mean * 1000:.2f} ms (mean of the last {ROUND_TRIPS - ROUND_TRIPS // 2})")
        if mean < delay - 0.001:
            failures.append(f"round trip {mean * 1000:.2f} ms is shorter than {delay_ms:g} ms")

        data_port = await passive_port(reader, writer, b"PASV")
        if data_port == server.sockets[0].getsockname()[1]:
            failures.append("the PASV reply was not pointed at the proxy")
        data_reader, data_writer = await asyncio.open_connection(HOST, data_port)
        writer.write(b"RETR x\r\n")
        got = await data_reader.read()
        data_writer.close()
        if got != payload:
            failures.append(f"PASV download: {len(got)} bytes, not the {BULK} sent in order")
        await reader.readline()

        data_port = await passive_port(reader, writer, b"EPSV")
        data_reader, data_writer = await asyncio.open_connection(HOST, data_port)
        writer.write(b"STOR x\r\n")
        data_writer.write(payload)
        await data_writer.drain()
        data_writer.write_eof()
        answer = await data_reader.read()
        data_writer.close()
        if answer != hashlib.sha256(payload).hexdigest().encode():
            failures.append("EPSV upload: the server did not get the bytes sent, or the half-close was lost")
        await reader.readline()

        peak = peak_memory(proxy.pid)
        if peak > PEAK_LIMIT:
            failures.append(f"the proxy peaked at {peak >> 20} MiB after carrying {2 * BULK >> 20} MiB")
        writer.close()
    finally:
        proxy.terminate()
        await proxy.wait()
        server.close()
    return failures


def main():
    delay_ms = float(sys.argv[1]) if len(sys.argv) > 1 else 20
    with tempfile.TemporaryDirectory(prefix="lumo-proxy-check-") as work:
        failures = asyncio.run(check(delay_ms, work))
    for failure in failures:
        print(f"delay_proxy_check: FAILED: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
