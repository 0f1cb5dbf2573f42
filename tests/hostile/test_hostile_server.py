"""The hostile server itself, driven by Python's own FTP client and raw sockets: a replay is only as
good as the peer's FTP where it is not meant to be hostile.

run: /usr/bin/python3 -m unittest discover -s tests/hostile
"""
import ftplib
import io
import os
import socket
import tempfile
import unittest

from replay import Server
from scenarios import COLLIDING_FILES, big_file


class Served:
    """One scenario's server for the length of a with-block; ftp() logs a client in."""

    def __init__(self, scenario, *server_args):
        self.folder = tempfile.TemporaryDirectory(prefix="hostile-test-")
        self.server = Server(self.folder.name, scenario, list(server_args))

    def __enter__(self):
        try:
            self.port = self.server.port()
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *_):
        self.server.stop()
        self.folder.cleanup()

    def ftp(self, login=True):
        # Latin-1 carries every byte of a name through ftplib unchanged.
        client = ftplib.FTP(encoding="latin-1", timeout=30)
        client.connect("127.0.0.1", self.port)
        if login:
            client.login("user", "pass")
        return client

    def log(self):
        with open(os.path.join(self.folder.name, "server.log"), "rb") as f:
            return f.read().decode("utf-8", "replace")


def retr(client, name, rest=None):
    out = io.BytesIO()
    client.retrbinary("RETR " + name.decode("latin-1"), out.write, rest=rest)
    return out.getvalue()


def listing(client, command, path=""):
    lines = []
    client.retrlines((command + " " + path).strip(), lines.append)
    return [line.encode("latin-1") for line in lines]


class HostileServerTest(unittest.TestCase):
    def test_collide_serves_each_byte_name_its_own_file(self):
        with Served("collide") as served:
            client = served.ftp()
            client.cwd("/c")
            names = sorted(listing(client, "NLST"))
            self.assertEqual(names, sorted({path[1] for path in COLLIDING_FILES}))
            for path, content in COLLIDING_FILES.items():
                self.assertEqual(retr(client, b"/" + b"/".join(path)), content)
            self.assertTrue(all(line.startswith((b"-rw", b"drw")) for line in listing(client, "LIST")))
            client.quit()

    def test_static_tree_takes_uploads_folders_and_removals_in_both_modes(self):
        with Served("collide") as served:
            client = served.ftp()
            client.mkd("/c/new")
            client.cwd("/c/new")
            client.storbinary("STOR up.bin", io.BytesIO(b"x" * 100000))
            self.assertEqual(client.size("up.bin"), 100000)
            client.set_pasv(False)
            self.assertEqual(retr(client, b"up.bin", rest=99990), b"x" * 10)
            client.delete("up.bin")
            client.cwd("..")
            client.rmd("new")
            self.assertEqual(client.pwd(), "/c")
            self.assertNotIn(b"new", listing(client, "NLST"))
            client.quit()

    def test_rest_refused_sends_the_file_whole(self):
        with Served("rest-refused", "--big-bytes", "100000") as served:
            client = served.ftp()
            with self.assertRaises(ftplib.error_perm) as refused:
                client.sendcmd("REST 1000")
            self.assertTrue(str(refused.exception).startswith("502"))
            self.assertEqual(retr(client, b"/big.bin"), big_file(100000))
            client.quit()
            self.assertIn("event: rest-refused 1000", served.log())

    def test_bomb_folders_hold_width_folders_at_any_depth_and_nothing_else(self):
        with Served("bomb", "--width", "1000") as served:
            client = served.ftp()
            client.cwd("/b000/b999/b500")
            lines = listing(client, "LIST")
            self.assertEqual(len(lines), 1000)
            self.assertTrue(lines[0].startswith(b"drwx") and lines[0].endswith(b" b000"))
            for missing in ("b1000", "b00", "c000"):
                with self.assertRaises(ftplib.error_perm):
                    client.cwd(missing)
            client.quit()

    def test_deep_chain_ends_at_its_last_level(self):
        with Served("deep", "--levels", "120") as served:
            client = served.ftp()
            client.cwd("/deep/" + "/".join("d%03d" % i for i in range(1, 121)))
            self.assertEqual(listing(client, "NLST"), [b"f.txt"])
            self.assertEqual(retr(client, b"f.txt"), b"level 120\n")
            client.quit()

    def test_tree_spreads_its_files_over_folders(self):
        with Served("tree", "--files", "2500", "--per-folder", "1000") as served:
            client = served.ftp()
            self.assertEqual(listing(client, "NLST", "/t"), [b"d0", b"d1", b"d2"])
            self.assertEqual(len(listing(client, "NLST", "/t/d2")), 500)
            self.assertEqual(retr(client, b"/t/d2/f499"), b"file 2499\n")
            client.quit()

    def test_long_line_sits_among_ordinary_lines(self):
        with Served("long-line", "--line-bytes", "300000") as served:
            client = served.ftp()
            raw = io.BytesIO()
            client.retrbinary("LIST", raw.write)
            lines = raw.getvalue().split(b"\r\n")[:-1]
            self.assertEqual(sorted(len(line) for line in lines)[-1], 300000)
            self.assertEqual(sum(line.endswith((b" a.txt", b" b.txt")) for line in lines), 2)
            client.quit()

    def test_user_530_notes_a_pass_sent_after_the_refusal(self):
        with Served("user-530") as served:
            client = served.ftp(login=False)
            with self.assertRaises(ftplib.error_perm):
                client.sendcmd("USER user")
            with self.assertRaises(ftplib.error_perm):
                client.sendcmd("PASS pass")
            client.quit()
            self.assertIn("event: user-refused", served.log())
            self.assertIn("event: pass-after-refusal", served.log())

    def test_tls_stall_takes_auth_and_says_no_more(self):
        with Served("tls-stall") as served:
            client = served.ftp(login=False)
            self.assertTrue(client.sendcmd("AUTH TLS").startswith("234"))
            client.close()

    def test_foreign_data_connects_from_the_other_address(self):
        with Served("foreign-data") as served:
            client = served.ftp()
            client.set_pasv(False)
            self.assertEqual(sorted(listing(client, "NLST")), [b"a.txt", b"b.txt"])
            client.quit()
            self.assertIn("event: data-connection-from 127.0.0.2", served.log())

    def test_slow_greeting_notes_a_command_sent_before_the_220_and_answers_it_after(self):
        # The delay only has to outlast the few steps between the 120 and the early USER.
        with Served("slow-greeting", "--delay", "5") as served:
            early, patient = (socket.create_connection(("127.0.0.1", served.port), timeout=30) for _ in "ab")
            with early, patient:
                replies = [s.makefile("rb") for s in (early, patient)]
                for r in replies:
                    self.assertTrue(r.readline().startswith(b"120 "))
                early.sendall(b"USER early\r\n")
                for r in replies:
                    self.assertTrue(r.readline().startswith(b"220 "))
                patient.sendall(b"USER patient\r\n")
                for r in replies:
                    self.assertTrue(r.readline().startswith(b"331 "))
            self.assertEqual(served.log().count("event: command-before-greeting"), 1)


if __name__ == "__main__":
    unittest.main()
