#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tafelbot::testing {

ChildProcess::ChildProcess(std::vector<std::string> argv, const std::string& errorFile) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("ChildProcess: no pipes");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdin_ = in[1];
    if (spawned != 0) {
        pid_ = -1;
        ::close(out[0]);
        throw std::runtime_error("ChildProcess: cannot start " + argv[0]);
    }
    char c = 0;
    pollfd p{out[0], POLLIN, 0};
    while (::poll(&p, 1, 20000) == 1 && ::read(out[0], &c, 1) == 1 && c != '\n')
        firstLine_ += c;
    ::close(out[0]);
}

ChildProcess::~ChildProcess() {
    ::close(stdin_);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM); // a server busy with a stalled session ends all the same
        ::waitpid(pid_, nullptr, 0);
    }
}

} // namespace tafelbot::testing
