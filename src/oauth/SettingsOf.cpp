#include "oauth/Provider.h"
#include "settings/Einstellungen.h"

namespace tafelbot::oauth {

OAuthSettings settingsOf(const TEinstellungen& server) {
    return {server.OAuth,         server.OAuthClientId,  server.OAuthClientSecret,
            server.OAuthTenant,   server.OAuthDeviceUrl, server.OAuthAuthUrl,
            server.OAuthTokenUrl, server.OAuthScope};
}

} // namespace tafelbot::oauth
