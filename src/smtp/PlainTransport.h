#pragma once

// The connection as it is: bytes go to and come from the socket unchanged.

#include "platform/Net.h"
#include "smtp/Transport.h"

namespace tafelbot {

class PlainTransport final : public Transport {
public:
    PlainTransport() = default;
    explicit PlainTransport(platform::SocketHandle handle) : handle_(handle) {}

    Input checkInput() override;
    int read(char* data, std::size_t size, std::size_t& got) override;
    std::size_t waiting() override;
    bool holdsInput() const override { return false; }
    bool endReached(int& /*error*/) const override { return false; }

    int write(SendBuffer& buffer) override;
    bool pendingOutput() const override { return false; }
    int flushOutput() override { return 0; }

    Handshake handshake() override { return Handshake::Done; }
    bool handshaking() const override { return false; }
    int failureCode() const override { return 0; }
    std::string failureText() const override { return {}; }
    void closeNotify() override {}

private:
    platform::SocketHandle handle_ = platform::invalidSocket;
};

} // namespace tafelbot
