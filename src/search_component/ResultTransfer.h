// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

class QMimeData;

namespace search_component {

// What the result list hands to other programs, through the clipboard or a drag, for a path given by
// its raw bytes. Neither loses a byte of a name that is not valid UTF-8.

// The path as text: its exact bytes (text/plain).
QMimeData *pathAsText(const QByteArray &path);

// The file itself, for a file manager to paste or to receive in a drop: its URI as text/uri-list and
// in the clipboard form of the GNOME family of file managers, and the path as text.
QMimeData *fileForTransfer(const QByteArray &path);

} // namespace search_component
