#include "smtp/SmtpSecurity.h"

namespace tafelbot {

bool GreetsWithHelo(TSmtpAuthType authType, TSmtpSecurity security) {
    return authType == smtpAuthNone &&
           (security == smtpSecurityNone || security == smtpSecurityTls);
}

// Texts are Windows-1252 bytes, like every text of the core.
std::string TlsLogLine(const TlsInfo& info) {
    return "TLS: " + info.protocol + ", " + info.cipher +
           (info.verified ? ", Zertifikat gepr\xFC"
                            "ft"
                          : ", Zertifikat NICHT gepr\xFC"
                            "ft");
}

std::string TlsWarning(const TlsInfo& info) {
    if (info.verified)
        return {};
    return "WARNUNG: " + info.problemText +
           "! Es wird trotzdem angenommen, weil in den Server-Einstellungen \"Zertifikat des "
           "Servers auch ungepr\xFC"
           "ft annehmen\" gew\xE4hlt ist.";
}

std::string TlsFailureReason(int errorCode, const std::string& errorMessage) {
    if (!IsTlsError(errorCode) && errorCode != oauthErrorNotOffered &&
        errorCode != oauthErrorNoToken)
        return {};
    const std::string code = std::to_string(errorCode) + " ";
    return errorMessage.rfind(code, 0) == 0 ? errorMessage.substr(code.size()) : errorMessage;
}

} // namespace tafelbot
