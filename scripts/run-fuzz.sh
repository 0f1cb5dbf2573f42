#!/usr/bin/env bash
# Runs each fuzz target for SECONDS seconds, one after the other, starting from its seed corpus.
# What a run learns is kept in BUILD/fuzz-corpus/<target>/ (the next run goes on from there); an
# input that breaks a target lands in BUILD/fuzz-artifacts/<target>/ and makes this script fail.
# Usage: run-fuzz.sh BUILD SECONDS [TARGET...]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
shift 2
src=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(listing_parser reply_reader settings_file ftp_address)
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in "${targets[@]}"; do
    work=$build/fuzz-corpus/$target
    artifacts=$build/fuzz-artifacts/$target
    log=$build/fuzz-$target.log
    mkdir -p "$work" "$artifacts"
    echo "fuzz: $target for $seconds s"
    if "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$work" "$src/tests/fuzz/corpus/$target" >"$log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log" |
            sed 's/^/    /'
    else
        echo "fuzz: $target found an input that breaks it (log: $log):"
        ls "$artifacts" | sed 's/^/    /'
        grep -E 'ERROR|property broken|runtime error|SUMMARY' "$log" | head -5 | sed 's/^/    /'
        status=1
    fi
done
exit $status
