// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace platform {

// Starts a program file as a new process and does not wait for it.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // False when nothing could be started.
    virtual bool start(const QString &path) = 0;
};

// Starts exactly the file the whole text names, with no arguments and never through a shell, or
// nothing: a missing file, a folder, a special file, a file that may not be executed or one the
// kernel cannot start. The text is never split into a program and arguments. The file is named by its
// raw bytes, so that names that are not valid UTF-8 run too, and paths longer than the kernel looks
// up at once are reached a piece at a time. The program starts detached.
class DetachedProcessStarter : public ProcessStarter {
public:
    bool start(const QString &path) override;
};

} // namespace platform
