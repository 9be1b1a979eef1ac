#include "smtp/WSocket.h"

#include "smtp/WSocketResolve.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

namespace tafelbot {

namespace wsa = platform::wsa;

namespace {

std::string trimmed(const std::string& text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    auto begin = std::find_if_not(text.begin(), text.end(), isBlank);
    auto end = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
    return begin < end ? std::string(begin, end) : std::string();
}

constexpr std::size_t maxDnsResults = 256;

const std::string defaultProto = "tcp";
const std::string defaultLocalAddr = "0.0.0.0";
const std::string defaultLocalPort = "0";

} // namespace

// Ties a lookup running on a helper thread to the socket that started it; when the socket
// cancels the lookup or goes, the ticket goes and the late result is dropped.
struct TWSocket::LookupTicket {
    TWSocket* owner = nullptr;
};

TWSocket::TWSocket(EventLoop& loop) : loop_(loop), alive_(std::make_shared<bool>(true)) {}

TWSocket::~TWSocket() {
    destroying_ = true;
    lookup_.reset();
    watch_.reset();
    if (handle_ != platform::invalidSocket)
        platform::closeSocket(handle_);
}

// ---- properties ----

void TWSocket::assignWhileClosed(std::string& field, const std::string& value, const char* name) {
    if (state_ != wsClosed) {
        raiseException(std::string("Cannot change ") + name + " if not closed");
        return;
    }
    field = trimmed(value);
}

void TWSocket::SetAddr(const std::string& value) {
    assignWhileClosed(addr_, value, "Addr");
    if (state_ == wsClosed)
        addrAssigned_ = !addr_.empty();
}

void TWSocket::SetPort(const std::string& value) {
    assignWhileClosed(port_, value, "Port");
    if (state_ == wsClosed)
        portAssigned_ = !port_.empty();
}

void TWSocket::SetProto(const std::string& value) {
    assignWhileClosed(proto_, value, "Proto");
    if (state_ == wsClosed)
        protoAssigned_ = !proto_.empty();
}

void TWSocket::SetLocalAddr(const std::string& value) {
    assignWhileClosed(localAddr_, value, "LocalAddr");
    if (localAddr_.empty())
        localAddr_ = defaultLocalAddr;
}

void TWSocket::SetLocalPort(const std::string& value) {
    assignWhileClosed(localPort_, value, "LocalPort");
    if (localPort_.empty())
        localPort_ = defaultLocalPort;
}

void TWSocket::SetLineMode(bool on) {
    if (on == lineMode_)
        return;
    lineMode_ = on;
    if (!lines_.empty())
        postLineTrigger();
}

void TWSocket::resetProperties() {
    addrAssigned_ = false;
    portAssigned_ = false;
    proto_ = defaultProto;
    protoAssigned_ = true;
    localAddr_ = defaultLocalAddr;
    localPort_ = defaultLocalPort;
    readCount_ = 0;
    LingerOnOff = wsLingerOn;
    LingerTimeout = 0;
    FlushTimeout = 60;
}

// ---- error reporting ----

void TWSocket::setState(TSocketState state) {
    if (state == state_)
        return;
    TSocketState old = state_;
    state_ = state;
    if (OnChangeState && !destroying_)
        OnChangeState(*this, old, state);
}

void TWSocket::raiseException(const std::string& message) {
    if (OnError)
        OnError(*this);
    else
        throw ESocketException(message);
}

void TWSocket::socketError(const std::string& function, int error) {
    lastError_ = error;
    if ((error == wsa::connReset || error == wsa::notConnected) &&
        handle_ != platform::invalidSocket)
        internalClose(false, error);
    raiseException(WSocketErrorMessage(error, function));
}

template <typename Handler>
void TWSocket::guarded(Handler&& handler) {
    std::weak_ptr<bool> alive = alive_;
    try {
        handler();
    } catch (const std::exception& error) {
        if (alive.expired())
            throw;
        handleBgException(error);
    } catch (...) {
        if (alive.expired())
            throw;
        handleBgException(ESocketException("Unknown exception in a socket event"));
    }
}

void TWSocket::handleBgException(const std::exception& error) {
    bool canClose = true;
    if (OnBgException)
        OnBgException(*this, error, canClose);
    if (canClose)
        Abort();
}

// ---- name lookup ----

void TWSocket::DnsLookup(const std::string& hostName) {
    std::string name = trimmed(hostName);
    if (name.empty()) {
        lastError_ = wsa::invalidArgument;
        raiseException("DNS lookup: invalid host name.");
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, wsa::invalidArgument);
        return;
    }
    CancelDnsLookup();
    dnsResult_.clear();
    dnsResultList_.clear();

