#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes a screenshot of the main window with the context menu of a found file open, under a virtual X
# server: take-menu-screenshot.sh PROGRAM OUT.png
set -euo pipefail
program=$1
out=$2
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    tree=$(mktemp -d)
    mkdir -p "$tree/Pictures"
    : > "$tree/Pictures/holiday-at-the-lake.jpg"
    "$0" & pid=$!
    trap "kill $pid 2>/dev/null; rm -rf \"$tree\"" EXIT
    for _ in $(seq 50); do xdotool search --name "^Not Set$" >/dev/null 2>&1 && break; sleep 0.1; done
    sleep 1
    id=$(xdotool search --name "^Not Set$" | head -n1)
    # Search drive C: for the picture, as a user types it into the pattern box.
    xdotool mousemove --window "$id" 440 396 click 1
    xdotool type --delay 20 "holiday-at-the-lake*"
    xdotool key Return
    for _ in $(seq 600); do xdotool search --onlyvisible --name "^Search Result$" >/dev/null 2>&1 && break; sleep 0.1; done
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "^Search Result$" | head -n1)"
    xdotool key Return
    sleep 0.5
    # Select the result, then open its menu and point at its first entry.
    xdotool mousemove --window "$id" 84 48 click 1
    sleep 0.3
    xdotool click 3
    sleep 0.5
    xdotool key Down
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$id")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1"' "$program" "$out"
echo "wrote $out"
