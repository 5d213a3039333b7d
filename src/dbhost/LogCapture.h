#pragma once

#include <QString>

namespace dbhost {

// libmdb reports its troubles only on stderr. The helper points its standard error (and standard
// output, which the protocol does not use) at an anonymous file, so that what the library printed
// during a request can travel back with the reply.
class LogCapture {
public:
    LogCapture();
    void clear();
    // What was printed since the last clear(), at most a few kilobytes, trimmed.
    QString text() const;

private:
    int fd_ = -1;
};

} // namespace dbhost
