#include "support/SmtpTestServer.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tafelbot::testing {

namespace {

// Reads the first line the child prints, waiting at most `limitMs`.
std::string readFirstLine(int fd, int limitMs) {
    std::string line;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (line.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        end - std::chrono::steady_clock::now())
                        .count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) != 1)
            break;
        char buffer[64];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    return line.substr(0, line.find('\n'));
}

} // namespace

SmtpTestServer::SmtpTestServer(Options options) : mailDir_(dir_.file("mail")) {
    ::mkdir(mailDir_.c_str(), 0700);
    std::vector<std::string> args = {TAFELBOT_SYSTEM_PYTHON,
                                     std::string(TAFELBOT_SOURCE_DIR) +
                                         "/tests/integration/smtp_server.py",
                                     mailDir_,
                                     "--user",
                                     options.user,
                                     "--password",
                                     options.password,
                                     "--mechanisms",
                                     options.mechanisms};
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
    if (DIR* dir = ::opendir(mailDir_.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".eml") == 0)
                files.push_back(mailDir_ + "/" + name);
        }
        ::closedir(dir);
    }
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
