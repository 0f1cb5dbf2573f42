#!/usr/bin/python3
"""A hostile FTP server for one scenario, on 127.0.0.1.

It binds a free port, writes the port to --port-file once it accepts connections, and serves until
SIGTERM or SIGINT. What it notices of the client (a PASS after a refused USER, a command before the
greeting, a data connection made from elsewhere) goes to stderr as "event: ..." lines, which the
replay reads. With --dump PATH it writes that file of the scenario's tree to stdout and ends.

usage: hostile_ftp.py --scenario NAME --port-file FILE [scenario options]
"""
import argparse
import asyncio
import os
import signal
import sys

from ftp_session import MAX_LINE, Session
from scenarios import SCENARIOS, add_options
from trees import FILE


def make_log(scenario):
    def log(text):
        sys.stderr.write("hostile[%s]: %s\n" % (scenario, text))
        sys.stderr.flush()

    return log


def write_port_file(path, port):
    # Written whole and renamed into place: a reader never sees half a number.
    partial = path + ".partial"
    with open(partial, "w") as f:
        f.write("%d\n" % port)
    os.replace(partial, path)


async def serve(behaviour, options, log):
    sessions = set()

    async def on_connect(reader, writer):
        task = asyncio.current_task()
        sessions.add(task)
        try:
            await Session(reader, writer, behaviour, log).run()
        finally:
            sessions.discard(task)

    server = await asyncio.start_server(on_connect, "127.0.0.1", 0, limit=MAX_LINE)
    port = server.sockets[0].getsockname()[1]
    stop = asyncio.get_running_loop().create_future()
    for sig in (signal.SIGTERM, signal.SIGINT):
        asyncio.get_running_loop().add_signal_handler(sig, lambda: stop.done() or stop.set_result(None))
    write_port_file(options.port_file, port)
    log("listening on 127.0.0.1:%d" % port)
    await stop
    server.close()
    for task in list(sessions):
        task.cancel()
    await asyncio.gather(*sessions, return_exceptions=True)
    log("stopped")


def dump(behaviour, path):
    parts = tuple(p for p in path.encode("utf-8", "surrogateescape").split(b"/") if p)
    if behaviour.tree.kind(parts) != FILE:
        sys.exit("hostile_ftp: no file %s in this scenario" % path)
    sys.stdout.buffer.write(behaviour.tree.content(parts))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--scenario", required=True, choices=sorted(SCENARIOS))
    parser.add_argument("--port-file")
    parser.add_argument("--dump", metavar="PATH", help="write this file of the tree to stdout and end")
    parser.add_argument("--trace", action="store_true", help="log every command")
    add_options(parser)
    options = parser.parse_args()
    behaviour = SCENARIOS[options.scenario](options)
    behaviour.feat = not options.no_feat
    behaviour.trace = options.trace
    if options.dump:
        dump(behaviour, options.dump)
        return
    if not options.port_file:
        parser.error("--port-file is needed to serve")
    asyncio.run(serve(behaviour, options, make_log(options.scenario)))


if __name__ == "__main__":
    main()
