#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check-tool-options.sh PROGRAM...: every bench and tool program answers --help with its usage and
# exits 0, and refuses an unknown option with status 2; neither writes anything, in the folder it
# runs in or under a folder named like the option.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for program in "$@"; do
    name=$(basename "$program")
    for option in --help --no-such-option; do
        mkdir "$work/run"
        status=0
        (cd "$work/run" && "$program" "$option" >"$work/out" 2>"$work/err") || status=$?
        expected=0 stream=out
        [ "$option" = --help ] || expected=2 stream=err
        left=$(ls -A "$work/run")
        if [ $status -ne $expected ] || ! grep -q '^usage: ' "$work/$stream" || [ -n "$left" ]; then
            echo "$name $option: status $status (expected $expected), wrote [$left]"
            cat "$work/out" "$work/err"
            failed=1
        fi
        rm -rf "$work/run"
    done
done
[ $failed -eq 0 ] && echo "$# programs answer --help and refuse unknown options"
exit $failed
