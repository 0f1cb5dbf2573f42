#!/usr/bin/python3
"""What the upload block size (the system page's 送信バッファ slider) costs on loopback.

Usage: upload_chunk.py BUILD_DIR [MIB]

Uploads one file of MIB mebibytes (200 by default) with lumo-cli to vsftpd on 127.0.0.1, passive,
at the slider's smallest and largest values and at the default, and prints the best of a few runs
for each. The block is the most bytes one send call takes, so the smallest value means many more
system calls per megabyte.
"""
import os
import sys
import tempfile

import bench as B

RUNS = 3
BLOCKS_KB = (1, 4, 24)


def write_block_setting(config, kb):
    with open(os.path.join(config, "lumo.reg"), "w", encoding="utf-8") as f:
        f.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\lumo\\system]\n"
                f'"sendbuf"=dword:{kb:08x}\n')


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    lumo_cli = os.path.join(sys.argv[1], "tools", "lumo-cli")
    size = int(sys.argv[2]) * B.MIB if len(sys.argv) > 2 else 200 * B.MIB
    with tempfile.TemporaryDirectory(prefix="lumo-chunk-") as work:
        root = os.path.join(work, "root")
        config = os.path.join(work, "config")
        for d in (root, config, os.path.join(root, "up")):
            os.makedirs(d)
        os.environ["LUMO_CONFIG_DIR"] = config
        source = os.path.join(work, "big.bin")
        with open(source, "wb") as f:
            for _ in range(size // B.MIB):
                f.write(os.urandom(B.MIB))
        digest = B.sha256(source)
        server = B.Vsftpd(root, work)
        server.start()
        dest = os.path.join(root, "up", "big.bin")
        try:
            print(f"upload of {size // B.MIB} MiB to vsftpd on 127.0.0.1, passive, best of {RUNS}")
            print(f"{'block':>8} {'seconds':>9} {'MiB/s':>8}")
            for kb in BLOCKS_KB:
                write_block_setting(config, kb)
                runs = []
                for _ in range(RUNS):
                    B.remove(dest)
                    run = B.timed([lumo_cli, "--passive", server.target(), "put", source,
                                   server.remote_path("up")])
                    run.error = run.error or B.check_file(dest, size, digest)
                    runs.append(run)
                failed = [r.error for r in runs if r.error]
                if failed:
                    print(f"{kb:>5} KB  failed: {failed[0]}")
                    continue
                best = min(r.seconds for r in runs)
                print(f"{kb:>5} KB {best:>9.2f} {size / B.MIB / best:>8.0f}", flush=True)
        finally:
            server.stop()


if __name__ == "__main__":
    main()
