#include "oauth/Grants.h"

#include "platform/Platform.h"
#include "settings/Cp1252.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>

namespace tafelbot::oauth {

namespace {

using nlohmann::json;

struct TokenReply {
    std::optional<TokenGrant> grant;
    std::string errorCode; // the provider's "error", empty when it sent none
    std::string message;
};

std::string base64Url(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(n));
    std::replace(out.begin(), out.end(), '+', '-');
    std::replace(out.begin(), out.end(), '/', '_');
    out.erase(out.find_last_not_of('=') + 1);
    return out;
}

std::optional<json> jsonObject(const std::string& body) {
    json value = json::parse(body, nullptr, false);
    if (value.is_discarded() || !value.is_object())
        return std::nullopt;
    return value;
}

std::string text(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// Some providers send numbers as strings.
long number(const json& object, const char* key, long fallback) {
    auto it = object.find(key);
    if (it == object.end())
        return fallback;
    if (it->is_number_integer())
        return it->get<long>();
    if (it->is_string()) {
        const std::string s = it->get<std::string>();
        if (!s.empty() && s.size() < 10 && std::all_of(s.begin(), s.end(), ::isdigit))
            return std::stol(s);
    }
    return fallback;
}

// A provider's own words, short and in the program's encoding.
std::string providerWords(const json& object) {
    std::string words = text(object, "error");
    const std::string description = text(object, "error_description");
    if (!description.empty())
        words += " (" + description.substr(0, 300) + ")";
    return utf8ToCp1252(words);
}

std::string unreadable(const Provider& provider, const HttpReply& reply) {
    return "Der Anmeldedienst von " + provider.displayName +
           " hat keine lesbare Antwort geschickt (HTTP " + std::to_string(reply.status) +
           "). Bitte die Adressen in den Einstellungen pr\xFC"
           "fen oder sp\xE4ter noch einmal versuchen.";
}

std::string refusal(const Provider& provider, const std::string& code, const json& object) {
    const std::string words = providerWords(object);
    if (code == "invalid_grant")
        return "Die gespeicherte Anmeldung bei " + provider.displayName +
               " gilt nicht mehr (abgelaufen oder widerrufen: " + words +
               "). Bitte neu anmelden: in den Servereinstellungen mit \"Anmelden ...\" oder mit "
               "\"tafelbot-cli oauth-login\".";
    if (code == "access_denied")
        return "Die Anmeldung bei " + provider.displayName +
               " wurde abgelehnt: Die Zustimmung wurde nicht erteilt.";
    if (code == "expired_token")
        return "Der Anmeldecode ist abgelaufen, bevor die Anmeldung abgeschlossen war. Bitte "
               "noch einmal anmelden.";
    if (code == "invalid_client" || code == "unauthorized_client")
        return "Der Anbieter " + provider.displayName +
               " l\xE4sst die Anwendung nicht zu: " + words +
               ". Bitte die Client-ID (und wo verlangt das Client-Geheimnis) in den "
               "Einstellungen pr\xFC"
               "fen.";
    return "Der Anmeldedienst von " + provider.displayName +
           " hat die Anfrage abgelehnt: " + words + ".";
}

TokenReply readTokenReply(const Provider& provider, const HttpReply& reply) {
    const auto object = jsonObject(reply.body);
    if (!object)
        return {std::nullopt, "", unreadable(provider, reply)};
    const std::string code = text(*object, "error");
    if (!code.empty())
        return {std::nullopt, code, refusal(provider, code, *object)};
    TokenGrant grant{text(*object, "access_token"), text(*object, "refresh_token"),
                     number(*object, "expires_in", 0)};
    if (reply.status != 200 || grant.accessToken.empty())
        return {std::nullopt, "", unreadable(provider, reply)};
    return {std::move(grant), "", ""};
}

// A token request with the application's credentials; a reply that never came is a message too.
TokenReply postToken(const Provider& provider, std::chrono::milliseconds timeout,
                     FormFields fields) {
    fields.emplace_back("client_id", provider.clientId);
    if (!provider.clientSecret.empty())
        fields.emplace_back("client_secret", provider.clientSecret);
    std::string error;
    const auto reply = postForm(provider.tokenUrl, fields, timeout, &error);
    if (!reply)
        return {std::nullopt, "", error};
    return readTokenReply(provider, *reply);
}

GrantResult result(TokenReply reply) {
    return {std::move(reply.grant), reply.message, reply.errorCode == "invalid_grant"};
}

} // namespace

std::string pkceVerifier() {
    return base64Url(platform::randomBytes(32)); // 43 characters, as RFC 7636 asks at least
}

std::string pkceChallenge(const std::string& verifier) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr);
    return base64Url(std::string(reinterpret_cast<const char*>(digest), length));
}

Grants::Grants(Provider provider, std::chrono::milliseconds requestTimeout)
    : provider_(std::move(provider)), timeout_(requestTimeout) {}

