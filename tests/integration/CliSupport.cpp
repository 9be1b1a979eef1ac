#include "CliSupport.h"

#include <cstdlib>

namespace tafelbot::testing {

CliLauf starteCli(const TempDir& dir, const std::string& argumente) {
    const std::string befehl = "cd '" + dir.path() + "' && { timeout 60 '" TAFELBOT_CLI "' " +
                               argumente +
                               " < /dev/null > cli.out 2> cli.err; echo $? > cli.status; }";
    std::system(befehl.c_str());
    CliLauf lauf;
    lauf.status = std::atoi(readFile(dir.file("cli.status")).c_str());
    lauf.out = readFile(dir.file("cli.out"));
    lauf.err = readFile(dir.file("cli.err"));
    return lauf;
}

std::string testdaten(const std::string& name) {
    return readFile(TAFELBOT_INTEGRATION_DATA + name);
}

} // namespace tafelbot::testing
