#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes a screenshot of the main window under a virtual X server: take-screenshot.sh PROGRAM OUT.png
set -euo pipefail
program=$1
out=$2
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$0" & pid=$!
    for _ in $(seq 50); do xdotool search --name "^Not Set$" >/dev/null 2>&1 && break; sleep 0.1; done
    sleep 1
    id=$(xdotool search --name "^Not Set$" | head -n1)
    import -window "$id" "$1"
    kill $pid' "$program" "$out"
echo "wrote $out"