std::optional<DeviceCode> Grants::startDevice(std::string* error) const {
    if (provider_.deviceUrl.empty()) {
        *error = provider_.displayName +
                 " bietet keine Anmeldung mit Code an; bitte im Browser anmelden (ohne --device, "
                 "auf einem Rechner mit Browser).";
        return std::nullopt;
    }
    const auto reply =
        postForm(provider_.deviceUrl,
                 {{"client_id", provider_.clientId}, {"scope", provider_.scope}}, timeout_, error);
    if (!reply)
        return std::nullopt;
    const auto object = jsonObject(reply->body);
    if (object && !text(*object, "error").empty()) {
        *error = refusal(provider_, text(*object, "error"), *object);
        return std::nullopt;
    }
    DeviceCode code;
    if (object) {
        code.deviceCode = text(*object, "device_code");
        code.userCode = text(*object, "user_code");
        code.verificationUri = text(*object, "verification_uri");
        if (code.verificationUri.empty()) // the name of an earlier draft, still in use
            code.verificationUri = text(*object, "verification_url");
        code.expiresIn = number(*object, "expires_in", 0);
        code.interval = std::max(1L, number(*object, "interval", 5));
    }
    if (reply->status != 200 || code.deviceCode.empty() || code.userCode.empty() ||
        code.verificationUri.empty()) {
        *error = unreadable(provider_, *reply);
        return std::nullopt;
    }
    return code;
}

GrantResult Grants::pollDevice(const DeviceCode& code, const Waiter& wait,
                               std::chrono::seconds limit) const {
    const bool codeLimits = code.expiresIn > 0 && std::chrono::seconds(code.expiresIn) < limit;
    if (codeLimits)
        limit = std::chrono::seconds(code.expiresIn);
    std::chrono::seconds interval(code.interval);
    std::chrono::seconds waited(0);
    for (;;) {
        if (waited >= limit) {
            const std::string error =
                codeLimits ? refusal(provider_, "expired_token", json::object())
                           : "Die Anmeldung wurde nicht innerhalb von " + durationText(limit) +
                                 " abgeschlossen. Bitte noch einmal anmelden.";
            return {std::nullopt, error, false};
        }
        if (!wait(interval))
            return {std::nullopt, "Die Anmeldung wurde abgebrochen.", false};
        waited += interval;
        TokenReply token =
            postToken(provider_, timeout_,
                      {{"grant_type", "urn:ietf:params:oauth:grant-type:device_code"},
                       {"device_code", code.deviceCode}});
        if (token.errorCode == "slow_down")
            interval += std::chrono::seconds(5);
        else if (token.errorCode != "authorization_pending")
            return result(std::move(token));
    }
}

GrantResult Grants::codeGrant(const Redirect& redirect,
                              const std::function<void(const std::string&)>& openAddress) const {
    if (provider_.authUrl.empty())
        return {std::nullopt,
                provider_.displayName +
                    " bietet keine Anmeldung im Browser an; bitte mit Code anmelden (--device).",
                false};
    std::string error;
    if (!urlAllowed(provider_.authUrl, &error))
        return {std::nullopt, error, false};
    const std::string verifier = pkceVerifier();
    const std::string state = base64Url(platform::randomBytes(16));
    FormFields query{{"response_type", "code"},
                     {"client_id", provider_.clientId},
                     {"redirect_uri", redirect.redirectUri},
                     {"scope", provider_.scope},
                     {"state", state},
                     {"code_challenge", pkceChallenge(verifier)},
                     {"code_challenge_method", "S256"}};
    query.insert(query.end(), provider_.authExtras.begin(), provider_.authExtras.end());
    const char separator = provider_.authUrl.find('?') == std::string::npos ? '?' : '&';
    openAddress(provider_.authUrl + separator + formEncode(query));

    const auto fields = redirect.awaitRedirect(&error);
    if (!fields)
        return {std::nullopt, error, false};
    auto field = [&](const char* name) {
        for (const auto& [key, value] : *fields)
            if (key == name)
                return value;
        return std::string();
    };
    if (field("state") != state)
        return {std::nullopt,
                "Die R\xFC"
                "ckmeldung des Browsers geh\xF6rt nicht zu dieser Anmeldung (anderer \"state\"); "
                "sie wurde verworfen. Bitte noch einmal anmelden.",
                false};
    if (!field("error").empty())
        return {std::nullopt,
                refusal(provider_, field("error"),
                        json{{"error", field("error")},
                             {"error_description", field("error_description")}}),
                false};
    if (field("code").empty())
        return {std::nullopt,
                "Die R\xFC"
                "ckmeldung des Browsers enth\xE4lt keinen Anmeldecode. Bitte noch einmal "
                "anmelden.",
                false};
    return result(postToken(provider_, timeout_,
                            {{"grant_type", "authorization_code"},
                             {"code", field("code")},
                             {"redirect_uri", redirect.redirectUri},
                             {"code_verifier", verifier}}));
}

GrantResult Grants::refresh(const std::string& refreshToken) const {
    return result(postToken(provider_, timeout_,
                            {{"grant_type", "refresh_token"},
                             {"refresh_token", refreshToken},
                             {"scope", provider_.scope}}));
}

} // namespace tafelbot::oauth
