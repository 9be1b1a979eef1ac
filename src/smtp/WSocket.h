#pragma once

// An event-driven TCP socket on the event loop: name lookup, non-blocking connect, buffered
// sending through 1460-byte chunks, a receive loop and an optional line mode. Every event runs
// on the loop's thread, in the order connect, read, write, close; nothing blocks except Flush.

#include "platform/Net.h"
#include "smtp/EventLoop.h"
#include "smtp/LineSplitter.h"
#include "smtp/PlainTransport.h"
#include "smtp/SendBuffer.h"
#include "smtp/TlsTransport.h"
#include "smtp/WSocketErrors.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tafelbot {

enum TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsSocksConnected,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed,
};

enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };

// ComponentOptions is a set of these flags.
enum TWSocketOption : unsigned {
    wsoNoReceiveLoop = 1u << 0,
    wsoTcpNoDelay = 1u << 1,
    wsoSIO_RCVALL = 1u << 2, // raw capture; without effect here
};
using TWSocketOptions = unsigned;

class TWSocket {
public:
    explicit TWSocket(EventLoop& loop);
    // Closes without reporting the close.
    ~TWSocket();
    TWSocket(const TWSocket&) = delete;
    TWSocket& operator=(const TWSocket&) = delete;

    // Addr, Port, Proto, LocalAddr and LocalPort change only while closed; values are trimmed.
    // Every close marks Addr and Port not assigned and puts the others back to their defaults.
    const std::string& Addr() const { return addr_; }
    void SetAddr(const std::string& value);
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);
    const std::string& Proto() const { return proto_; }
    void SetProto(const std::string& value);
    const std::string& LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return localPort_; }
    void SetLocalPort(const std::string& value);

    const std::string& DnsResult() const { return dnsResult_; }
    const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
    TSocketState State() const { return state_; }
    int LastError() const { return lastError_; }
    std::uint64_t ReadCount() const { return readCount_; }

    TSocketLingerOnOff LingerOnOff = wsLingerOn;
    int LingerTimeout = 0; // seconds
    TWSocketOptions ComponentOptions = 0;
    int FlushTimeout = 60; // seconds

    // Line mode: received bytes are offered to OnDataAvailable one line (ending in LineEnd) at a
    // time.
    bool LineMode() const { return lineMode_; }
    void SetLineMode(bool on);
    std::string LineEnd = "\r\n";
    int LineLimit = 65536; // 0 or less: no limit
    bool LineEcho = false; // send received bytes back
    bool LineEdit = false; // a backspace removes the byte before it

    // Events (error numbers are Windows Sockets numbers, 0 for success).
    std::function<void(TWSocket& sender, int error)> OnDataAvailable;
    std::function<void(TWSocket& sender, int error)> OnDataSent;
    std::function<void(TWSocket& sender, int error)> OnSessionConnected;
    std::function<void(TWSocket& sender, int error)> OnSessionClosed;
    std::function<void(TWSocket& sender, int error)> OnDnsLookupDone;
    std::function<void(TWSocket& sender, TSocketState oldState, TSocketState newState)>
        OnChangeState;
    // When assigned, failures are reported here (LastError set) instead of as ESocketException.
    std::function<void(TWSocket& sender)> OnError;
    // An exception escaping an event handler; unless canClose is cleared the socket is aborted.
    std::function<void(TWSocket& sender, const std::exception& error, bool& canClose)>
        OnBgException;
    std::function<void(TWSocket& sender, int rcvdLength, bool& clearData)> OnLineLimitExceeded;

    // A dotted address completes inside the call; other names are looked up on a helper thread
    // and complete later from the loop.
    void DnsLookup(const std::string& hostName);
    void CancelDnsLookup();
    void Connect();
    // Queues the bytes and starts sending; OnDataSent follows later, once everything has gone.
    // Returns the count queued, or -1.
    int Send(const void* data, int length);
    int SendStr(const std::string& text);
    // What is waiting (in line mode: the current line); -1 with LastError set when nothing.
    int Receive(void* buffer, int size);
    std::string ReceiveStr();
    void Close();
    void CloseDelayed();
    // Closes at once, dropping unsent data.
    void Abort();
    // Sends until the buffer is empty, waiting at most FlushTimeout seconds.
    void Flush();
    void Pause();
    void Resume();

    // Turns the connected socket into a TLS client session: the handshake runs on the socket's
    // events and ends with OnTlsReady (later, from the loop; on failure the socket closes after
    // the handler unless the handler did so). From then on Send, Receive and the events carry
    // plain text as before. Raises ESocketException when not connected, when TLS runs already,
    // or when the session cannot be set up (a CA file that cannot be read).
    void StartTls(const TlsOptions& options);
    bool TlsActive() const;
    // What the handshake agreed on (empty while TLS is not active).
    TlsInfo TlsSessionInfo() const;
    // The reason of the last failed handshake.
    const std::string& TlsFailure() const { return tlsFailure_; }
    // 0, or a tlsError... code (TlsSession.h).
    std::function<void(TWSocket& sender, int error)> OnTlsReady;

