#pragma once

// A helper server of the tests (a script run with the system's Python) as a child process: it
// prints its port as its first line and ends when its standard input closes.

#include <string>
#include <sys/types.h>
#include <vector>

namespace tafelbot::testing {

class ChildProcess {
public:
    // Starts `argv` with its error output in `errorFile` ("/dev/null" for none) and waits at most
    // 20 s for the first line; throws std::runtime_error when it cannot start.
    ChildProcess(std::vector<std::string> argv, const std::string& errorFile);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The first line it printed; empty when none came in time.
    const std::string& firstLine() const { return firstLine_; }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    std::string firstLine_;
};

} // namespace tafelbot::testing
