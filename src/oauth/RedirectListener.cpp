#include "oauth/RedirectListener.h"

#include "platform/Platform.h"

#include <vector>

namespace tafelbot::oauth {

namespace {

constexpr platform::Ipv4 Loopback = 0x7F000001;
constexpr int SliceMs = 200; // how soon a cancel is noticed
constexpr std::size_t MaxRequest = 16384;

class Connection {
public:
    explicit Connection(platform::SocketHandle s) : socket(s) {}
    ~Connection() { platform::closeSocket(socket); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    platform::SocketHandle socket;
};

bool waitFor(platform::SocketHandle socket, bool writable, int timeoutMs) {
    std::vector<platform::PollItem> items{{socket, !writable, writable, false, false}};
    return platform::pollSockets(items, timeoutMs) == 0 && (items[0].readable || items[0].writable);
}

void answer(platform::SocketHandle socket, const std::string& status, const std::string& page) {
    const std::string reply = "HTTP/1.1 " + status +
                              "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                              std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page;
    for (std::size_t done = 0; done < reply.size();) {
        std::size_t sent = 0;
        const int error =
            platform::sendBytes(socket, reply.data() + done, reply.size() - done, sent);
        if (error == platform::wsa::wouldBlock && waitFor(socket, true, 2000))
            continue;
        if (error != 0)
            return; // the browser went away; its request is what counts
        done += sent;
    }
    platform::shutdownSending(socket);
}

std::uint32_t elapsedSince(std::uint32_t start) {
    return platform::clock().tickCount() - start;
}

} // namespace

RedirectListener::~RedirectListener() {
    if (listener_ != platform::invalidSocket)
        platform::closeSocket(listener_);
}

bool RedirectListener::open(std::string* error) {
    int code = platform::createSocket(platform::SocketType::Stream, 0, listener_);
    if (code == 0)
        code = platform::bindSocket(listener_, Loopback, 0);
    if (code == 0)
        code = platform::listenSocket(listener_, 4);
    if (code == 0)
        code = platform::localPort(listener_, port_);
    if (code != 0)
        *error = "Kann auf diesem Rechner nicht auf die R\xFC"
                 "ckmeldung des Browsers warten (Fehler " +
                 std::to_string(code) + ").";
    return code == 0;
}

std::string RedirectListener::redirectUri() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

std::optional<std::string> RedirectListener::readRequest(platform::SocketHandle client) {
    std::string request;
    const std::uint32_t start = platform::clock().tickCount();
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < MaxRequest) {
        if (elapsedSince(start) > 10000 || !waitFor(client, false, SliceMs * 5))
            return std::nullopt;
        char buffer[4096];
        std::size_t received = 0;
        const int error = platform::receiveBytes(client, buffer, sizeof buffer, received);
        if (error == platform::wsa::wouldBlock)
            continue;
        if (error != 0 || received == 0)
            return std::nullopt;
        request.append(buffer, received);
    }
    return request;
}

std::optional<FormFields> RedirectListener::await(std::chrono::milliseconds limit,
                                                  const std::atomic<bool>* cancel,
                                                  std::string* error) {
    const std::uint32_t start = platform::clock().tickCount();
    for (;;) {
        if (cancel && cancel->load()) {
            *error = "Die Anmeldung wurde abgebrochen.";
            return std::nullopt;
        }
        if (elapsedSince(start) >= limit.count()) {
            *error = "Die Anmeldung im Browser wurde nicht innerhalb von " + durationText(limit) +
                     " abgeschlossen. Bitte noch einmal anmelden.";
            return std::nullopt;
        }
        if (!waitFor(listener_, false, SliceMs))
            continue;
        platform::SocketHandle accepted = platform::invalidSocket;
        if (platform::acceptConnection(listener_, accepted) != 0)
            continue;
        Connection client(accepted);
        const auto request = readRequest(client.socket);
        // "GET /?code=...&state=... HTTP/1.1"
        const std::string line = request ? request->substr(0, request->find("\r\n")) : "";
        const std::size_t path = line.find(' ');
        const std::size_t end = line.find(' ', path == std::string::npos ? 0 : path + 1);
        const std::string target = path != std::string::npos && end != std::string::npos
                                       ? line.substr(path + 1, end - path - 1)
                                       : "";
        if (line.rfind("GET ", 0) != 0 || (target != "/" && target.rfind("/?", 0) != 0)) {
            answer(client.socket, "404 Not Found", "<!DOCTYPE html><title>Tafelbot</title>");
            continue;
        }
        answer(client.socket, "200 OK",
               "<!DOCTYPE html><html lang=\"de\"><meta charset=\"utf-8\"><title>Tafelbot</title>"
               "<p>Die Anmeldung ist bei Tafelbot angekommen. Sie k\xC3\xB6nnen dieses Fenster "
               "schlie\xC3\x9F"
               "en.</p></html>");
        return formDecode(target.size() > 2 ? target.substr(2) : "");
    }
}

} // namespace tafelbot::oauth
