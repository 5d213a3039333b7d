#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks one desktop file with the validator of its format; prints what is wrong and exits 1 then.
#   check-desktop-files.sh entry TEMPLATE WRITER   the menu entry, written for awkward program paths
#   check-desktop-files.sh metainfo FILE           the AppStream metainfo, offline
#   check-desktop-files.sh manual FILE             the manual page, as man formats it
set -euo pipefail
need() {
    command -v "$1" >/dev/null || { echo "$1 is missing: make deps installs it"; exit 1; }
}
case $1 in
entry)
    need desktop-file-validate
    template=$2 writer=$3
    dir=$(mktemp -d)
    trap 'rm -rf "$dir"' EXIT
    # Each program path with the Exec value the Desktop Entry rules ask for.
    check() {
        cmake -DTEMPLATE="$template" -DOUTPUT="$dir/entry.desktop" -DPROGRAM="$1" -P "$writer"
        desktop-file-validate "$dir/entry.desktop"
        local exec
        exec=$(sed -n 's/^Exec=//p' "$dir/entry.desktop")
        if [ "$exec" != "$2" ]; then
            echo "for $1: Exec=$exec, expected Exec=$2"
            exit 1
        fi
    }
    check /usr/bin/lumsifter /usr/bin/lumsifter
    check '/home/ann/my apps/bin/lumsifter' '"/home/ann/my apps/bin/lumsifter"'
    check '/home/ann/100% "a$b`c\d"/lumsifter' '"/home/ann/100%% \\"a\\$b\\`c\\\\d\\"/lumsifter"'
    echo "the menu entry is valid"
    ;;
metainfo)
    need appstreamcli
    appstreamcli validate --no-net --explain "$2"
    ;;
manual)
    need man
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$2" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "$warnings"
        exit 1
    fi
    echo "the manual page formats without warnings"
    ;;
esac
