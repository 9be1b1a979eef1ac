#pragma once

// The one-shot listener of the code grant's loopback redirect (RFC 8252): bound to 127.0.0.1 at
// a port the system chooses, it takes the browser's one request, answers it with a short page and
// hands back the query fields.

#include "oauth/Http.h"
#include "platform/Net.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

namespace tafelbot::oauth {

class RedirectListener {
public:
    RedirectListener() = default;
    ~RedirectListener();
    RedirectListener(const RedirectListener&) = delete;
    RedirectListener& operator=(const RedirectListener&) = delete;

    bool open(std::string* error);
    std::string redirectUri() const; // http://127.0.0.1:PORT/

    // Waits at most `limit` (or until *cancel turns true) for the redirect to the listener's
    // root; requests for anything else (a browser's icon) are answered and ignored.
    std::optional<FormFields> await(std::chrono::milliseconds limit,
                                    const std::atomic<bool>* cancel, std::string* error);

private:
    std::optional<std::string> readRequest(platform::SocketHandle client);

    platform::SocketHandle listener_ = platform::invalidSocket;
    std::uint16_t port_ = 0;
};

} // namespace tafelbot::oauth
