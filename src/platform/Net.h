#pragma once

// The socket seam: non-blocking IPv4 TCP sockets, name, service and protocol lookup, and waiting
// for readiness. Errors come back as Windows Sockets error numbers (0 = success), whatever the
// operating system, because callers tell socket errors (10000 and above) from SMTP reply codes by
// their number.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tafelbot::platform {

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle invalidSocket = -1;

// The Windows Sockets error numbers the seam reports.
namespace wsa {
inline constexpr int interrupted = 10004;
inline constexpr int badFile = 10009;
inline constexpr int accessDenied = 10013;
inline constexpr int badAddress = 10014;
inline constexpr int invalidArgument = 10022;
inline constexpr int tooManyFiles = 10024;
inline constexpr int wouldBlock = 10035;
inline constexpr int inProgress = 10036;
inline constexpr int alreadyInProgress = 10037;
inline constexpr int notSocket = 10038;
inline constexpr int destAddrRequired = 10039;
inline constexpr int messageTooLong = 10040;
inline constexpr int protoWrongType = 10041;
inline constexpr int protoNotAvailable = 10042;
inline constexpr int protoNotSupported = 10043;
inline constexpr int sockTypeNotSupported = 10044;
inline constexpr int opNotSupported = 10045;
inline constexpr int pfNotSupported = 10046;
inline constexpr int afNotSupported = 10047;
inline constexpr int addrInUse = 10048;
inline constexpr int addrNotAvailable = 10049;
inline constexpr int netDown = 10050;
inline constexpr int netUnreachable = 10051;
inline constexpr int netReset = 10052;
inline constexpr int connAborted = 10053;
inline constexpr int connReset = 10054;
inline constexpr int noBufferSpace = 10055;
inline constexpr int isConnected = 10056;
inline constexpr int notConnected = 10057;
inline constexpr int shutDown = 10058;
inline constexpr int timedOut = 10060;
inline constexpr int connRefused = 10061;
inline constexpr int tooManyLinks = 10062;
inline constexpr int nameTooLong = 10063;
inline constexpr int hostDown = 10064;
inline constexpr int hostUnreachable = 10065;
inline constexpr int notInitialised = 10093;
inline constexpr int hostNotFound = 11001;
inline constexpr int tryAgain = 11002;
inline constexpr int noRecovery = 11003;
inline constexpr int noData = 11004;
} // namespace wsa

// An IPv4 address in host byte order (127.0.0.1 is 0x7F000001).
using Ipv4 = std::uint32_t;

enum class SocketType { Stream, Datagram, Raw };
enum class BoolOption { ReuseAddress, TcpNoDelay, KeepAlive };

// Creates a non-blocking IPv4 socket of the type for the protocol number.
int createSocket(SocketType type, int protocol, SocketHandle& out);
int setBoolOption(SocketHandle socket, BoolOption option, bool on);
int setLinger(SocketHandle socket, bool on, int seconds);
int bindSocket(SocketHandle socket, Ipv4 address, std::uint16_t port);
// Starts a non-blocking connect: 0 when connected at once, wouldBlock when it goes on in the
// background (the socket becomes writable when it ends), else the error.
int startConnect(SocketHandle socket, Ipv4 address, std::uint16_t port);
// The error of a background connect (or any pending error of the socket), 0 if none.
int pendingError(SocketHandle socket);

// Listening: the sign-in's one-shot redirect listener. acceptConnection gives a non-blocking
// socket, or wouldBlock when no connection waits.
int listenSocket(SocketHandle socket, int backlog);
int acceptConnection(SocketHandle listener, SocketHandle& out);
// The port the socket is bound to (after binding to port 0: the one the system chose).
int localPort(SocketHandle socket, std::uint16_t& port);

// Sends or receives at most `size` bytes without waiting; `transferred` is the count (0 from
// receive: the peer closed). wouldBlock when nothing can be moved now.
int sendBytes(SocketHandle socket, const char* data, std::size_t size, std::size_t& transferred);
int receiveBytes(SocketHandle socket, char* data, std::size_t size, std::size_t& transferred);
// Sends the parts one after the other in one call, as far as they go now (a gathering write).
int sendParts(SocketHandle socket, const std::string_view* parts, std::size_t count,
              std::size_t& transferred);
// Looks at what is waiting without taking it: `closed` is true when the peer has closed and
// nothing is left.
int peekClosed(SocketHandle socket, bool& closed);
// Bytes waiting to be received (FIONREAD).
int bytesAvailable(SocketHandle socket, std::size_t& count);
int shutdownSending(SocketHandle socket);
int closeSocket(SocketHandle socket);

// Name lookup (may wait for the resolver: call it off the loop thread). All IPv4 addresses found,
// in the resolver's order.
int lookupHost(const std::string& name, std::vector<Ipv4>& addresses);
// The port of a service name for a protocol name ("smtp", "tcp"), in host byte order.
int lookupService(const std::string& service, const std::string& protocol, std::uint16_t& port);
int lookupProtocol(const std::string& name, int& number);

// Waiting for readiness.
struct PollItem {
    SocketHandle socket = invalidSocket;
    bool wantReadable = false;
    bool wantWritable = false;
    bool readable = false; // out; an error or hang-up reports as wanted readiness
    bool writable = false; // out
};
// Waits at most timeoutMs (-1: without limit) for any item to become ready. Items without
// interest are skipped. Returns 0 or the error; a wait interrupted by a signal returns 0.
int pollSockets(std::vector<PollItem>& items, int timeoutMs);

// Wakes a thread waiting in pollSockets from another thread: poll its handle for readability.
class Wakeup {
public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    bool valid() const { return readEnd_ != invalidSocket; }
    SocketHandle handle() const { return readEnd_; }
    void signal(); // any thread
    void drain();

private:
    SocketHandle readEnd_ = invalidSocket;
    SocketHandle writeEnd_ = invalidSocket;
};

} // namespace tafelbot::platform
