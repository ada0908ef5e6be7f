#include "common/Host.h"

#include <cstdio>

void StderrHost::ShowError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}
