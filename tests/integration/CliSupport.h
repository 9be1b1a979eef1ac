#pragma once

#include "support/TestFiles.h"

#include <string>

namespace tafelbot::testing {

// One run of tafelbot-cli in a directory of its own.
struct CliLauf {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs tafelbot-cli with `argumente` (already quoted for the shell) inside `dir`, with stdin
// empty, and collects what it printed.
CliLauf starteCli(const TempDir& dir, const std::string& argumente);

// A fixture file of tests/integration/data.
std::string testdaten(const std::string& name);

} // namespace tafelbot::testing