private:
    struct LookupTicket;

    // The connection an event started with. A handler may close it, or close it and open the
    // next: every step after a handler call asks this before it goes on.
    class SameConnection {
    public:
        explicit SameConnection(const TWSocket& socket)
            : socket_(socket), handle_(socket.handle_) {}
        bool operator()() const { return socket_.handle_ == handle_; }
        platform::SocketHandle handle() const { return handle_; }

    private:
        const TWSocket& socket_;
        platform::SocketHandle handle_;
    };
    // Runs the task later from the loop, if this socket still exists and, unless
    // anyConnection, still holds the connection it holds now.
    void postIfAlive(std::function<void()> task, bool anyConnection = false);

    void setState(TSocketState state);
    void raiseException(const std::string& message);
    void socketError(const std::string& function, int error);
    template <typename Handler>
    void guarded(Handler&& handler);
    void handleBgException(const std::exception& error);

    void onReady(bool readable, bool writable);
    void connectEvent(int error);
    void writeEvent();
    void closeEvent(int error);
    void receiveLoop(bool onClose);
    bool lineModeActive() const { return lineMode_ && !LineEnd.empty(); }
    void fillLineBuffer();
    void offerLines();
    void postWriteEvent();
    void postLineTrigger();
    void tryToSend();
    // Sends what the transport itself holds back (TLS records of its own).
    void flushTransport();
    void handleSendError(int error);
    void closeAfterSendError(int error);
    // Plain or, with TLS, decrypted bytes; the contract of platform::receiveBytes.
    int readInput(char* data, std::size_t size, std::size_t& got);
    // Bytes the receive loop can still hand out.
    std::size_t waitingBytes();
    void handshakeStep();
    void handshakeEnded(int error, const std::string& reason);
    // Offers input that waits in the transport's memory, where no readiness reports it.
    void postHeldInput();
    Transport& transport();
    const Transport& transport() const;
    void internalClose(bool shutDownFirst, int error);
    void resetProperties();
    void updateInterest();
    void dnsLookupFinished(LookupTicket* ticket, int error,
                           const std::vector<platform::Ipv4>& addresses);
    void assignWhileClosed(std::string& field, const std::string& value, const char* name);

    EventLoop& loop_;
    std::shared_ptr<bool> alive_;
    platform::SocketHandle handle_ = platform::invalidSocket;
    std::unique_ptr<SocketWatch> watch_;
    TSocketState state_ = wsClosed;
    bool destroying_ = false;

    std::string addr_;
    std::string port_;
    std::string proto_ = "tcp";
    std::string localAddr_ = "0.0.0.0";
    std::string localPort_ = "0";
    bool addrAssigned_ = false;
    bool portAssigned_ = false;
    bool protoAssigned_ = true;

    std::string dnsResult_;
    std::vector<std::string> dnsResultList_;
    std::shared_ptr<LookupTicket> lookup_;
    int lastError_ = 0;
    std::uint64_t readCount_ = 0;

    SendBuffer sendBuffer_;
    bool allSent_ = true;
    bool closeInvoked_ = false;
    bool writeEventPosted_ = false;
    bool writeEventMissed_ = false; // a posted write event found the socket paused
    bool paused_ = false;

    bool receiveCalled_ = false;
    bool receiveFailed_ = false;
    int receiveError_ = 0; // a hard receive error, reported with the close

    bool lineMode_ = false;
    LineSplitter lines_;        // received bytes in line mode, and what it left behind
    std::size_t lineReady_ = 0; // length of the line being offered

    PlainTransport plain_;              // the connection as it is
    std::unique_ptr<TlsTransport> tls_; // over it, from StartTls to the close
    std::string tlsFailure_;
};

} // namespace tafelbot
