#include "oauth/Provider.h"

namespace tafelbot::oauth {

namespace {

// TSmtpSecurity's indexes, without the SMTP library for two numbers.
constexpr int SecurityStartTls = 2;
constexpr int SecurityTls = 3;

Provider microsoft(const OAuthSettings& s) {
    const std::string tenant = s.tenant.empty() ? "organizations" : s.tenant;
    const std::string base = "https://login.microsoftonline.com/" + tenant + "/oauth2/v2.0/";
    return {"Microsoft 365",
            base + "devicecode",
            base + "authorize",
            base + "token",
            "https://outlook.office.com/SMTP.Send offline_access",
            s.clientId,
            s.clientSecret,
            {}};
}

Provider google(const OAuthSettings& s) {
    // Google allows the mail scope only through the browser, so there is no device grant.
    return {"Google",
            "",
            "https://accounts.google.com/o/oauth2/v2/auth",
            "https://oauth2.googleapis.com/token",
            "https://mail.google.com/",
            s.clientId,
            s.clientSecret,
            {{"access_type", "offline"}, {"prompt", "consent"}}};
}

Provider custom(const OAuthSettings& s) {
    return {"OAuth-Anbieter", s.deviceUrl, s.authUrl,      s.tokenUrl,
            s.scope,          s.clientId,  s.clientSecret, {}};
}

} // namespace

std::optional<Provider> providerFor(const OAuthSettings& settings, std::string* error) {
    error->clear();
    std::optional<Provider> provider;
    if (settings.provider == "microsoft")
        provider = microsoft(settings);
    else if (settings.provider == "google")
        provider = google(settings);
    else if (settings.provider == "custom")
        provider = custom(settings);
    std::string missing;
    if (!provider)
        *error = "Unbekannter OAuth-Anbieter \"" + settings.provider +
                 "\" (m\xF6glich sind microsoft, google und custom).";
    else if (provider->clientId.empty())
        missing = "OAuthClientId";
    else if (provider->tokenUrl.empty())
        missing = "OAuthTokenUrl";
    else if (provider->deviceUrl.empty() && provider->authUrl.empty())
        missing = "OAuthDeviceUrl oder OAuthAuthUrl";
    if (!missing.empty())
        *error = "Die Anmeldung bei " + provider->displayName +
                 " ist nicht vollst\xE4ndig "
                 "eingerichtet: In den Einstellungen fehlt " +
                 missing + ".";
    return error->empty() ? provider : std::nullopt;
}

std::optional<ServerPreset> serverPresetFor(const std::string& provider) {
    if (provider == "microsoft")
        return ServerPreset{"smtp.office365.com", "587", SecurityStartTls};
    if (provider == "google")
        return ServerPreset{"smtp.gmail.com", "465", SecurityTls};
    return std::nullopt;
}

} // namespace tafelbot::oauth
