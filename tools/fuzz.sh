#!/usr/bin/env bash
# Builds the engine's fuzz target (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it from the seed corpus for a bounded time.
#
#   tools/fuzz.sh [seconds] [extra libFuzzer options...]      (seconds default to 120)
#
# New inputs go to build/fuzz/corpus, so the seeds in fuzz/corpus stay as committed; reproducers
# go to build/fuzz/findings (replay one with: build/fuzz/fuzz/engine_fuzz FILE). Exits non-zero
# when the run finds anything. Later options override earlier ones, so for instance
# "tools/fuzz.sh 3600 -max_len=512" fuzzes short formulas only.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-120}
shift || true

tools/install-deps.sh cmake make clang libclang-rt-14-dev

build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DVF_BUILD_FUZZ=ON -DVF_SANITIZE=ON \
    -DVF_BUILD_VIEWER=OFF -DVF_BUILD_TESTS=OFF -DVF_BUILD_BENCHMARKS=OFF -DVF_WERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target engine_fuzz

corpus=$build/corpus
findings=$build/findings
log=$build/fuzz.log
mkdir -p "$corpus" "$findings"
known=$(ls "$findings")

echo "Fuzzing for $seconds s; full log in $log"
status=0
# AddressSanitizer keeps every distinct allocation stack it sees for good. Deep formulas give
# endless distinct stacks of 30 frames, which alone crossed the 2 GB limit after a million runs;
# 3 frames keep memory flat. Run a reproducer on its own for full stacks. Options given in the
# environment come last and win.
ASAN_OPTIONS=detect_leaks=1:malloc_context_size=3:${ASAN_OPTIONS:-} \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-} \
    "$build/fuzz/engine_fuzz" "$corpus" fuzz/corpus \
    -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=8192 \
    -dict=fuzz/engine.dict -artifact_prefix="$findings/" -print_final_stats=1 "$@" \
    >"$log" 2>&1 || status=$?

new=$(comm -13 <(echo "$known") <(ls "$findings"))
if ((status != 0)) || [[ -n $new ]]; then
    tail -n 60 "$log"
    echo "FINDING (exit status $status); reproducers in $findings/:"
    echo "$new"
    exit $((status != 0 ? status : 1))
fi

# libFuzzer's last status line (executions, cov:, ft:, corpus, exec/s) and its final stats.
grep -E '^#[0-9]+[[:space:]]+DONE|^Done [0-9]+ runs' "$log" || true
grep -E '^stat::' "$log"
