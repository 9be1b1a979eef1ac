#pragma once

// A peer on 127.0.0.1 for the socket and SMTP tests, played on the test's own loop: it accepts
// one connection and goes through its script as the client's bytes come in. Steps:
//   "> a|b"    sends the lines a and b, each with CR LF
//   "+ text"   sends text as it is, without a line end
//   "< text"   the next line from the client must be text (checked with EXPECT_EQ)
//   "read 5"   waits for the next 5 bytes
//   "close", "reset"   ends the connection in order or with a reset
// After the last step it keeps reading until the client closes.

#include "smtp/EventLoop.h"

#include <memory>
#include <string>
#include <vector>

namespace tafelbot::testing {

class ScriptedServer {
public:
    // Listens at once, and accepts once it runs on a loop.
    explicit ScriptedServer(std::vector<std::string> script = {});
    ~ScriptedServer();

    void runOn(EventLoop& loop);
    std::string portText() const { return std::to_string(port_); }
    bool played() const { return next_ == script_.size(); }
    // Every byte the client sent.
    const std::string& received() const { return received_; }

private:
    void read();
    void play();
    void send(const std::string& bytes);

    std::vector<std::string> script_;
    std::size_t next_ = 0;
    int listener_ = -1;
    int peer_ = -1;
    int port_ = 0;
    std::string received_;
    std::size_t taken_ = 0; // of received_, by the steps so far
    std::unique_ptr<SocketWatch> watch_;
};

} // namespace tafelbot::testing
