#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# run-fuzzer.sh BUILD_DIR short RUNS     a fixed number of runs from the committed corpus (make test)
# run-fuzzer.sh BUILD_DIR long SECONDS   fuzzing for that long (make fuzz)
# Inputs the fuzzer finds interesting go to BUILD_DIR/fuzz-corpus, never into the committed corpus;
# an input that crashes, hangs or blows the memory limit is written to BUILD_DIR/fuzz-findings and
# fails the run. Keep each one in tests/fuzz/corpus once its fault is fixed.
set -euo pipefail
build=$1 mode=$2 amount=$3
here=$(cd "$(dirname "$0")" && pwd)
fuzzer=$build/bin/lumsifter-dbhost-fuzzer
findings=$build/fuzz-findings
mkdir -p "$findings" "$build/fuzz-corpus"

export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-/usr/lib/llvm-14/bin/llvm-symbolizer}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
# The helper's own limits: 1 GiB of address space (so no allocation of more) and 5 s a request,
# doubled for the sanitizers' slowness. The readers' complaints on standard error are closed out; the
# fuzzer's and the sanitizers' reports still appear.
options=(-rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 -max_len=3145728 -close_fd_mask=2
         -artifact_prefix="$findings/" -print_final_stats=1)
case $mode in
short)
    # A fixed seed: every run of make test fuzzes the same inputs.
    rm -rf "$build/fuzz-corpus"/*
    exec "$fuzzer" "${options[@]}" -seed=1 -runs="$amount" "$build/fuzz-corpus" "$here/corpus"
    ;;
long)
    exec "$fuzzer" "${options[@]}" -max_total_time="$amount" "$build/fuzz-corpus" "$here/corpus"
    ;;
*)
    echo "usage: $0 BUILD_DIR short RUNS | long SECONDS" >&2
    exit 2
    ;;
esac
