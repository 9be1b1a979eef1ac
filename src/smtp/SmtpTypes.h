#pragma once

// The SMTP client's enumerations. Their ordinals matter: the settings file stores the
// authentication method and the priority as indexes in this order, and callers compare
// request kinds by number.

#include <stdexcept>
#include <string>

namespace tafelbot {

enum TSmtpState {
    smtpReady,
    smtpDnsLookup,
    smtpConnecting,
    smtpConnected,
    smtpInternalReady,
    smtpWaitingBanner,
    smtpWaitingResponse,
    smtpAbort,
};

enum TSmtpAuthType {
    smtpAuthNone,
    smtpAuthPlain,
    smtpAuthLogin,
    smtpAuthCramMD5,
    smtpAuthCramSha1,
    smtpAuthAutoSelect,
};

enum TSmtpPriority {
    smtpPriorityNone,
    smtpPriorityHighest,
    smtpPriorityHigh,
    smtpPriorityNormal,
    smtpPriorityLow,
    smtpPriorityLowest,
};

enum TSmtpContentType {
    smtpHtml,
    smtpPlainText,
};

// How the connection is protected; the settings store it as an index in this order.
enum TSmtpSecurity {
    // TLS from the first byte on port 465, STARTTLS whenever the server announces it, plain
    // text otherwise; a password goes in plain text only to a loopback address.
    smtpSecurityAuto,
    smtpSecurityNone,     // plain text, whatever the server offers
    smtpSecurityStartTls, // STARTTLS or no session
    smtpSecurityTls,      // TLS from the first byte, whatever the port
};

// Result codes of the sign-in with OAuth 2.0, beside the connection's (TlsSession.h: 900 to
// 905) and apart from SMTP reply codes and socket error numbers.
inline constexpr int oauthErrorNotOffered =
    906;                                      // the server offers neither XOAUTH2 nor OAUTHBEARER
inline constexpr int oauthErrorNoToken = 907; // OAuth is required, but no access token is set

// Share modes for opening attachment files; fileShareFlags gives the file-open flag of each.
enum TSmtpShareMode {
    smtpShareCompat,
    smtpShareExclusive,
    smtpShareDenyWrite,
    smtpShareDenyRead,
    smtpShareDenyNone,
};

inline int fileShareFlags(TSmtpShareMode mode) {
    return static_cast<int>(mode) * 0x10;
}

enum TSmtpRequest {
    smtpConnect = 0,
    smtpHelo = 1,
    smtpMailFrom = 2,
    smtpVrfy = 3,
    smtpRcptTo = 4,
    smtpData = 5,
    smtpQuit = 6,
    smtpRset = 7,
    smtpOpen = 8,
    smtpMail = 9,
    smtpEhlo = 10,
    smtpAuth = 11,
};

// Misuse of the SMTP client (a request in the wrong state, an empty recipient list, ...).
class SmtpException : public std::runtime_error {
public:
    explicit SmtpException(const std::string& message) : std::runtime_error(message) {}
};

} // namespace tafelbot
