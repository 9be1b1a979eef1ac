#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tafelbot::testing {

namespace {

constexpr int ioLimitMs = 5000;

bool waitFor(int fd, short events) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, ioLimitMs) == 1;
}

} // namespace

ScriptedServer::ScriptedServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("ScriptedServer: cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
}

ScriptedServer::~ScriptedServer() {
    finish(std::chrono::seconds(10));
    if (peer_ >= 0)
        ::close(peer_);
    if (listener_ >= 0)
        ::close(listener_);
}

void ScriptedServer::start() {
    script_ = std::async(std::launch::async, [this] { run(); });
}

bool ScriptedServer::finish(std::chrono::milliseconds limit) {
    if (!script_.valid())
        return true;
    if (script_.wait_for(limit) != std::future_status::ready)
        return false;
    script_.get();
    return true;
}

std::string ScriptedServer::unusedPort() {
    ScriptedServer closed;
    return closed.portText(); // free again once `closed` is gone
}

bool ScriptedServer::fill() {
    if (!waitFor(peer_, POLLIN))
        return false;
    char buffer[4096];
    ssize_t n = ::recv(peer_, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    pending_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool ScriptedServer::readLine(std::string& line) {
    for (;;) {
        auto end = pending_.find("\r\n");
        if (end != std::string::npos) {
            line = pending_.substr(0, end);
            pending_.erase(0, end + 2);
            return true;
        }
        if (!fill())
            return false;
    }
}

void ScriptedServer::run() {
    if (!waitFor(listener_, POLLIN))
        return;
    peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer_ < 0)
        return;
    for (const Step& step : steps_) {
        switch (step.kind) {
        case Step::Send: {
            std::size_t done = 0;
            while (done < step.text.size()) {
                ssize_t n =
                    ::send(peer_, step.text.data() + done, step.text.size() - done, MSG_NOSIGNAL);
                if (n <= 0)
                    return;
                done += static_cast<std::size_t>(n);
            }
            break;
        }
        case Step::Expect: {
            std::string line;
            if (!readLine(line)) {
                std::lock_guard lock(mutex_);
                mismatches_.push_back("no line where \"" + step.text + "\" was expected");
                return;
            }
            std::lock_guard lock(mutex_);
            received_.push_back(line);
            if (line.rfind(step.text, 0) != 0)
                mismatches_.push_back("\"" + line + "\" where \"" + step.text + "\" was expected");
            break;
        }
        case Step::Bytes: {
            while (pending_.size() < step.count)
                if (!fill())
                    break;
            std::lock_guard lock(mutex_);
            bytes_ = pending_.substr(0, step.count);
            pending_.erase(0, bytes_.size());
            break;
        }
        case Step::Pause:
            std::this_thread::sleep_for(std::chrono::milliseconds(step.count));
            break;
        case Step::Close:
            ::close(peer_);
            peer_ = -1;
            return;
        case Step::Reset: {
            linger hard{1, 0};
            ::setsockopt(peer_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            ::close(peer_);
            peer_ = -1;
            return;
        }
        case Step::AwaitClose:
            while (fill()) {
            }
            break;
        }
    }
}

std::vector<std::string> ScriptedServer::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}
std::vector<std::string> ScriptedServer::mismatches() const {
    std::lock_guard lock(mutex_);
    return mismatches_;
}
std::string ScriptedServer::bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

} // namespace tafelbot::testing