    if (WSocketIsDottedIP(name)) {
        dnsResult_ = WSocketDottedText(WSocketResolveHost(name));
        dnsResultList_.push_back(dnsResult_);
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, 0);
        return;
    }

    auto ticket = std::make_shared<LookupTicket>();
    ticket->owner = this;
    std::weak_ptr<LookupTicket> weakTicket = ticket;
    std::shared_ptr<CrossThreadPoster> poster = loop_.crossThreadPoster();
    try {
        std::thread([name, poster, weakTicket] {
            std::vector<platform::Ipv4> addresses;
            int error = platform::lookupHost(name, addresses);
            poster->post([weakTicket, error, addresses = std::move(addresses)] {
                if (auto current = weakTicket.lock())
                    current->owner->dnsLookupFinished(current.get(), error, addresses);
            });
        }).detach();
    } catch (const std::system_error& failure) {
        lastError_ = failure.code().value();
        raiseException("DnsLookup: can't start DNS lookup, error #" +
                       std::to_string(failure.code().value()));
        return;
    }
    lookup_ = std::move(ticket);
}

void TWSocket::CancelDnsLookup() {
    lookup_.reset();
}

void TWSocket::dnsLookupFinished(LookupTicket* ticket, int error,
                                 const std::vector<platform::Ipv4>& addresses) {
    if (lookup_.get() != ticket)
        return;
    lookup_.reset();
    if (error == 0) {
        for (std::size_t i = 0; i < addresses.size() && i < maxDnsResults; ++i)
            dnsResultList_.push_back(WSocketDottedText(addresses[i]));
        if (!dnsResultList_.empty())
            dnsResult_ = dnsResultList_.front();
    } else {
        lastError_ = error;
    }
    guarded([&] {
        if (OnDnsLookupDone)
            OnDnsLookupDone(*this, error);
    });
}

// ---- connecting ----

void TWSocket::Connect() {
    if (handle_ != platform::invalidSocket && state_ != wsClosed)
        return raiseException("Connect: Socket already in use");
    if (!portAssigned_)
        return raiseException("Connect: No Port Specified");
    if (!addrAssigned_)
        return raiseException("Connect: No IP Address Specified");
    if (!protoAssigned_)
        return raiseException("Connect: No Protocol Specified");

    int protocol = WSocketResolveProto(proto_);
    std::uint16_t port = WSocketResolvePort(port_, proto_);
    std::uint16_t localPort = WSocketResolvePort(localPort_, proto_);
    platform::Ipv4 address = WSocketResolveHost(addr_);

    platform::SocketType type = protocol == 6    ? platform::SocketType::Stream
                                : protocol == 17 ? platform::SocketType::Datagram
                                                 : platform::SocketType::Raw;
    platform::SocketHandle handle = platform::invalidSocket;
    if (int error = platform::createSocket(type, protocol, handle); error != 0)
        return socketError("Connect (socket)", error);
    handle_ = handle;
    plain_ = PlainTransport(handle);
    closeInvoked_ = false;
    receiveError_ = 0;
    readCount_ = 0;
    allSent_ = true;
    sendBuffer_.Clear();
    lines_.clear();
    lineReady_ = 0;
    paused_ = false;

    setState(wsOpened);
    if (state_ != wsOpened)
        return socketError("Connect (Invalid operation in OnChangeState)", wsa::invalidArgument);

    if (type == platform::SocketType::Stream) {
        if (int error = platform::setBoolOption(handle_, platform::BoolOption::ReuseAddress, true))
            return socketError("setsockopt(SO_REUSEADDR)", error);
        if (ComponentOptions & wsoTcpNoDelay) {
            if (int error =
                    platform::setBoolOption(handle_, platform::BoolOption::TcpNoDelay, true))
                return socketError("setsockopt(IPPROTO_TCP, TCP_NODELAY)", error);
        }
        if (LingerOnOff != wsLingerNoSet) {
            if (int error = platform::setLinger(handle_, LingerOnOff == wsLingerOn, LingerTimeout))
                return socketError("setsockopt(SO_LINGER)", error);
        }
        if (int error = platform::setBoolOption(handle_, platform::BoolOption::KeepAlive, true))
            return socketError("setsockopt(SO_KEEPALIVE)", error);
    }
    if (localPort != 0 || localAddr_ != "0.0.0.0") {
        platform::Ipv4 local = WSocketResolveHost(localAddr_);
        if (int error = platform::bindSocket(handle_, local, localPort); error != 0) {
            lastError_ = error;
            return raiseException("winsock.bind failed, error #" + std::to_string(error));
        }
    }

    watch_ = loop_.watchSocket(
        handle_, [this](bool readable, bool writable) { onReady(readable, writable); });
    int error = platform::startConnect(handle_, address, port);
    if (error != 0 && error != wsa::wouldBlock)
        return socketError("Connect", error);
    setState(wsConnecting);
    updateInterest();
}

