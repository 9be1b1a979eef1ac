#pragma once

// A TLS client session over the connection: cipher text goes to and comes from the socket,
// plain text to and from the socket's user. The handshake runs first; until it is done nothing
// of the user's is sent or received.

#include "platform/Net.h"
#include "smtp/TlsSession.h"
#include "smtp/Transport.h"

#include <memory>

namespace tafelbot {

class TlsTransport final : public Transport {
public:
    // Throws TlsSetupError.
    TlsTransport(platform::SocketHandle handle, const TlsOptions& options);

    Input checkInput() override;
    int read(char* data, std::size_t size, std::size_t& got) override;
    std::size_t waiting() override;
    bool holdsInput() const override { return !plainIn_.empty() || peerClosed_; }
    bool endReached(int& error) const override;

    int write(SendBuffer& buffer) override;
    bool pendingOutput() const override { return !cipherOut_.empty(); }
    int flushOutput() override;

    Handshake handshake() override;
    bool handshaking() const override { return !established_; }
    int failureCode() const override { return session_->failureCode(); }
    std::string failureText() const override { return session_->failureText(); }
    void closeNotify() override;

    bool established() const { return established_; }
    TlsInfo info() const { return session_->info(); }

private:
    void pull();
    void decrypt();

    platform::SocketHandle handle_;
    std::unique_ptr<TlsSession> session_;
    bool established_ = false;
    std::string cipherOut_;   // not yet taken by the socket
    std::string plainIn_;     // decrypted and not yet received
    bool peerClosed_ = false; // the peer's end of the connection or of the session
    int readError_ = 0;
};

} // namespace tafelbot
