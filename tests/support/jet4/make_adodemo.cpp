// Writes the demonstration database to the path given: make_adodemo <path>.
#include "DemoDatabase.h"

#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.mdb>\n", argv[0]);
        return 2;
    }
    try {
        jet4::writeFile(argv[1], jet4::demoDatabase());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
