// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the demonstration database to the path given: make_adodemo <path>.
#include "DemoDatabase.h"

#include "base/ToolArguments.h"

#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
    const int refused = base::checkToolArguments(argc, argv, "make_adodemo OUTPUT.MDB", {}, 1, 1);
    if (refused >= 0)
        return refused;
    try {
        jet4::writeFile(argv[1], jet4::demoDatabase());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
