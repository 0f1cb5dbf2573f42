#!/usr/bin/env bash
# Benchmarks of lumo against curl come with the command-line client.
set -euo pipefail
echo "bench: no benchmarks yet"
