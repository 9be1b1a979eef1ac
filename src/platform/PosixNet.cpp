#include "platform/Net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tafelbot::platform {

namespace {

int fd(SocketHandle socket) {
    return static_cast<int>(socket);
}

int mapErrno(int error) {
    switch (error) {
    case 0:
        return 0;
    case EINTR:
        return wsa::interrupted;
    case EBADF:
        return wsa::notSocket;
    case EACCES:
    case EPERM:
        return wsa::accessDenied;
    case EFAULT:
        return wsa::badAddress;
    case EINVAL:
        return wsa::invalidArgument;
    case EMFILE:
    case ENFILE:
        return wsa::tooManyFiles;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
    case EWOULDBLOCK:
        return wsa::wouldBlock;
    case EINPROGRESS:
        return wsa::inProgress;
    case EALREADY:
        return wsa::alreadyInProgress;
    case ENOTSOCK:
        return wsa::notSocket;
    case EDESTADDRREQ:
        return wsa::destAddrRequired;
    case EMSGSIZE:
        return wsa::messageTooLong;
    case EPROTOTYPE:
        return wsa::protoWrongType;
    case ENOPROTOOPT:
        return wsa::protoNotAvailable;
    case EPROTONOSUPPORT:
        return wsa::protoNotSupported;
    case ESOCKTNOSUPPORT:
        return wsa::sockTypeNotSupported;
    case EOPNOTSUPP:
        return wsa::opNotSupported;
    case EPFNOSUPPORT:
        return wsa::pfNotSupported;
    case EAFNOSUPPORT:
        return wsa::afNotSupported;
    case EADDRINUSE:
        return wsa::addrInUse;
    case EADDRNOTAVAIL:
        return wsa::addrNotAvailable;
    case ENETDOWN:
        return wsa::netDown;
    case ENETUNREACH:
        return wsa::netUnreachable;
    case ENETRESET:
        return wsa::netReset;
    case ECONNABORTED:
        return wsa::connAborted;
    case ECONNRESET:
        return wsa::connReset;
    case ENOBUFS:
    case ENOMEM:
        return wsa::noBufferSpace;
    case EISCONN:
        return wsa::isConnected;
    case ENOTCONN:
        return wsa::notConnected;
    case EPIPE:
    case ESHUTDOWN:
        return wsa::shutDown;
    case ETIMEDOUT:
        return wsa::timedOut;
    case ECONNREFUSED:
        return wsa::connRefused;
    case ELOOP:
        return wsa::tooManyLinks;
    case ENAMETOOLONG:
        return wsa::nameTooLong;
    case EHOSTDOWN:
        return wsa::hostDown;
    case EHOSTUNREACH:
        return wsa::hostUnreachable;
    default:
        return wsa::invalidArgument;
    }
}

int lastError() {
    return mapErrno(errno);
}

// Runs a send or receive call, again when a signal interrupted it. Writing to a connection the
// peer has reset or that is shut down reports as the reset, not as a broken pipe.
template <typename Call>
int transfer(Call&& call, std::size_t& transferred) {
    transferred = 0;
    for (;;) {
        ssize_t n = call();
        if (n >= 0) {
            transferred = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno == EPIPE)
            return wsa::connReset;
        return lastError();
    }
}

int mapResolverError(int error) {
    switch (error) {
    case 0:
        return 0;
    case EAI_NONAME:
        return wsa::hostNotFound;
    case EAI_AGAIN:
        return wsa::tryAgain;
    case EAI_FAIL:
        return wsa::noRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
    case EAI_FAMILY:
        return wsa::noData;
    case EAI_MEMORY:
        return wsa::noBufferSpace;
    case EAI_SYSTEM:
        return lastError();
    default:
        return wsa::noRecovery;
    }
}

sockaddr_in ipv4Address(Ipv4 address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

int setIntOption(SocketHandle socket, int level, int name, int value) {
    return ::setsockopt(fd(socket), level, name, &value, sizeof value) == 0 ? 0 : lastError();
}

} // namespace

int createSocket(SocketType type, int protocol, SocketHandle& out) {
    int kind = type == SocketType::Stream     ? SOCK_STREAM
               : type == SocketType::Datagram ? SOCK_DGRAM
                                              : SOCK_RAW;
    int s = ::socket(AF_INET, kind | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (s < 0) {
        out = invalidSocket;
        return lastError();
    }
    out = s;
    return 0;
}

int setBoolOption(SocketHandle socket, BoolOption option, bool on) {
    switch (option) {
    case BoolOption::ReuseAddress:
        return setIntOption(socket, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0);
    case BoolOption::TcpNoDelay:
        return setIntOption(socket, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0);
    case BoolOption::KeepAlive:
        return setIntOption(socket, SOL_SOCKET, SO_KEEPALIVE, on ? 1 : 0);
    }
    return wsa::invalidArgument;
}

int setLinger(SocketHandle socket, bool on, int seconds) {
    linger value{};
    value.l_onoff = on ? 1 : 0;
    value.l_linger = seconds;
    return ::setsockopt(fd(socket), SOL_SOCKET, SO_LINGER, &value, sizeof value) == 0 ? 0
                                                                                      : lastError();
}

int bindSocket(SocketHandle socket, Ipv4 address, std::uint16_t port) {
    sockaddr_in sa = ipv4Address(address, port);
    return ::bind(fd(socket), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 ? 0 : lastError();
}

int startConnect(SocketHandle socket, Ipv4 address, std::uint16_t port) {
    sockaddr_in sa = ipv4Address(address, port);
    if (::connect(fd(socket), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0)
        return 0;
    // Windows Sockets reports a connect going on in the background as "would block".
    if (errno == EINPROGRESS || errno == EINTR)
        return wsa::wouldBlock;
    return lastError();
}

int listenSocket(SocketHandle socket, int backlog) {
    return ::listen(fd(socket), backlog) == 0 ? 0 : lastError();
}

int acceptConnection(SocketHandle listener, SocketHandle& out) {
    int s = ::accept4(fd(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (s < 0) {
        out = invalidSocket;
        return lastError();
    }
    out = s;
    return 0;
}

int localPort(SocketHandle socket, std::uint16_t& port) {
    sockaddr_in sa{};
    socklen_t size = sizeof sa;
    if (::getsockname(fd(socket), reinterpret_cast<sockaddr*>(&sa), &size) != 0)
        return lastError();
    port = ntohs(sa.sin_port);
    return 0;
}

int pendingError(SocketHandle socket) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd(socket), SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return lastError();
    return mapErrno(error);
}

int sendBytes(SocketHandle socket, const char* data, std::size_t size, std::size_t& transferred) {
    // A peer that has gone must give an error, not a SIGPIPE.
    return transfer([&] { return ::send(fd(socket), data, size, MSG_NOSIGNAL); }, transferred);
}

int sendParts(SocketHandle socket, const std::string_view* parts, std::size_t count,
              std::size_t& transferred) {
    transferred = 0;
    std::vector<iovec> vectors;
    for (std::size_t i = 0; i < count && vectors.size() < IOV_MAX; ++i)
        if (!parts[i].empty())
            vectors.push_back({const_cast<char*>(parts[i].data()), parts[i].size()});
    if (vectors.empty())
        return 0;
    msghdr message{};
    message.msg_iov = vectors.data();
    message.msg_iovlen = vectors.size();
    return transfer([&] { return ::sendmsg(fd(socket), &message, MSG_NOSIGNAL); }, transferred);
}

int receiveBytes(SocketHandle socket, char* data, std::size_t size, std::size_t& transferred) {
    return transfer([&] { return ::recv(fd(socket), data, size, 0); }, transferred);
}

int peekClosed(SocketHandle socket, bool& closed) {
    closed = false;
    char byte = 0;
    for (;;) {
        ssize_t n = ::recv(fd(socket), &byte, 1, MSG_PEEK);
        if (n == 0)
            closed = true;
        if (n >= 0)
            return 0;
        if (errno == EINTR)
            continue;
        return lastError();
    }
}

int bytesAvailable(SocketHandle socket, std::size_t& count) {
    int value = 0;
    if (::ioctl(fd(socket), FIONREAD, &value) != 0) {
        count = 0;
        return lastError();
    }
    count = value > 0 ? static_cast<std::size_t>(value) : 0;
    return 0;
}

int shutdownSending(SocketHandle socket) {
    return ::shutdown(fd(socket), SHUT_WR) == 0 ? 0 : lastError();
}

int closeSocket(SocketHandle socket) {
    // POSIX leaves the descriptor closed even when close reports EINTR: never retry.
    if (::close(fd(socket)) == 0 || errno == EINTR)
        return 0;
    return lastError();
}

int lookupHost(const std::string& name, std::vector<Ipv4>& addresses) {
    addresses.clear();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int error = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
    if (error != 0)
        return mapResolverError(error);
    for (addrinfo* entry = result; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr)
            continue;
        sockaddr_in sa{};
        std::memcpy(&sa, entry->ai_addr, sizeof sa);
        Ipv4 address = ntohl(sa.sin_addr.s_addr);
        bool seen = false;
        for (Ipv4 known : addresses)
            seen = seen || known == address;
        if (!seen)
            addresses.push_back(address);
    }
    ::freeaddrinfo(result);
    return addresses.empty() ? wsa::noData : 0;
}

int lookupService(const std::string& service, const std::string& protocol, std::uint16_t& port) {
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    int error =
        ::getservbyname_r(service.c_str(), protocol.c_str(), &entry, buffer, sizeof buffer, &found);
    if (error != 0 || found == nullptr)
        return wsa::noData;
    port = ntohs(static_cast<std::uint16_t>(found->s_port));
    return 0;
}

int lookupProtocol(const std::string& name, int& number) {
    protoent entry{};
    protoent* found = nullptr;
    char buffer[1024];
    int error = ::getprotobyname_r(name.c_str(), &entry, buffer, sizeof buffer, &found);
    if (error != 0 || found == nullptr)
        return wsa::noData;
    number = found->p_proto;
    return 0;
}

int pollSockets(std::vector<PollItem>& items, int timeoutMs) {
    std::vector<pollfd> fds;
    std::vector<std::size_t> index;
    fds.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].readable = items[i].writable = false;
        if (!items[i].wantReadable && !items[i].wantWritable)
            continue;
        pollfd p{};
        p.fd = fd(items[i].socket);
        p.events = static_cast<short>((items[i].wantReadable ? POLLIN : 0) |
                                      (items[i].wantWritable ? POLLOUT : 0));
        fds.push_back(p);
        index.push_back(i);
    }
    int n = ::poll(fds.data(), fds.size(), timeoutMs);
    if (n < 0)
        return errno == EINTR ? 0 : lastError();
    for (std::size_t k = 0; k < fds.size(); ++k) {
        PollItem& item = items[index[k]];
        short got = fds[k].revents;
        bool trouble = (got & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        item.readable = item.wantReadable && ((got & POLLIN) != 0 || trouble);
        item.writable = item.wantWritable && ((got & POLLOUT) != 0 || trouble);
    }
    return 0;
}

Wakeup::Wakeup() {
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) == 0) {
        readEnd_ = ends[0];
        writeEnd_ = ends[1];
    }
}

Wakeup::~Wakeup() {
    if (readEnd_ != invalidSocket)
        ::close(fd(readEnd_));
    if (writeEnd_ != invalidSocket)
        ::close(fd(writeEnd_));
}

void Wakeup::signal() {
    char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost by dropping this one.
    [[maybe_unused]] ssize_t n = ::write(fd(writeEnd_), &byte, 1);
}

void Wakeup::drain() {
    char buffer[256];
    while (::read(fd(readEnd_), buffer, sizeof buffer) > 0) {
    }
}

} // namespace tafelbot::platform
