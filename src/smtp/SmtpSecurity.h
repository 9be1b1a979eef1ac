#pragma once

// What the send driver says about the connection security and how it greets: the info-log
// lines of a finished handshake and the reason an error box adds to a security failure.

#include "smtp/SmtpTypes.h"
#include "smtp/TlsSession.h"

#include <string>

namespace tafelbot {

// HELO only without AUTH where no STARTTLS can follow: with the setting "none", or over TLS
// from the first byte. The automatic mode greets with EHLO to see whether STARTTLS is offered.
bool GreetsWithHelo(TSmtpAuthType authType, TSmtpSecurity security);

// "TLS: " + protocol + ", " + cipher, and whether the certificate was verified.
std::string TlsLogLine(const TlsInfo& info);
// The warning for a certificate taken without verification; empty for a verified one.
std::string TlsWarning(const TlsInfo& info);
// The reason a security failure's error box names (the client's message without its code): a
// failed encryption, or an OAuth sign-in the server does not offer or that has no token; empty
// for any other code.
std::string TlsFailureReason(int errorCode, const std::string& errorMessage);

} // namespace tafelbot
