#pragma once

#include <QString>

namespace platform {

// Starts a command line as a new process and does not wait for it.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // False when nothing could be started.
    virtual bool start(const QString &commandLine) = 0;
};

// Starts exactly the file the whole text names, with no arguments, when there is one (a folder or a
// special file starts nothing). Otherwise splits the text as a command line (blanks separate words,
// double quotes group them; never a shell). The program starts detached, by the raw bytes of its words,
// so that names that are not valid UTF-8 run too.
class DetachedProcessStarter : public ProcessStarter {
public:
    bool start(const QString &commandLine) override;
};

} // namespace platform
