"""One control connection of the hostile server: plain FTP over a virtual tree of byte names, bent
where the scenario's behaviour says so."""
import asyncio

from data_channel import ActiveChannel, PassiveListener, parse_eprt, parse_port
from trees import DIR, FILE, Entry, listing_line

# Longest command line taken: a path a hundred and more folders deep still fits.
MAX_LINE = 1 << 20
# How long a data connection may take to come about.
DATA_TIMEOUT = 30
# Pieces a listing is sent in: big enough to be quick, small enough that a bomb never sits in memory.
PIECE = 64 * 1024
# The most an upload may hold: the tree keeps it in memory.
MAX_UPLOAD = 64 << 20

FEATURES = b"211-Features:\r\n SIZE\r\n MDTM\r\n REST STREAM\r\n UTF8\r\n211 End\r\n"
# Telnet "interrupt process" and "synch" a client may send before ABOR.
TELNET_URGENT = b"\xff\xf4\xf2"


def show(path):
    return b"/" + b"/".join(path)


class Session:
    """Serves one client until it quits or goes, one command at a time; a transfer runs beside the
    commands so that ABOR can reach it."""

    def __init__(self, reader, writer, behaviour, log):
        self.reader = reader
        self.writer = writer
        self.behaviour = behaviour
        self.tree = behaviour.tree
        self.log = log
        self.cwd = ()
        self.listener = PassiveListener()
        # Where the next transfer's data connection comes from: the listener, or an ActiveChannel.
        self.channel = None
        self.rest = 0
        self.transfer = None
        self.early_lines = []
        self.user_refused = False
        self.pass_seen = False

    async def run(self):
        try:
            if await self.greet():
                await self.serve_commands()
        except (OSError, asyncio.IncompleteReadError):
            pass
        finally:
            self.listener.close()
            if self.transfer:
                self.transfer.cancel()
            if self.user_refused and not self.pass_seen:
                self.log("event: no-pass-after-refusal")
            self.writer.transport.abort()

    async def greet(self):
        greeting = self.behaviour.greeting
        if greeting == "silent":
            self.log("event: silent-greeting")
            await self.ignore_everything()
            return False
        if greeting == "slow":
            await self.reply(b"120 ready in 1 minute")
            await self.read_until_greeting(self.behaviour.greeting_delay)
        await self.reply(b"220 hostile FTP server")
        self.log("event: greeting-sent")
        return True

    async def read_until_greeting(self, delay):
        """Takes what the client says before the 220 (and answers it after), noting that it spoke."""
        deadline = asyncio.get_running_loop().time() + delay
        while True:
            left = deadline - asyncio.get_running_loop().time()
            if left <= 0:
                return
            try:
                line = await asyncio.wait_for(self.reader.readuntil(b"\n"), left)
            except asyncio.TimeoutError:
                return
            verb = line.split(b" ")[0].strip().decode("ascii", "replace")
            self.log("event: command-before-greeting %s" % verb)
            self.early_lines.append(line)

    async def ignore_everything(self):
        while await self.reader.read(PIECE):
            pass

    async def read_line(self):
        if self.early_lines:
            return self.early_lines.pop(0)
        try:
            return await self.reader.readuntil(b"\n")
        except asyncio.LimitOverrunError:
            await self.reply(b"500 Line too long")
            return None
        except asyncio.IncompleteReadError:
            return None

    async def serve_commands(self):
        while True:
            line = await self.read_line()
            if line is None:
                return
            line = line.rstrip(b"\r\n").lstrip(TELNET_URGENT)
            verb, _, arg = line.partition(b" ")
            verb = verb.upper().decode("ascii", "replace")
            if self.behaviour.trace:
                self.log("command: %r" % line[:200])
            if self.transfer and not self.transfer.done():
                if verb == "ABOR":
                    await self.abort()
                    continue
                await asyncio.gather(self.transfer, return_exceptions=True)
            if verb == "QUIT":
                await self.reply(b"221 Goodbye")
                return
            handler = getattr(self, "cmd_" + verb, None)
            if handler is None:
                await self.reply(b"502 Command not implemented")
            elif await handler(arg) == "stop":
                return

    async def reply(self, text):
        self.writer.write(text + b"\r\n")
        await self.writer.drain()

    def resolve(self, arg):
        parts = [] if arg.startswith(b"/") else list(self.cwd)
        for name in arg.split(b"/"):
            if name in (b"", b"."):
                continue
            if name == b"..":
                if parts:
                    parts.pop()
            else:
                parts.append(name)
        return tuple(parts)

    # --- login and session settings ---

    async def cmd_USER(self, arg):
        if self.behaviour.refuse_user:
            self.user_refused = True
            self.log("event: user-refused")
            await self.reply(b"530 Not logged in: this user is unknown")
        else:
            await self.reply(b"331 Password required")

    async def cmd_PASS(self, arg):
        self.pass_seen = True
        if self.user_refused:
            self.log("event: pass-after-refusal")
            await self.reply(b"503 Login with USER first")
        else:
            await self.reply(b"230 Logged in")

    async def cmd_AUTH(self, arg):
        if not self.behaviour.stall_after_auth:
            await self.reply(b"502 TLS is not offered")
            return None
        await self.reply(b"234 Proceed with negotiation")
        self.log("event: tls-stall")
        await self.ignore_everything()
        return "stop"

    async def cmd_SYST(self, arg):
        await self.reply(b"215 UNIX Type: L8")

    async def cmd_FEAT(self, arg):
        if self.behaviour.feat:
            self.writer.write(FEATURES)
            await self.writer.drain()
        else:
            await self.reply(b"500 FEAT not understood")

    async def cmd_OPTS(self, arg):
        await self.reply(b"200 OK")

    async def cmd_TYPE(self, arg):
        await self.reply(b"200 Type set")

    async def cmd_MODE(self, arg):
        await self.reply(b"200 Mode set")

    async def cmd_STRU(self, arg):
        await self.reply(b"200 Structure set")

    async def cmd_NOOP(self, arg):
        await self.reply(b"200 OK")

    # --- folders ---

    async def cmd_PWD(self, arg):
        await self.reply(b'257 "%s" is the current folder' % show(self.cwd).replace(b'"', b'""'))

    async def cmd_CWD(self, arg):
        path = self.resolve(arg)
        if self.tree.kind(path) != DIR:
            await self.reply(b"550 No such folder")
            return
        self.cwd = path
        await self.reply(b"250 Folder changed")

    async def cmd_CDUP(self, arg):
        self.cwd = self.cwd[:-1]
        await self.reply(b"250 Folder changed")

    async def cmd_MKD(self, arg):
        path = self.resolve(arg)
        if not self.tree.writable or self.tree.kind(path) is not None or self.tree.kind(path[:-1]) != DIR:
            await self.reply(b"550 Cannot create that folder")
            return
        self.tree.make_folder(path)
        await self.reply(b'257 "%s" created' % show(path).replace(b'"', b'""'))

    async def cmd_RMD(self, arg):
        await self.remove(arg, DIR)

    async def cmd_DELE(self, arg):
        await self.remove(arg, FILE)

    async def remove(self, arg, kind):
        path = self.resolve(arg)
        if self.tree.writable and self.tree.kind(path) == kind and self.tree.remove(path):
            await self.reply(b"250 Removed")
        else:
            await self.reply(b"550 Cannot remove that")

    # --- files ---

    async def cmd_SIZE(self, arg):
        path = self.resolve(arg)
        if self.tree.kind(path) != FILE:
            await self.reply(b"550 No such file")
            return
        await self.reply(b"213 %d" % self.tree.size(path))

    async def cmd_MDTM(self, arg):
        if self.tree.kind(self.resolve(arg)) != FILE:
            await self.reply(b"550 No such file")
            return
        await self.reply(b"213 20240101000000")

    async def cmd_REST(self, arg):
        if self.behaviour.refuse_rest:
            self.log("event: rest-refused %s" % arg.decode("ascii", "replace"))
            await self.reply(b"502 REST is not taken here")
            return
        if not arg.isdigit():
            await self.reply(b"501 REST takes a byte count")
            return
        self.rest = int(arg)
        await self.reply(b"350 Restarting at %d" % self.rest)

    # --- data connections ---

    async def cmd_PASV(self, arg):
        port = await self.open_passive()
        await self.reply(b"227 Entering Passive Mode (127,0,0,1,%d,%d)" % (port >> 8, port & 0xFF))

    async def cmd_EPSV(self, arg):
        if arg.upper() == b"ALL":
            await self.reply(b"200 EPSV ALL taken")
            return
        port = await self.open_passive()
        await self.reply(b"229 Entering Extended Passive Mode (|||%d|)" % port)

    async def open_passive(self):
        self.listener.forget_waiting()
        self.channel = self.listener
        return await self.listener.listen()

    async def cmd_PORT(self, arg):
        await self.set_active(parse_port(arg))

    async def cmd_EPRT(self, arg):
        await self.set_active(parse_eprt(arg))

    async def set_active(self, address):
        if address is None:
            await self.reply(b"501 Unreadable address")
            return
        self.channel = ActiveChannel(address[0], address[1], self.behaviour.data_source, self.log)
        await self.reply(b"200 Data address taken")

    async def open_data(self):
        """The data connection of the next transfer, after the 150; None (and the reply said) when
        there is none."""
        channel, self.channel = self.channel, None
        if channel is None:
            await self.reply(b"425 Use PORT or PASV first")
            return None
        await self.reply(b"150 Opening data connection")
        try:
            return await channel.connect(DATA_TIMEOUT)
        except (OSError, asyncio.TimeoutError) as e:
            self.log("data connection failed: %s" % (e or type(e).__name__))
            await self.reply(b"425 Cannot open data connection")
            return None

    async def cmd_LIST(self, arg):
        await self.send_listing(arg, names_only=False)

    async def cmd_NLST(self, arg):
        await self.send_listing(arg, names_only=True)

    async def send_listing(self, arg, names_only):
        # Options such as "-a" or "-la" come before the path, if there is one.
        words = arg.split(b" ")
        while words and words[0].startswith(b"-"):
            words.pop(0)
        path = self.resolve(b" ".join(words))
        kind = self.tree.kind(path)
        if kind is None:
            await self.reply(b"550 No such file or folder")
            return
        if kind == FILE:
            entry = Entry(path[-1], False, self.tree.size(path))
            lines = [entry.name + b"\r\n" if names_only else listing_line(entry)]
        elif names_only:
            lines = (e.name + b"\r\n" for e in self.tree.entries(path))
        else:
            lines = self.tree.listing_lines(path)
        await self.start_sending(lines)

    async def cmd_RETR(self, arg):
        path = self.resolve(arg)
        offset, self.rest = self.rest, 0
        if self.tree.kind(path) != FILE:
            await self.reply(b"550 No such file")
            return
        await self.start_sending([self.tree.content(path)[offset:]])

    async def start_sending(self, pieces):
        streams = await self.open_data()
        if streams:
            self.transfer = asyncio.ensure_future(self.send(streams[1], pieces))

    async def send(self, writer, pieces):
        try:
            buffer = bytearray()
            for piece in pieces:
                buffer += piece
                if len(buffer) >= PIECE:
                    writer.write(bytes(buffer))
                    buffer.clear()
                    await writer.drain()
            writer.write(bytes(buffer))
            await writer.drain()
            writer.close()
            await writer.wait_closed()
        except OSError:
            await self.reply(b"426 Connection closed; transfer aborted")
            return
        finally:
            # Closed already when all went well; cut off when the transfer was aborted or failed.
            writer.transport.abort()
        await self.reply(b"226 Transfer complete")

    async def cmd_STOR(self, arg):
        await self.receive(arg, append=False)

    async def cmd_APPE(self, arg):
        await self.receive(arg, append=True)

    async def receive(self, arg, append):
        path = self.resolve(arg)
        offset, self.rest = self.rest, 0
        if not self.tree.writable or self.tree.kind(path[:-1]) != DIR or self.tree.kind(path) == DIR:
            await self.reply(b"553 Cannot store that file")
            return
        kept = self.tree.content(path) if self.tree.kind(path) == FILE else b""
        kept = kept if append else kept[:offset]
        streams = await self.open_data()
        if streams:
            self.transfer = asyncio.ensure_future(self.take(streams, path, kept))

    async def take(self, streams, path, kept):
        reader, writer = streams
        data = bytearray(kept)
        try:
            while len(data) <= MAX_UPLOAD:
                piece = await reader.read(PIECE)
                if not piece:
                    break
                data += piece
        except OSError:
            await self.reply(b"426 Connection closed; transfer aborted")
            return
        finally:
            writer.transport.abort()
        if len(data) > MAX_UPLOAD:
            await self.reply(b"552 Upload too big for this server")
            return
        self.tree.put(path, bytes(data))
        await self.reply(b"226 Transfer complete")

    async def abort(self):
        self.transfer.cancel()
        await asyncio.gather(self.transfer, return_exceptions=True)
        self.transfer = None
        await self.reply(b"426 Transfer aborted")
        await self.reply(b"226 ABOR done")

    async def cmd_ABOR(self, arg):
        self.channel = None
        await self.reply(b"226 No transfer to abort")
