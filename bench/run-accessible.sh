#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# run-accessible.sh COMMAND...: runs COMMAND on the X display with Qt's accessibility bridge on: a
# session bus of its own, the accessibility bus started on it, and the bridge forced on.
exec dbus-run-session -- sh -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    launcher=$!
    sleep 1
    QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$@"
    status=$?
    kill $launcher 2>/dev/null
    exit $status' sh "$@"
