#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# run-tests.sh BUILD_DIR [JOBS]: the tests of the sanitizer build (unit, window and helper tests).
# Every process writes its sanitizer reports into BUILD_DIR/sanitizer-reports, the database helper
# included (its standard error goes back to the program, where no test would see a report); any
# report there fails the run, whatever the tests said.
set -euo pipefail
build=$1 jobs=${2:-2}
here=$(cd "$(dirname "$0")" && pwd)
reports=$(cd "$build" && pwd)/sanitizer-reports
rm -rf "$reports"
mkdir -p "$reports"

export ASAN_OPTIONS="log_path=$reports/report:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="log_path=$reports/report:print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$here/leaks-outside-our-code.supp:print_suppressions=0"

status=0
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs") || status=$?

shopt -s nullglob
found=("$reports"/report.*)
if [ ${#found[@]} -gt 0 ]; then
    for report in "${found[@]}"; do
        echo "== $report"
        cat "$report"
    done
    echo "the sanitizers reported ${#found[@]} times"
    exit 1
fi
[ $status -eq 0 ] || exit $status
echo "no sanitizer reports"
