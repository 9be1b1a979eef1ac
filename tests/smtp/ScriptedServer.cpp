#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tafelbot::testing {

namespace {

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 5000) == 1;
}

} // namespace

ScriptedServer::Peer::~Peer() {
    if (fd_ >= 0)
        ::close(fd_);
}

void ScriptedServer::Peer::send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return; // the client is gone: its side of the test says what that means
        done += static_cast<std::size_t>(n);
    }
}

bool ScriptedServer::Peer::fill() {
    char buffer[4096];
    ssize_t n = readable(fd_) ? ::recv(fd_, buffer, sizeof buffer, 0) : -1;
    if (n > 0)
        pending_.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
}

std::string ScriptedServer::Peer::line() {
    std::size_t end;
    while ((end = pending_.find("\r\n")) == std::string::npos)
        if (!fill())
            return "<no line>";
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 2);
    return line;
}

std::string ScriptedServer::Peer::bytes(std::size_t n) {
    while (pending_.size() < n && fill()) {
    }
    std::string taken = pending_.substr(0, n);
    pending_.erase(0, taken.size());
    return taken;
}

std::string ScriptedServer::Peer::awaitClose() {
    while (fill()) {
    }
    return std::exchange(pending_, {});
}

void ScriptedServer::Peer::reset() {
    linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(std::exchange(fd_, -1));
}

ScriptedServer::ScriptedServer(Script script) {
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
    if (script)
        script_ = std::async(std::launch::async, [this, script = std::move(script)] {
            if (!readable(listener_)) {
                ADD_FAILURE() << "no client connected";
                return;
            }
            Peer peer(::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC));
            script(peer);
        });
}

ScriptedServer::~ScriptedServer() {
    finish();
    if (listener_ >= 0)
        ::close(listener_);
}

bool ScriptedServer::finish() {
    if (!script_.valid())
        return true;
    if (script_.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
        return false;
    script_.get();
    return true;
}

std::string ScriptedServer::unusedPort() {
    return ScriptedServer().portText(); // free again once the listener is gone
}

} // namespace tafelbot::testing
