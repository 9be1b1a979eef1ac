#pragma once

// What every fuzz target shares: a user interface that sees nothing, a scratch file for the
// readers that take a path, and a check that stops the run with the broken property named.

#include "ui/UiPort.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tafelbot::fuzz {

using tafelbot::SilentUi;

// A file named `name` in a folder of this process's own (the fuzzer may run several jobs at
// once) under TMPDIR or /tmp; the folder is removed at exit.
std::string scratchPath(std::string_view name);
void writeScratch(const std::string& path, std::string_view contents);

[[noreturn]] inline void broken(const char* property, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, property);
    std::abort();
}

} // namespace tafelbot::fuzz

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::tafelbot::fuzz::broken(#condition, __FILE__, __LINE__);                              \
    } while (false)
