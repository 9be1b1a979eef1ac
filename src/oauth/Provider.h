#pragma once

// Where the mail account signs in: the presets for Microsoft 365 and Google, or every endpoint
// from the settings ("custom", which is also how the tests reach a provider on loopback).

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tafelbot {
struct TEinstellungen;
}

namespace tafelbot::oauth {

// The OAuth lines of the settings file, as read (Windows-1252 like every setting).
struct OAuthSettings {
    std::string provider; // "" (user name and password), "microsoft", "google" or "custom"
    std::string clientId;
    std::string clientSecret;
    std::string tenant; // Microsoft only; empty for "organizations"
    std::string deviceUrl;
    std::string authUrl;
    std::string tokenUrl;
    std::string scope;

    bool chosen() const { return !provider.empty(); }
};

// The OAuth lines of the server record.
OAuthSettings settingsOf(const TEinstellungen& server);

struct Provider {
    std::string displayName; // "Microsoft 365", for messages
    std::string deviceUrl;   // empty: the provider has no device grant for mail
    std::string authUrl;     // empty: no code grant
    std::string tokenUrl;
    std::string scope;
    std::string clientId;
    std::string clientSecret;
    // Extra parameters of the browser's address (Google hands out a refresh token only offline).
    std::vector<std::pair<std::string, std::string>> authExtras;
};

// The provider the settings name; nullopt with a German message when they are incomplete.
std::optional<Provider> providerFor(const OAuthSettings& settings, std::string* error);

// What choosing a preset puts into the server settings.
struct ServerPreset {
    std::string server;
    std::string port;
    int security = 0; // index into TSmtpSecurity
};
std::optional<ServerPreset> serverPresetFor(const std::string& provider);

} // namespace tafelbot::oauth
