#include "oauth/SignIn.h"

#include "oauth/Grants.h"
#include "oauth/RedirectListener.h"
#include "platform/Platform.h"
#include "platform/SecretStore.h"
#include "settings/Cp1252.h"

#include <nlohmann/json.hpp>
#include <thread>

namespace tafelbot::oauth {

namespace {

// An access token this close to its end is taken as dead: it must last through the session.
constexpr std::int64_t SafetyMargin = 60;

std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

std::string label(const Provider& provider, const std::string& account) {
    return "Tafelbot: Anmeldung von " + cp1252ToUtf8(account) + " bei " + provider.displayName;
}

std::string noAccount() {
    return "F\xFCr die Anmeldung fehlt der Name des eMail-Kontos (Servereinstellungen: \"Name "
           "des eMail-Kontos\").";
}

bool store(const Provider& provider, const StoredSignIn& signIn, std::string* error) {
    std::string why;
    if (platform::storeSecret(signInKey(provider, signIn.account), label(provider, signIn.account),
                              toJson(signIn), &why))
        return true;
    *error = "Die Anmeldung konnte nicht gespeichert werden: " + why;
    return false;
}

std::optional<StoredSignIn> load(const Provider& provider, const std::string& account,
                                 std::string* error) {
    const auto text = platform::loadSecret(signInKey(provider, account), error);
    if (!text) {
        if (!error->empty())
            *error = "Die gespeicherte Anmeldung kann nicht gelesen werden: " + *error;
        return std::nullopt;
    }
    auto signIn = fromJson(*text);
    if (!signIn || signIn->refreshToken.empty())
        *error = "Die gespeicherte Anmeldung bei " + provider.displayName +
                 " ist besch\xE4"
                 "digt. Bitte neu anmelden.";
    return signIn && !signIn->refreshToken.empty() ? signIn : std::nullopt;
}

void take(StoredSignIn& signIn, const TokenGrant& grant) {
    signIn.accessToken = grant.accessToken;
    // Without a stated lifetime the token is used for this one session only.
    const std::int64_t now = unixNow();
    signIn.expiresAt = grant.expiresIn > 0 && now > 0 ? now + grant.expiresIn : 0;
    if (!grant.refreshToken.empty())
        signIn.refreshToken = grant.refreshToken;
}

bool sleepUnlessCancelled(std::chrono::milliseconds time, const std::atomic<bool>* cancel) {
    const auto slice = std::chrono::milliseconds(100);
    for (auto left = time; left.count() > 0; left -= slice) {
        if (cancel && cancel->load())
            return false;
        std::this_thread::sleep_for(std::min(left, slice));
    }
    return !(cancel && cancel->load());
}

GrantResult browserGrant(const Grants& grants, const SignInOptions& options,
                         const SignInEvents& events) {
    RedirectListener listener;
    std::string error;
    if (!listener.open(&error))
        return {std::nullopt, error, false};
    Grants::Redirect redirect{listener.redirectUri(), [&](std::string* why) {
                                  return listener.await(options.limit, options.cancel, why);
                              }};
    return grants.codeGrant(redirect, events.showAddress);
}

GrantResult deviceGrant(const Grants& grants, const SignInOptions& options,
                        const SignInEvents& events) {
    std::string error;
    const auto code = grants.startDevice(&error);
    if (!code)
        return {std::nullopt, error, false};
    events.showCode(code->verificationUri, code->userCode);
    return grants.pollDevice(
        *code,
        [&](std::chrono::milliseconds time) { return sleepUnlessCancelled(time, options.cancel); },
        options.limit);
}

} // namespace

std::int64_t unixNow() {
    const auto t = platform::clock().utcNow();
    if (!t)
        return 0;
    return daysFromCivil(t->year, t->month, t->day) * 86400 + std::int64_t{t->hour} * 3600 +
           std::int64_t{t->minute} * 60 + t->second;
}

std::string signInKey(const Provider& provider, const std::string& account) {
    return provider.tokenUrl + " " + provider.clientId + " " + cp1252ToUtf8(account);
}

std::string toJson(const StoredSignIn& signIn) {
    return nlohmann::json{{"account", cp1252ToUtf8(signIn.account)},
                          {"refresh_token", signIn.refreshToken},
                          {"access_token", signIn.accessToken},
                          {"expires_at", signIn.expiresAt}}
        .dump(2);
}

std::optional<StoredSignIn> fromJson(const std::string& text) {
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;
    StoredSignIn signIn;
    const auto field = [&](const char* name) {
        const auto it = json.find(name);
        return it != json.end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    signIn.account = utf8ToCp1252(field("account"));
    signIn.refreshToken = field("refresh_token");
    signIn.accessToken = field("access_token");
    const auto expires = json.find("expires_at");
    if (expires != json.end() && expires->is_number_integer())
        signIn.expiresAt = expires->get<std::int64_t>();
    return signIn;
}

std::string signIn(const OAuthSettings& settings, const std::string& account,
                   const SignInOptions& options, const SignInEvents& events) {
    std::string error;
    const auto provider = providerFor(settings, &error);
    if (!provider)
        return error;
    if (account.empty())
        return noAccount();
    const Grants grants(*provider, options.requestTimeout);
    // Without a browser on this screen only the device grant can work.
    const bool device = options.device || provider->authUrl.empty() ||
                        (!platform::graphicalSession() && !provider->deviceUrl.empty());
    const GrantResult result =
        device ? deviceGrant(grants, options, events) : browserGrant(grants, options, events);
    if (!result.grant)
        return result.error;
    if (result.grant->refreshToken.empty())
        return provider->displayName +
               " hat keine dauerhafte Anmeldung (Refresh-Token) ausgestellt; ohne sie m\xFCsste "
               "vor jedem Versand neu angemeldet werden. Bitte den Bereich (OAuthScope) und die "
               "Einrichtung der Anwendung pr\xFC"
               "fen.";
    StoredSignIn stored;
    stored.account = account;
    take(stored, *result.grant);
    return store(*provider, stored, &error) ? std::string() : error;
}

bool signedIn(const OAuthSettings& settings, const std::string& account) {
    std::string error;
    const auto provider = providerFor(settings, &error);
    return provider && !account.empty() && load(*provider, account, &error).has_value();
}

AccessToken accessTokenForSending(const OAuthSettings& settings, const std::string& account,
                                  std::chrono::milliseconds requestTimeout) {
    AccessToken result;
    const auto provider = providerFor(settings, &result.error);
    if (!provider)
        return result;
    if (account.empty()) {
        result.error = noAccount();
        return result;
    }
    auto stored = load(*provider, account, &result.error);
    if (!stored) {
        if (result.error.empty())
            result.error = "F\xFCr das eMail-Konto \"" + account +
                           "\" ist noch keine Anmeldung bei " + provider->displayName +
                           " gespeichert. Bitte zuerst anmelden: in den Servereinstellungen mit "
                           "\"Anmelden ...\" oder mit \"tafelbot-cli oauth-login\".";
        return result;
    }
    const std::int64_t now = unixNow();
    if (!stored->accessToken.empty() && now > 0 && now + SafetyMargin < stored->expiresAt) {
        result.token = stored->accessToken;
        return result;
    }
    const GrantResult grant = Grants(*provider, requestTimeout).refresh(stored->refreshToken);
    if (!grant.grant) {
        result.error = grant.error;
        return result;
    }
    take(*stored, *grant.grant);
    result.token = stored->accessToken;
    // The provider may have ended the old refresh token already: this is the only copy.
    std::string error;
    if (!store(*provider, *stored, &error))
        result.warning = error + " Beim n\xE4"
                                 "chsten Versand ist eine neue Anmeldung n\xF6tig.";
    return result;
}

} // namespace tafelbot::oauth
