#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tafelbot::testing {

ScriptedServer::ScriptedServer(std::vector<std::string> script) : script_(std::move(script)) {
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
    watch_.reset();
    for (int fd : {peer_, listener_})
        if (fd >= 0)
            ::close(fd);
}

void ScriptedServer::runOn(EventLoop& loop) {
    watch_ = loop.watchSocket(listener_, [this, &loop](bool, bool) {
        peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        watch_ = loop.watchSocket(peer_, [this](bool, bool) { read(); });
        watch_->setInterest(true, false);
        play();
    });
    watch_->setInterest(true, false);
}

void ScriptedServer::read() {
    char buffer[4096];
    ssize_t n = ::recv(peer_, buffer, sizeof buffer, 0);
    if (n <= 0) {
        watch_->setInterest(false, false); // the client is gone
        return;
    }
    received_.append(buffer, static_cast<std::size_t>(n));
    play();
}

void ScriptedServer::play() {
    for (; peer_ >= 0 && next_ < script_.size(); ++next_) {
        const std::string& step = script_[next_];
        const std::string text = step.substr(step.find(' ') + 1);
        if (step.rfind("> ", 0) == 0) {
            std::string lines = text + "|";
            for (std::size_t bar; (bar = lines.find('|')) != std::string::npos;)
                lines.replace(bar, 1, "\r\n");
            send(lines);
        } else if (step.rfind("+ ", 0) == 0) {
            send(text);
        } else if (step.rfind("< ", 0) == 0) {
            std::size_t end = received_.find("\r\n", taken_);
            if (end == std::string::npos)
                return;
            EXPECT_EQ(received_.substr(taken_, end - taken_), text);
            taken_ = end + 2;
        } else if (step.rfind("read ", 0) == 0) {
            if (received_.size() < taken_ + std::stoul(text))
                return;
            taken_ += std::stoul(text);
        } else { // "close" or "reset"
            linger hard{1, 0};
            if (step == "reset")
                ::setsockopt(peer_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            watch_.reset();
            ::close(std::exchange(peer_, -1));
        }
    }
}

void ScriptedServer::send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t n = ::send(peer_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return; // the client is gone: its side of the test says what that means
        done += static_cast<std::size_t>(n);
    }
}

} // namespace tafelbot::testing