void TWSocket::updateInterest() {
    if (!watch_)
        return;
    if (paused_) {
        watch_->setInterest(false, false);
        return;
    }
    bool connecting = state_ == wsConnecting;
    bool connected = state_ == wsConnected || state_ == wsSocksConnected;
    watch_->setInterest(connecting || connected,
                        connecting || (connected && (!allSent_ || transport().pendingOutput())));
}

// ---- event dispatch ----

void TWSocket::onReady(bool readable, bool writable) {
    guarded([&] {
        const SameConnection same(*this);
        if (same.handle() == platform::invalidSocket || paused_)
            return;

        if (transport().handshaking()) {
            if (state_ == wsConnected)
                handshakeStep();
            return;
        }

        bool connectBit = state_ == wsConnecting;
        int connectError = connectBit ? platform::pendingError(same.handle()) : 0;
        bool usable = connectBit ? connectError == 0 : state_ == wsConnected;

        Transport::Input input;
        if (readable && usable) {
            input = transport().checkInput();
            if (transport().pendingOutput())
                updateInterest();
        }

        // A handler may close or pause the socket: check before each further event.
        auto stillHere = [&] { return same() && !paused_; };
        if (connectBit) {
            connectEvent(connectError);
            if (!stillHere())
                return;
        }
        if (input.data) {
            receiveLoop(false);
            if (!stillHere())
                return;
        }
        if (writable && usable && !writeEventPosted_) {
            if (tls_ && allSent_) {
                // Only the session's own bytes wait (a key update): no data to report sent.
                flushTransport();
            } else {
                writeEvent();
            }
            if (!stillHere())
                return;
        }
        if (usable && transport().endReached(input.error))
            input.closed = true;
        if (input.closed)
            closeEvent(input.error);
    });
}

void TWSocket::connectEvent(int error) {
    if (state_ == wsConnected)
        return;
    const SameConnection same(*this);
    setState(wsConnected);
    updateInterest();
    if (OnSessionConnected)
        OnSessionConnected(*this, error);
    if (error != 0 && same()) {
        lastError_ = error;
        internalClose(false, error);
    }
}

void TWSocket::writeEvent() {
    const SameConnection same(*this);
    tryToSend();
    if (!same() || !allSent_)
        return;
    updateInterest();
    if (OnDataSent)
        OnDataSent(*this, 0);
}

void TWSocket::closeEvent(int error) {
    if (state_ == wsConnecting)
        return;
    const SameConnection same(*this);
    if (error == 0)
        error = receiveError_;
    if (waitingBytes() > 0 || !lines_.empty()) {
        receiveLoop(true);
        if (!same())
            return;
    }
    if (!closeInvoked_) {
        closeInvoked_ = true;
        if (OnSessionClosed)
            OnSessionClosed(*this, error);
    }
    if (same() && error == 0)
        transport().closeNotify(); // answer the peer's close notification
    if (same())
        internalClose(false, error);
}

