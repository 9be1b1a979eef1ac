#pragma once

// A scripted peer on 127.0.0.1 for the socket and SMTP tests. It runs on its own thread with
// blocking POSIX calls (each with a time limit), accepts one connection and works through its
// script: send bytes, read lines or bytes and record them, close or reset.

#include <chrono>
#include <cstdint>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace tafelbot::testing {

class ScriptedServer {
public:
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::uint16_t port() const { return port_; }
    std::string portText() const { return std::to_string(port_); }

    // Script steps, run in order once a client connects.
    ScriptedServer& send(const std::string& bytes) { return add(Step::Send, bytes); }
    // Reads one line (without CR LF) and records it; a line not starting with `prefix` is
    // recorded as a mismatch.
    ScriptedServer& expect(const std::string& prefix) { return add(Step::Expect, prefix); }
    // expect(prefix), then the reply with its CR LF.
    ScriptedServer& answer(const std::string& prefix, const std::string& reply) {
        return expect(prefix).send(reply + "\r\n");
    }
    // Reads exactly n bytes and keeps them.
    ScriptedServer& receiveBytes(std::size_t n) { return add(Step::Bytes, {}, n); }
    // Lets some time pass, so that what was sent before arrives in a read of its own.
    ScriptedServer& pause(std::chrono::milliseconds time) {
        return add(Step::Pause, {}, static_cast<std::size_t>(time.count()));
    }
    ScriptedServer& close() { return add(Step::Close); }
    // Closes with a reset instead of the orderly goodbye.
    ScriptedServer& reset() { return add(Step::Reset); }
    // Waits (at most a few seconds) until the client closes; also a server that never answers.
    ScriptedServer& awaitClose() { return add(Step::AwaitClose); }

    void start();
    // Waits for the script to end; returns false when it did not end within the limit.
    bool finish(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // A port on 127.0.0.1 where nobody listens.
    static std::string unusedPort();

    // Results (read after finish()).
    std::vector<std::string> received() const;
    std::vector<std::string> mismatches() const;
    std::string bytes() const;

private:
    struct Step {
        enum Kind { Send, Expect, Bytes, Pause, Close, Reset, AwaitClose } kind;
        std::string text;
        std::size_t count = 0;
    };

    ScriptedServer& add(Step::Kind kind, const std::string& text = {}, std::size_t count = 0) {
        steps_.push_back({kind, text, count});
        return *this;
    }
    void run();
    bool readLine(std::string& line);
    bool fill();

    int listener_ = -1;
    int peer_ = -1;
    std::uint16_t port_ = 0;
    std::vector<Step> steps_;
    std::string pending_;

    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    std::vector<std::string> mismatches_;
    std::string bytes_;
    std::future<void> script_; // last: waits for the script before the members above go
};

} // namespace tafelbot::testing
