#include "smtp/TlsTransport.h"

#include "smtp/WSocketErrors.h"

#include <algorithm>
#include <cstring>

namespace tafelbot {

namespace wsa = platform::wsa;

namespace {

// Cipher text read in one turn at most, so that a flood cannot hold the loop.
constexpr int pullTurns = 8;
constexpr std::size_t chunkSize = 16384;

} // namespace

TlsTransport::TlsTransport(platform::SocketHandle handle, const TlsOptions& options)
    : handle_(handle), session_(std::make_unique<TlsSession>(options)) {}

Transport::Handshake TlsTransport::handshake() {
    if (!peerClosed_ && readError_ == 0)
        pull();
    TlsSession::Result result = session_->handshake();
    // A failed handshake leaves an alert for the peer: it goes out as well.
    session_->takeOutgoing(cipherOut_);
    int sendError = flushOutput();
    if (result == TlsSession::Result::Failed)
        return Handshake::Failed;
    if (result == TlsSession::Result::NeedMore) {
        int lost = readError_ != 0                                  ? readError_
                   : sendError != 0 && sendError != wsa::wouldBlock ? sendError
                                                                    : 0;
        if (!peerClosed_ && lost == 0)
            return Handshake::NeedMore;
        std::string reason = "Der Server hat die Verbindung w\xE4hrend des TLS-Handshakes getrennt";
        if (lost != 0)
            reason += " (" + WSocketErrorDesc(lost) + ")";
        session_->fail(tlsErrorProtocol, reason);
        return Handshake::Failed;
    }
    established_ = true;
    return Handshake::Done;
}

Transport::Input TlsTransport::checkInput() {
    pull();
    decrypt();
    Input input;
    if (!plainIn_.empty()) {
        input.data = true;
    } else if (readError_ != 0) {
        input.closed = true;
        input.error = readError_;
    } else {
        input.closed = peerClosed_;
    }
    return input;
}

bool TlsTransport::endReached(int& error) const {
    // The peer's close notification is read with the data before it and no readiness follows
    // it (the peer waits for ours).
    if (!(peerClosed_ || readError_ != 0) || !plainIn_.empty())
        return false;
    error = readError_;
    return true;
}

int TlsTransport::read(char* data, std::size_t size, std::size_t& got) {
    got = 0;
    if (!established_)
        return wsa::wouldBlock;
    if (plainIn_.empty()) {
        pull();
        decrypt();
    }
    if (!plainIn_.empty()) {
        got = std::min(size, plainIn_.size());
        std::memcpy(data, plainIn_.data(), got);
        plainIn_.erase(0, got);
        return 0;
    }
    if (readError_ != 0)
        return readError_;
    return peerClosed_ ? 0 : wsa::wouldBlock;
}

std::size_t TlsTransport::waiting() {
    std::size_t count = 0;
    if (handle_ != platform::invalidSocket && platform::bytesAvailable(handle_, count) != 0)
        count = 0;
    return count + plainIn_.size();
}

void TlsTransport::pull() {
    char raw[chunkSize];
    for (int turn = 0; turn < pullTurns && !peerClosed_; ++turn) {
        std::size_t got = 0;
        int error = platform::receiveBytes(handle_, raw, sizeof raw, got);
        if (error == wsa::wouldBlock)
            return;
        if (error != 0) {
            readError_ = error;
            return;
        }
        if (got == 0) {
            peerClosed_ = true;
            return;
        }
        session_->putIncoming(raw, got);
        if (got < sizeof raw)
            return;
    }
}

void TlsTransport::decrypt() {
    if (!established_)
        return;
    char plain[chunkSize];
    for (;;) {
        std::size_t got = 0;
        TlsSession::Result result = session_->read(plain, sizeof plain, got);
        if (result == TlsSession::Result::Done) {
            plainIn_.append(plain, got);
            continue;
        }
        if (result == TlsSession::Result::Closed)
            peerClosed_ = true;
        else if (result == TlsSession::Result::Failed && readError_ == 0)
            readError_ = wsa::connAborted; // a forged or broken record
        break;
    }
    // Answers the session owes the peer (a key update) go out with the next write.
    session_->takeOutgoing(cipherOut_);
}

int TlsTransport::write(SendBuffer& buffer) {
    if (int error = flushOutput(); error != 0)
        return error;
    if (!established_)
        return wsa::wouldBlock;
    for (;;) {
        std::string_view front = buffer.Front();
        if (front.empty())
            return 0;
        if (!session_->write(front))
            return wsa::connAborted;
        buffer.Remove(front.size());
        session_->takeOutgoing(cipherOut_);
        if (int error = flushOutput(); error != 0)
            return error;
    }
}

int TlsTransport::flushOutput() {
    while (!cipherOut_.empty()) {
        std::size_t sent = 0;
        int error = platform::sendBytes(handle_, cipherOut_.data(), cipherOut_.size(), sent);
        if (error != 0)
            return error;
        if (sent == 0)
            return wsa::wouldBlock;
        cipherOut_.erase(0, sent);
    }
    return 0;
}

void TlsTransport::closeNotify() {
    if (!established_)
        return;
    session_->shutdown();
    session_->takeOutgoing(cipherOut_);
    flushOutput();
}

} // namespace tafelbot
