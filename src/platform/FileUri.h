// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace platform {

// The file URI of a path given by its bytes. Every byte but the unreserved characters and the slash is
// percent-encoded, so that a name in any encoding reaches a file manager exactly: "/tmp/caf\xe9 1" is
// "file:///tmp/caf%E9%201".
QByteArray fileUri(QByteArrayView path);

} // namespace platform
