// kavelomaker, the editor. No exception leaves main: one that reaches here is
// told on standard error.
#include <cstdio>
#include <exception>

#include "app/MakerMain.h"

int main(int argc, char** argv) {
    try {
        return RunKaveloMaker(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kavelomaker: %s\n", e.what());
        return 1;
    }
}
