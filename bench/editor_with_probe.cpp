// kavelomaker with the start-up probe: the program the cold-start benchmark
// times. The probe is test code, so the editor itself does not carry it.
#include <cstdio>
#include <exception>

#include "StartupProbe.h"
#include "app/MakerMain.h"

int main(int argc, char** argv) {
    try {
        return RunKaveloMaker(argc, argv, InstallStartupProbe);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kavelomaker: %s\n", e.what());
        return 1;
    }
}