// ---- receiving ----

void TWSocket::receiveLoop(bool onClose) {
    const SameConnection same(*this);
    for (;;) {
        receiveFailed_ = false;
        if (lineModeActive()) {
            fillLineBuffer();
            offerLines();
            if (!same())
                return;
            if (onClose && !lines_.empty() && OnDataAvailable) {
                // The last line has no line end: hand it over as it is rather than lose it.
                lineReady_ = lines_.size();
                OnDataAvailable(*this, 0);
                lineReady_ = 0;
            }
            return;
        }
        std::size_t buffered = lines_.size();
        if (OnDataAvailable) {
            receiveCalled_ = false;
            OnDataAvailable(*this, 0);
            if (!same())
                return;
            if (!receiveCalled_)
                break; // the handler takes nothing now; it is offered again later
        } else {
            char scratch[1024];
            std::size_t got = 0;
            if (readInput(scratch, sizeof scratch, got) != 0 || got == 0)
                break;
            readCount_ += got;
        }
        if (receiveFailed_)
            break;
        if ((ComponentOptions & wsoNoReceiveLoop) && !onClose)
            break;
        if (!lines_.empty() && lines_.size() < buffered)
            continue; // bytes left over from line mode go first
        if (waitingBytes() == 0)
            break;
    }
}

void TWSocket::fillLineBuffer() {
    char chunk[4096];
    for (;;) {
        std::size_t got = 0;
        int error = readInput(chunk, sizeof chunk, got);
        if (error != 0) {
            if (error != wsa::wouldBlock) {
                lastError_ = error;
                receiveError_ = error;
            }
            return;
        }
        if (got == 0)
            return; // the peer closed; the close event follows
        readCount_ += got;
        if (LineEcho)
            Send(chunk, static_cast<int>(got));
        if (!LineEdit) {
            lines_.append(std::string_view(chunk, got));
        } else {
            for (std::size_t i = 0; i < got; ++i) {
                if (chunk[i] == '\b') {
                    std::string held = lines_.take(lines_.size());
                    if (!held.empty())
                        held.pop_back();
                    lines_.append(held);
                } else
                    lines_.append(std::string_view(&chunk[i], 1));
            }
        }
        if (got < sizeof chunk || handle_ == platform::invalidSocket)
            return;
    }
}

void TWSocket::offerLines() {
    const SameConnection same(*this);
    lines_.setLineEnd(LineEnd);
    for (;;) {
        std::size_t length = lines_.completeLineLength();
        if (length == std::string::npos)
            break;
        if (!OnDataAvailable) {
            lines_.take(length);
            continue;
        }
        lineReady_ = length;
        std::size_t before = lines_.size();
        OnDataAvailable(*this, 0);
        lineReady_ = 0;
        if (!same())
            return;
        if (lines_.size() == before)
            break; // not taken: it stays for the next offer
    }
    if (LineLimit > 0 && lines_.completeLineLength() == std::string::npos &&
        lines_.size() >= static_cast<std::size_t>(LineLimit)) {
        bool clearData = false;
        if (OnLineLimitExceeded)
            OnLineLimitExceeded(*this, static_cast<int>(lines_.size()), clearData);
        if (clearData)
            lines_.clear();
    }
}

int TWSocket::Receive(void* buffer, int size) {
    receiveCalled_ = true;
    if (size <= 0 || buffer == nullptr)
        return 0;
    auto wanted = static_cast<std::size_t>(size);
    if (lineModeActive() || !lines_.empty()) {
        std::size_t ready = lineModeActive() ? lineReady_ : lines_.size();
        if (ready == 0) {
            lastError_ = wsa::wouldBlock;
            receiveFailed_ = true;
            return -1;
        }
        std::size_t n = std::min(wanted, ready);
        std::memcpy(buffer, lines_.take(n).data(), n);
        if (lineModeActive())
            lineReady_ -= n;
        return static_cast<int>(n);
    }
    if (handle_ == platform::invalidSocket) {
        lastError_ = wsa::notConnected;
        receiveFailed_ = true;
        return -1;
    }
    std::size_t got = 0;
    int error = readInput(static_cast<char*>(buffer), wanted, got);
    if (error != 0) {
        lastError_ = error;
        receiveFailed_ = true;
        if (error != wsa::wouldBlock)
            receiveError_ = error;
        return -1;
    }
    readCount_ += got;
    return static_cast<int>(got);
}

