#!/usr/bin/env bash
# Runs every benchmark: the host settings sheet over 1,000 hosts, drag and drop of 10,000 entries,
# then one table of lumo-cli against curl on pyftpdlib and vsftpd, the in-process listing fill, and
# peak memory; last, many small files through a delaying proxy against lftp (latency.py).
# Usage: bench/run.sh BUILD_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
"$build/bench/host_sheet"
"$build/bench/drag_and_drop" 10000
# A missed target or a failed row in one table does not keep the other from being measured.
status=0
/usr/bin/python3 "$here/bench.py" "$build" || status=$?
/usr/bin/python3 "$here/latency.py" "$build" || status=$?
exit $status
