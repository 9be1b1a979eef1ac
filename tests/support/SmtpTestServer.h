#pragma once

// The real SMTP server of the integration tests (tests/integration/smtp_server.py on aiosmtpd,
// run with the system's Python) as a child process on 127.0.0.1, with its own mail directory.

#include "support/ChildProcess.h"
#include "support/TestFiles.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tafelbot::testing {

class SmtpTestServer {
public:
    // Starts the server with the script's options (smtp_server.py --help; its account is "konto"
    // with the password "geheim") and waits (at most 20 s) for its port; throws
    // std::runtime_error with the server's error output when it does not come up.
    explicit SmtpTestServer(const std::vector<std::string>& options = {});
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    std::uint16_t port() const { return port_; }
    std::string portText() const { return std::to_string(port_); }

    // The stored messages in arrival order ("0001.eml", ...), as paths.
    std::vector<std::string> messageFiles() const;
    // The envelope record stored beside a message (JSON text).
    std::string envelopeOf(const std::string& messageFile) const;
    // What the server wrote to its error output so far.
    std::string log() const;

private:
    TempDir dir_;
    std::string mailDir_;
    std::unique_ptr<ChildProcess> process_;
    std::uint16_t port_ = 0;
};

} // namespace tafelbot::testing
