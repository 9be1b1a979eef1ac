#pragma once

// A TLS client session that works in memory: the socket feeds it the bytes that arrive and sends
// the bytes it produces. OpenSSL thus never touches the network itself, and every call of the
// operating system stays behind the platform seam.

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;

namespace tafelbot {

// Result codes of the encrypted connection. They lie between the SMTP reply codes (200 to 599)
// and the socket error numbers (10000 and above), so that a caller tells all three apart by
// number; the text that goes with each names the reason in the user's words.
inline constexpr int tlsErrorProtocol = 900;     // no TLS came about: garbage, cut off, no match
inline constexpr int tlsErrorUntrusted = 901;    // no trusted CA vouches for the certificate
inline constexpr int tlsErrorNameMismatch = 902; // the certificate is made out to another name
inline constexpr int tlsErrorExpired = 903;      // expired, or not valid yet
inline constexpr int tlsErrorRefused = 904;      // the server refused STARTTLS
inline constexpr int tlsErrorNotOffered = 905;   // no encryption, but the settings demand it

inline bool IsTlsError(int code) {
    return code >= tlsErrorProtocol && code <= tlsErrorNotOffered;
}

struct TlsOptions {
    std::string hostName;    // checked against the certificate; sent as SNI unless an address
    std::string extraCaFile; // trusted besides the system's store; empty for none
    bool acceptUnverified = false;
};

// What a finished handshake agreed on.
struct TlsInfo {
    std::string protocol; // "TLSv1.3"
    std::string cipher;
    bool verified = false;
    int problem = 0;         // tlsError... code of the verification problem when not verified
    std::string problemText; // its reason
};

// A session that cannot even be set up (an extra CA file that cannot be read, no memory).
class TlsSetupError : public std::runtime_error {
public:
    explicit TlsSetupError(const std::string& message) : std::runtime_error(message) {}
};

class TlsSession {
public:
    enum class Result { Done, NeedMore, Closed, Failed };

    // Throws TlsSetupError.
    explicit TlsSession(const TlsOptions& options);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Bytes that arrived from the peer.
    void putIncoming(const char* data, std::size_t size);
    // Appends the bytes waiting to go to the peer.
    void takeOutgoing(std::string& into);

    // Done, NeedMore (feed more and call again) or Failed.
    Result handshake();
    // Done with `got` bytes of plain text, NeedMore, Closed (the peer ended the session) or
    // Failed.
    Result read(char* buffer, std::size_t size, std::size_t& got);
    // Encrypts everything; false when the session failed.
    bool write(std::string_view plain);
    // Queues the close notification for the peer.
    void shutdown();

    // After Failed: the tlsError... code and the reason.
    int failureCode() const { return failureCode_; }
    const std::string& failureText() const { return failureText_; }
    // After a finished handshake.
    TlsInfo info() const;

    // Fails the handshake for a reason outside the session (the peer closed the connection).
    void fail(int code, const std::string& text);

private:
    struct ContextFree {
        void operator()(SSL_CTX* context) const;
    };
    struct SslFree {
        void operator()(SSL* ssl) const;
    };

    void failFromVerification(long verifyResult);
    void failFromErrorQueue(const std::string& fallback);

    std::unique_ptr<SSL_CTX, ContextFree> context_;
    std::unique_ptr<SSL, SslFree> ssl_;
    TlsOptions options_;
    int failureCode_ = 0;
    std::string failureText_;
};

} // namespace tafelbot
