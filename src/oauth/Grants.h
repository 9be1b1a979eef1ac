#pragma once

// The three ways to a token: the device grant (RFC 8628), the code grant with PKCE (RFC 7636)
// through a loopback redirect (RFC 8252), and the refresh. Each request has a time limit; every
// failure comes back as a German message that names what to do and never holds a token.

#include "oauth/Http.h"
#include "oauth/Provider.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace tafelbot::oauth {

struct TokenGrant {
    std::string accessToken;
    std::string refreshToken; // empty when the provider kept the old one
    long expiresIn = 0;       // seconds; 0 when the provider did not say
};

struct GrantResult {
    std::optional<TokenGrant> grant;
    std::string error;
    bool signInAgain = false; // the provider refused the stored sign-in
};

struct DeviceCode {
    std::string deviceCode;
    std::string userCode;
    std::string verificationUri;
    long expiresIn = 0; // seconds
    long interval = 5;  // seconds between polls
};

// Waits the given time; false when the wait was cancelled. Tests pass one that only records.
using Waiter = std::function<bool(std::chrono::milliseconds)>;

class Grants {
public:
    Grants(Provider provider, std::chrono::milliseconds requestTimeout);

    const Provider& provider() const { return provider_; }

    // Device grant: the code to show, then the polling until the user has signed in, the code
    // expired, the user refused, or `limit` passed.
    std::optional<DeviceCode> startDevice(std::string* error) const;
    GrantResult pollDevice(const DeviceCode& code, const Waiter& wait,
                           std::chrono::seconds limit) const;

    // Code grant: `openAddress` is given the browser's address; `awaitRedirect` waits for the
    // browser's redirect to http://127.0.0.1:port/ and returns its query fields (nullopt with a
    // message: time limit, cancelled).
    struct Redirect {
        std::string redirectUri;
        std::function<std::optional<FormFields>(std::string* error)> awaitRedirect;
    };
    GrantResult codeGrant(const Redirect& redirect,
                          const std::function<void(const std::string&)>& openAddress) const;

    GrantResult refresh(const std::string& refreshToken) const;

private:
    Provider provider_;
    std::chrono::milliseconds timeout_;
};

// PKCE: a fresh verifier and its S256 challenge (base64url of the verifier's SHA-256).
std::string pkceVerifier();
std::string pkceChallenge(const std::string& verifier);

} // namespace tafelbot::oauth
