#!/usr/bin/python3
"""A loopback FTP server on pyftpdlib, for the demo and the tests.

It listens on 127.0.0.1 or --host ::1 (port 0 picks a free one), writes the port it got to
--port-file once it accepts connections, and serves --root to one user with full rights (and to
anonymous, read only, when --anonymous is given). With --tls-cert and --tls-key it requires TLS on
the control and data connections (explicit, AUTH TLS). It stops on SIGTERM or SIGINT.
"""
import argparse
import logging
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.ioloop import AsyncChat
from pyftpdlib.servers import FTPServer


def keep_descriptors_of_newer_connections():
    """pyftpdlib 1.5.7 unregisters a closing channel by its descriptor number even when that number
    already belongs to a newer connection (a data channel closed, its number reused by a session
    that has just connected): the newer session is then never read again. A channel only takes
    itself off the loop."""

    def del_channel(self, map=None):
        if self._fileno is not None and self.ioloop.socket_map.get(self._fileno) is self:
            self.ioloop.unregister(self._fileno)

    AsyncChat.del_channel = del_channel


class EarlyTlsDtp(TLS_DTPHandler):
    def readable(self):
        if getattr(self, "_ssl_accepting", False):
            return True
        return super().readable()


def slow_files_handler(rate):
    """A data channel that sends files whose names end in ".slow" at `rate` bytes a second and
    everything else at full speed, so that a test can catch a transfer while it runs."""

    class SlowFiles(ThrottledDTPHandler):
        auto_sized_buffers = False

        @property
        def write_limit(self):
            name = getattr(getattr(self, "file_obj", None), "name", "")
            return rate if isinstance(name, str) and name.endswith(".slow") else 0

    return SlowFiles


def main():
    keep_descriptors_of_newer_connections()
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--host", default="127.0.0.1", choices=["127.0.0.1", "::1"])
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    parser.add_argument("--accept-early-tls", action="store_true",
                        help="take a data handshake that starts before the transfer command "
                             "(curl 7.88 does that; pyftpdlib 1.5.8 accepts it too)")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--user", default="lumo")
    parser.add_argument("--password", default="lumo")
    parser.add_argument("--anonymous", action="store_true")
    parser.add_argument("--encoding", default="utf8",
                        help="how file names are encoded on the wire (utf8 or cp932)")
    parser.add_argument("--slow-rate", type=int, default=0,
                        help="bytes a second for files named *.slow (0: no file is slowed)")
    parser.add_argument("--extra-list-line",
                        help="a line every LIST and MLSD sends before the entries "
                             "(a line no client can read)")
    parser.add_argument("--mlsd-only", action="store_true",
                        help="refuse LIST, as servers that list only by MLSD do")
    parser.add_argument("--drop-once", action="store_true",
                        help="the first RETR of each file named *.drop ends its session at once")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()

    logging.basicConfig(level=logging.INFO if args.verbose else logging.WARNING,
                        stream=sys.stderr)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    if args.anonymous:
        authorizer.add_anonymous(args.root)

    handler = FTPHandler
    if args.tls_cert:
        handler = TLS_FTPHandler
        handler.certfile = args.tls_cert
        handler.keyfile = args.tls_key
        handler.tls_control_required = True
        handler.tls_data_required = True
        if args.accept_early_tls:
            handler.dtp_handler = EarlyTlsDtp
    handler.authorizer = authorizer
    handler.encoding = args.encoding
    handler.banner = "lumo test server ready."
    handler.passive_ports = None
    handler.permit_foreign_addresses = False
    if args.slow_rate > 0:
        handler.dtp_handler = slow_files_handler(args.slow_rate)
    if args.extra_list_line:
        extra = args.extra_list_line.encode("utf8") + b"\r\n"

        class ExtraLineFS(handler.abstracted_fs):
            def format_list(self, basedir, listing, ignore_err=True):
                yield extra
                yield from super().format_list(basedir, listing, ignore_err)

            # MLSD too, for a client that lists by MLSD where it is offered. MLST asks with
            # ignore_err=False and stays the one line it describes.
            def format_mlsx(self, basedir, listing, perms, facts, ignore_err=True):
                if ignore_err:
                    yield extra
                yield from super().format_mlsx(basedir, listing, perms, facts, ignore_err)
        handler.abstracted_fs = ExtraLineFS
    if args.mlsd_only:
        class MlsdOnly(handler):
            def ftp_LIST(self, path):
                self.respond("502 LIST not implemented; use MLSD.")
        handler = MlsdOnly

    if args.drop_once:
        dropped = set()

        class DropOnce(handler):
            def ftp_RETR(self, file):
                if file.endswith(".drop") and file not in dropped:
                    dropped.add(file)
                    self.close()
                    return
                return super().ftp_RETR(file)
        handler = DropOnce

    server = FTPServer((args.host, args.port), handler)
    server.max_cons = 64

    def stop(_signum, _frame):
        server.close_all()
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    port = server.socket.getsockname()[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write(f"{port}\n")
        os.replace(tmp, args.port_file)
    print(f"ftp_server: listening on {args.host}:{port}", file=sys.stderr, flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
