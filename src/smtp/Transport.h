#pragma once

// What a connected socket carries its bytes through: the connection as it is, or a TLS session
// over it. The socket owns connecting, events and closing; a transport only moves bytes, so that
// every difference between plain and encrypted text lives behind these few calls.

#include "smtp/SendBuffer.h"

#include <cstddef>
#include <string>

namespace tafelbot {

class Transport {
public:
    enum class Handshake { Done, NeedMore, Failed };

    // What readiness to read brought: bytes for the receiver, or the end of the connection
    // (with the error that ended it, 0 for an orderly close).
    struct Input {
        bool data = false;
        bool closed = false;
        int error = 0;
    };

    virtual ~Transport() = default;

    // Called when the connection is readable.
    virtual Input checkInput() = 0;
    // Bytes for the receiver; the contract of platform::receiveBytes.
    virtual int read(char* data, std::size_t size, std::size_t& got) = 0;
    // Bytes the receiver can take now.
    virtual std::size_t waiting() = 0;
    // Input held in memory, where no readiness of the connection reports it.
    virtual bool holdsInput() const = 0;
    // The end of the connection has been read and nothing is left for the receiver: the close
    // is due although no further readiness will say so. `error` is what ended it.
    virtual bool endReached(int& error) const = 0;

    // Sends from the buffer as far as the connection takes now: 0 when the buffer and the
    // transport's own bytes are all gone, wouldBlock when some is left, else the error.
    virtual int write(SendBuffer& buffer) = 0;
    // Bytes of the transport's own waiting to go: they keep the socket interested in writing.
    virtual bool pendingOutput() const = 0;
    // Sends only the transport's own bytes: 0, wouldBlock or the error.
    virtual int flushOutput() = 0;

    // One step of setting up the session; after Failed, failureCode and failureText say why.
    virtual Handshake handshake() = 0;
    virtual bool handshaking() const = 0;
    virtual int failureCode() const = 0;
    virtual std::string failureText() const = 0;
    // Tells the peer the session ends, as far as the connection takes it at once.
    virtual void closeNotify() = 0;
};

} // namespace tafelbot
