// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/syscall.h>
#include <unistd.h>

// Makes the calling thread, and the threads it starts, see the file system as an unprivileged user
// while it lives, so that permissions count also when root runs the tests.
class Unprivileged {
public:
    Unprivileged() {
        if (::geteuid() == 0)
            ::syscall(SYS_setfsuid, 65534);
    }
    ~Unprivileged() {
        if (::geteuid() == 0)
            ::syscall(SYS_setfsuid, 0);
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;
};
