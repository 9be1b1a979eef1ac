#pragma once

// The mail account's sign-in as the programs use it: the first sign-in (device code or browser),
// the stored sign-in (refresh token, latest access token and its end) in the user's secret store,
// and before each mail the access token, refreshed when its lifetime is over.

#include "oauth/Provider.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tafelbot::oauth {

struct StoredSignIn {
    std::string account;
    std::string refreshToken;
    std::string accessToken;
    std::int64_t expiresAt = 0; // seconds since 1970 (UTC); the access token is dead after it
};

// The key under which the sign-in of `account` at the provider is stored.
std::string signInKey(const Provider& provider, const std::string& account);

std::string toJson(const StoredSignIn& signIn);
std::optional<StoredSignIn> fromJson(const std::string& text);

struct SignInEvents {
    std::function<void(const std::string& address)> showAddress; // open it in a browser
    std::function<void(const std::string& address, const std::string& code)> showCode;
};

struct SignInOptions {
    bool device = false; // the device grant, else the browser with a loopback redirect
    std::chrono::seconds limit{600};
    std::chrono::milliseconds requestTimeout{30000};
    const std::atomic<bool>* cancel = nullptr;
};

// Signs `account` in and stores the sign-in. Empty on success, else the German message.
std::string signIn(const OAuthSettings& settings, const std::string& account,
                   const SignInOptions& options, const SignInEvents& events);

// Whether a sign-in for `account` is stored.
bool signedIn(const OAuthSettings& settings, const std::string& account);

struct AccessToken {
    std::string token;   // empty on failure
    std::string error;   // why nothing may be sent
    std::string warning; // sent all the same, but the user must know (a sign-in not stored)
};

// The access token for a send: the stored one while it lives, else a new one from the refresh
// token (a rotated refresh token replaces the old one at once).
AccessToken accessTokenForSending(const OAuthSettings& settings, const std::string& account,
                                  std::chrono::milliseconds requestTimeout);

// Seconds since 1970 (UTC) from the platform clock; 0 when the clock cannot tell.
std::int64_t unixNow();

} // namespace tafelbot::oauth
