#include "support/SmtpTestServer.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tafelbot::testing {

namespace {

// Reads the first line the child prints, waiting at most `limitMs` for each piece of it.
std::string readFirstLine(int fd, int limitMs) {
    std::string line;
    char buffer[64];
    pollfd p{fd, POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, limitMs) == 1) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    return line.substr(0, line.find('\n'));
}

} // namespace

SmtpTestServer::SmtpTestServer(Options options) : mailDir_(dir_.file("mail")) {
    std::filesystem::create_directory(mailDir_);
    const std::string script =
        std::string(TAFELBOT_SOURCE_DIR) + "/tests/integration/smtp_server.py";
    std::vector<std::string> args = {TAFELBOT_SYSTEM_PYTHON, script, mailDir_};
    if (options.requireAuth)
        args.push_back("--require-auth");
    if (options.refusePassword)
        args.push_back("--refuse-password");
    args.insert(args.end(), options.extraArguments.begin(), options.extraArguments.end());

    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("SmtpTestServer: no pipes");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string logFile = dir_.file("server.log");
    posix_spawn_file_actions_addopen(&actions, 2, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdinPipe_ = in[1];
    if (spawned != 0) {
        pid_ = -1;
        ::close(out[0]);
        throw std::runtime_error("SmtpTestServer: cannot start " + args[0]);
    }
    std::string line = readFirstLine(out[0], 20000);
    ::close(out[0]);
    try {
        port_ = static_cast<std::uint16_t>(std::stoi(line));
    } catch (const std::exception&) {
        port_ = 0;
    }
    if (port_ == 0) {
        stop();
        throw std::runtime_error("SmtpTestServer did not start:\n" + log());
    }
}

SmtpTestServer::~SmtpTestServer() {
    stop();
}

void SmtpTestServer::stop() {
    if (stdinPipe_ >= 0) {
        ::close(stdinPipe_);
        stdinPipe_ = -1;
    }
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::vector<std::string> SmtpTestServer::messageFiles() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(mailDir_))
        if (entry.path().extension() == ".eml")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string SmtpTestServer::envelopeOf(const std::string& messageFile) const {
    return readFile(messageFile.substr(0, messageFile.size() - 4) + ".json");
}

std::string SmtpTestServer::log() const {
    try {
        return readFile(dir_.file("server.log"));
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace tafelbot::testing
