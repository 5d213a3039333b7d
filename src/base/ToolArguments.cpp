// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/ToolArguments.h"

#include <cstdio>
#include <cstring>

namespace base {

namespace {

const ToolOption *find(std::initializer_list<ToolOption> options, const char *name) {
    for (const ToolOption &option : options) {
        if (std::strcmp(option.name, name) == 0)
            return &option;
    }
    return nullptr;
}

int refuse(const char *program, const char *usage, const char *why, const char *argument) {
    std::fprintf(stderr, "%s: %s %s\nusage: %s\n", program, why, argument, usage);
    return 2;
}

} // namespace

int checkToolArguments(int argc, char **argv, const char *usage, std::initializer_list<ToolOption> options,
                       int minOperands, int maxOperands) {
    const char *program = argc > 0 ? argv[0] : "tool";
    int operands = 0;
    bool onlyOperands = false;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (onlyOperands || argument[0] != '-' || argument[1] == '\0') {
            ++operands;
        } else if (std::strcmp(argument, "--") == 0) {
            onlyOperands = true;
        } else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            std::printf("usage: %s\n", usage);
            return 0;
        } else if (const ToolOption *option = find(options, argument)) {
            if (option->takesValue && ++i >= argc)
                return refuse(program, usage, "a value is missing after", argument);
        } else {
            return refuse(program, usage, "unknown option", argument);
        }
    }
    if (operands < minOperands || operands > maxOperands) {
        char count[16];
        std::snprintf(count, sizeof count, "%d", operands);
        return refuse(program, usage, "wrong number of arguments:", count);
    }
    return -1;
}

} // namespace base
