// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <initializer_list>

namespace base {

// An option a bench or tool program knows, and whether the next argument is its value.
struct ToolOption {
    const char *name;
    bool takesValue = false;
};

// What the command line of a bench or tool program means before it does anything: --help (or -h)
// prints the usage on standard output and ends the program; an option it does not know, a missing
// value or a wrong number of operands prints the usage on standard error and ends it with status 2.
// A mistyped option is thus never taken for a folder or file name to write. Operands are the
// arguments that are no option and no option's value; "--" makes every later argument one.
// Returns -1 when the program may go on, otherwise the status to end it with.
int checkToolArguments(int argc, char **argv, const char *usage, std::initializer_list<ToolOption> options,
                       int minOperands, int maxOperands);

} // namespace base
