#pragma once

// A peer on 127.0.0.1 for the socket and SMTP tests. It accepts one connection and runs its
// script on a thread of its own with blocking calls, each limited to a few seconds, so that a
// client that stays silent fails the test instead of hanging it. A script checks what arrives
// with the usual EXPECT macros; the connection closes in order when the script returns.

#include <cstdint>
#include <functional>
#include <future>
#include <string>

namespace tafelbot::testing {

class ScriptedServer {
public:
    class Peer {
    public:
        explicit Peer(int fd) : fd_(fd) {}
        ~Peer();
        Peer(const Peer&) = delete;
        Peer& operator=(const Peer&) = delete;

        void send(const std::string& bytes);
        // The next line without its CR LF; "<no line>" when none came in time.
        std::string line();
        // Exactly n bytes, fewer when the client closes first.
        std::string bytes(std::size_t n);
        // Everything the client sends until it closes (also a server that never answers).
        std::string awaitClose();
        // Closes with a reset instead of the orderly goodbye.
        void reset();

    private:
        bool fill();
        int fd_;
        std::string pending_;
    };
    using Script = std::function<void(Peer&)>;

    // Without a script nobody accepts: a listener that only lends its port.
    explicit ScriptedServer(Script script = {});
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::string portText() const { return std::to_string(port_); }
    // Waits for the script to end; false when it did not end within ten seconds.
    bool finish();
    // A port on 127.0.0.1 where nobody listens.
    static std::string unusedPort();

private:
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::future<void> script_; // last: waits for the script before the members above go
};

} // namespace tafelbot::testing
