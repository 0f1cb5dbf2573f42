#!/usr/bin/env bash
# Runs every benchmark and prints one table: lumo-cli against curl on pyftpdlib and vsftpd, the
# in-process listing fill, and peak memory. Usage: bench/run.sh BUILD_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec /usr/bin/python3 "$here/bench.py" "${1:-$here/../build}"
