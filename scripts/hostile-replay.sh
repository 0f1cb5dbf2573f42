#!/usr/bin/env bash
# Replays the hostile-server scenarios (tests/hostile/) against build/tools/lumo-cli, one line each:
# PASS or FAIL, exit status, wall time, peak memory and what was wrong. Exits 1 when any fails.
# usage: scripts/hostile-replay.sh [--lumo PATH] [--bomb-width N] [--tree-files N] [--keep] [scenario...]
# (--help lists the scenarios and options). LUMO_CLI names another lumo-cli.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# /usr/bin/python3, as the tests run it: another python3 may come first on the PATH.
if [ ! -x /usr/bin/python3 ]; then
    echo "hostile-replay: no /usr/bin/python3 (bash scripts/install-deps.sh demo installs it)" >&2
    exit 2
fi
exec /usr/bin/python3 "$root/tests/hostile/replay.py" "$@"
