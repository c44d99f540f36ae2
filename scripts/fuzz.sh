#!/bin/sh
# Runs every libFuzzer target for a while: usage fuzz.sh BUILD-DIR SECONDS [TARGET...].
# Each target starts from its seed corpus (fuzz/corpus/<target>/, never written to) plus a
# scratch corpus; a finding stops the run and its input is kept in BUILD-DIR/fuzz-findings/.
set -e
cd "$(dirname "$0")/.."
build="${1:?usage: fuzz.sh BUILD-DIR SECONDS [TARGET...]}"
seconds="${2:?usage: fuzz.sh BUILD-DIR SECONDS [TARGET...]}"
shift 2
targets="$*"
if [ -z "$targets" ]; then
    targets=$(for f in fuzz/fuzz_*.cpp; do basename "$f" .cpp; done)
fi
findings="$PWD/$build/fuzz-findings"
mkdir -p "$findings"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
for target in $targets; do
    program="$PWD/$build/fuzz/$target"
    if [ ! -x "$program" ]; then
        echo "fuzz: $program is missing; build it first" >&2
        exit 1
    fi
    mkdir -p "$work/$target"
    seeds="$PWD/fuzz/corpus/$target"
    [ -d "$seeds" ] || seeds=""
    echo "fuzzing $target for $seconds s"
    # A hang shows as a timeout finding (10 s for one input), never as a stuck run.
    if ! (cd "$work" && "$program" -max_total_time="$seconds" -timeout=10 -max_len=4096 \
        -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
        "$work/$target" ${seeds:+"$seeds"} >"$work/$target.log" 2>&1); then
        status=1
        grep -E "ERROR|SUMMARY|expected|#[0-9]+ 0x.* in " "$work/$target.log" | head -n 30
        echo "fuzz: $target found a fault; its input is in $findings" >&2
    fi
    grep -E "stat::number_of_executed_units|stat::average_exec_per_sec|Done [0-9]+ runs" \
        "$work/$target.log" || true
done
exit $status