std::string TWSocket::ReceiveStr() {
    std::size_t size = lineModeActive() ? lineReady_ : lines_.size();
    if (!lineModeActive() && size == 0 && handle_ != platform::invalidSocket)
        size = waitingBytes();
    std::string text(std::max<std::size_t>(size, 1), '\0');
    int got = Receive(text.data(), static_cast<int>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

void TWSocket::postLineTrigger() {
    postIfAlive([this] {
        if (handle_ != platform::invalidSocket && !paused_)
            guarded([&] { receiveLoop(false); });
    });
}

// ---- sending ----

int TWSocket::SendStr(const std::string& text) {
    if (text.empty())
        return 0;
    return Send(text.data(), static_cast<int>(text.size()));
}

int TWSocket::Send(const void* data, int length) {
    if (state_ != wsConnected && state_ != wsSocksConnected) {
        socketError("Send", wsa::notConnected);
        return -1;
    }
    if (length <= 0 || data == nullptr)
        return 0;
    allSent_ = false;
    sendBuffer_.Append(
        std::string_view(static_cast<const char*>(data), static_cast<std::size_t>(length)));
    const SameConnection same(*this);
    tryToSend();
    if (!same())
        return -1;
    updateInterest();
    // "Data sent" is never reported from inside Send.
    if (allSent_)
        postWriteEvent();
    return length;
}

void TWSocket::tryToSend() {
    if (handle_ == platform::invalidSocket)
        return;
    int error = transport().write(sendBuffer_);
    if (error == 0)
        allSent_ = true;
    else if (error != wsa::wouldBlock)
        handleSendError(error);
}

void TWSocket::flushTransport() {
    const SameConnection same(*this);
    int error = transport().flushOutput();
    if (error != 0 && error != wsa::wouldBlock)
        handleSendError(error);
    if (same())
        updateInterest();
}

void TWSocket::handleSendError(int error) {
    lastError_ = error;
    if (error == wsa::connReset || error == wsa::notSocket || error == wsa::notConnected ||
        error == wsa::invalidArgument || error == wsa::connAborted)
        closeAfterSendError(error);
    else
        socketError("TryToSend failed", error);
}

void TWSocket::closeAfterSendError(int error) {
    internalClose(false, error);
}

void TWSocket::postWriteEvent() {
    if (writeEventPosted_)
        return;
    writeEventPosted_ = true;
    postIfAlive([this] {
        writeEventPosted_ = false;
        if (paused_) {
            writeEventMissed_ = true;
            return;
        }
        guarded([&] { writeEvent(); });
    });
}

void TWSocket::Flush() {
    const SameConnection same(*this);
    if (same.handle() == platform::invalidSocket)
        return;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(FlushTimeout);
    for (;;) {
        tryToSend();
        if (!same() || allSent_)
            break;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            break;
        std::vector<platform::PollItem> items(1);
        items[0].socket = same.handle();
        items[0].wantWritable = true;
        platform::pollSockets(items, static_cast<int>(std::min<long long>(left, 1000)));
    }
    if (same() && allSent_) {
        updateInterest();
        postWriteEvent();
    }
}

// ---- closing ----

void TWSocket::Close() {
    internalClose(true, 0);
}

void TWSocket::CloseDelayed() {
    postIfAlive([this] { guarded([&] { Close(); }); }, true);
}

void TWSocket::Abort() {
    CancelDnsLookup();
    sendBuffer_.Clear();
    allSent_ = true;
    if (handle_ != platform::invalidSocket && state_ == wsConnected)
        platform::setLinger(handle_, false, 0);
    internalClose(false, 0);
}

void TWSocket::internalClose(bool shutDownFirst, int error) {
    const platform::SocketHandle h = handle_;
    if (h == platform::invalidSocket) {
        setState(wsClosed);
        return;
    }
    watch_.reset();
    if (shutDownFirst && state_ == wsConnected)
        transport().closeNotify();
    tls_.reset();
    plain_ = PlainTransport();
    if (shutDownFirst && state_ == wsConnected)
        platform::shutdownSending(h);
    int closeError = platform::closeSocket(h);
    handle_ = platform::invalidSocket;
    sendBuffer_.Clear();
    allSent_ = true;
    writeEventPosted_ = false;
    writeEventMissed_ = false;
    paused_ = false;
    lines_.clear();
    lineReady_ = 0;
    receiveError_ = 0;
    // Defaults come back before the close is reported, so that a handler may set up and start
    // the next connection.
    resetProperties();
    setState(wsClosed);
    if (!destroying_ && !closeInvoked_) {
        closeInvoked_ = true;
        if (OnSessionClosed)
            OnSessionClosed(*this, error);
    }
    if (closeError != 0 && closeError != wsa::notInitialised)
        socketError("Disconnect (closesocket)", closeError);
}

void TWSocket::Pause() {
    paused_ = true;
    updateInterest();
}

void TWSocket::Resume() {
    paused_ = false;
    updateInterest();
    if (TlsActive() && transport().holdsInput())
        postHeldInput();
    if (writeEventMissed_) {
        writeEventMissed_ = false;
        postWriteEvent();
    }
}

// ---- TLS ----

void TWSocket::StartTls(const TlsOptions& options) {
    if (handle_ == platform::invalidSocket || state_ != wsConnected) {
        lastError_ = wsa::notConnected;
        return raiseException(WSocketErrorMessage(wsa::notConnected, "StartTls"));
    }
    if (tls_)
        return raiseException("StartTls: TLS already started");
    try {
        tls_ = std::make_unique<TlsTransport>(handle_, options);
    } catch (const TlsSetupError& error) {
        tlsFailure_ = error.what();
        return raiseException(error.what());
    }
    tlsFailure_.clear();
    // Plain text that came before must not pass for protected text.
    lines_.clear();
    lineReady_ = 0;

    postIfAlive([this] {
        if (transport().handshaking() && !paused_)
            guarded([&] { handshakeStep(); });
    });
}

bool TWSocket::TlsActive() const {
    return tls_ && tls_->established();
}

TlsInfo TWSocket::TlsSessionInfo() const {
    return TlsActive() ? tls_->info() : TlsInfo{};
}

void TWSocket::handshakeStep() {
    Transport::Handshake result = transport().handshake();
    if (result == Transport::Handshake::Failed)
        return handshakeEnded(transport().failureCode(), transport().failureText());
    updateInterest();
    if (result == Transport::Handshake::Done)
        handshakeEnded(0, {});
}

void TWSocket::handshakeEnded(int error, const std::string& reason) {
    const SameConnection same(*this);
    tlsFailure_ = reason;
    if (OnTlsReady)
        OnTlsReady(*this, error);
    if (!same())
        return;
    if (error != 0)
        return internalClose(false, error);
    if (!sendBuffer_.Empty()) {
        tryToSend();
        if (!same())
            return;
        updateInterest();
        if (allSent_)
            postWriteEvent();
    }
    // Plain text may have come with the end of the handshake.
    postHeldInput();
}

void TWSocket::postHeldInput() {
    postIfAlive([this] {
        if (TlsActive())
            onReady(true, false);
    });
}

void TWSocket::postIfAlive(std::function<void()> task, bool anyConnection) {
    std::weak_ptr<bool> alive = alive_;
    const SameConnection same(*this);
    loop_.post([alive, same, anyConnection, task = std::move(task)] {
        if (!alive.expired() && (anyConnection || same()))
            task();
    });
}

int TWSocket::readInput(char* data, std::size_t size, std::size_t& got) {
    int error = transport().read(data, size, got);
    if (transport().pendingOutput())
        updateInterest();
    return error;
}

std::size_t TWSocket::waitingBytes() {
    return transport().waiting();
}

Transport& TWSocket::transport() {
    if (tls_)
        return *tls_;
    return plain_;
}

const Transport& TWSocket::transport() const {
    if (tls_)
        return *tls_;
    return plain_;
}

} // namespace tafelbot
