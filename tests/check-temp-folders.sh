#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check-temp-folders.sh prepare|check FOLDER: the tests' temporary folder (their TMPDIR). "prepare"
# makes it empty before the tests; "check", after them, lists what they left behind and fails then
# (every test removes what it made, whatever the names' bytes, also when it fails), and removes the
# folder with everything in it.
set -euo pipefail
mode=$1 folder=$2
case $mode in
prepare)
    rm -rf -- "$folder"
    mkdir -p -- "$folder"
    ;;
check)
    mkdir -p -- "$folder"
    # Qt's runtime folder, made there when the session has none, belongs to no test.
    left=$(find "$folder" -mindepth 1 -maxdepth 1 ! -name 'runtime-*' -printf '%P\n' | LC_ALL=C sort)
    if [ -z "$left" ]; then
        rm -rf -- "$folder"
        echo "the tests left nothing in their temporary folder"
        exit 0
    fi
    echo "the tests left these behind in $folder (names escaped):"
    find "$folder" -mindepth 1 -maxdepth 2 ! -path '*/runtime-*' -print0 | LC_ALL=C sort -z |
        xargs -0 printf '  %q\n'
    chmod -R u+rwx -- "$folder"
    rm -rf -- "$folder"
    exit 1
    ;;
*)
    echo "usage: $0 prepare|check FOLDER" >&2
    exit 2
    ;;
esac
