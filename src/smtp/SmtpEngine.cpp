#include "smtp/SmtpEngine.h"

#include "smtp/MimeUtil.h"
#include "smtp/SmtpAuth.h"
#include "smtp/SmtpSecurity.h"
#include "smtp/SmtpText.h"
#include "smtp/TlsSession.h"
#include "smtp/WSocketErrors.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <utility>

namespace tafelbot {

namespace {

// Received data not yet ended by CR LF must fit in here.
constexpr std::size_t receiveBufferSize = 4096;
// The port of implicit TLS (RFC 8314).
constexpr std::uint16_t implicitTlsPort = 465;
// Body bytes one pump step gathers into one write: 44 of the send buffer's 1460-byte chunks,
// just under 64 KiB. A mail of the school's size goes in one step, its final "." with it.
constexpr std::size_t pumpBudget = std::size_t{44} * 1460;

const char* const hiddenSecret = "********";

// Texts that reach the user are Windows-1252 bytes, like every text of the core.
const char* const textKeinStartTls =
    "Der Server bietet kein STARTTLS an; die Einstellung \"STARTTLS erforderlich\" verlangt es.";
const char* const textHeloOhneStartTls =
    "Mit HELO ist kein STARTTLS m\xF6glich; die Einstellung \"STARTTLS erforderlich\" verlangt "
    "es.";
const char* const textKennwortUnverschluesselt =
    "Der Server bietet keine Verschl\xFCsselung an; das Kennwort wird nicht unverschl\xFCsselt "
    "gesendet. Ist das f\xFCr diesen Server gewollt, w\xE4hlen Sie in den Server-Einstellungen "
    "bei \"Verbindungssicherheit:\" den Eintrag \"Keine\".";
const char* const textStartTlsAbgelehnt = "Der Server lehnt STARTTLS ab: ";
const char* const textOAuthNichtAngeboten =
    "Der Server bietet keine Anmeldung mit OAuth 2.0 an (weder OAUTHBEARER noch XOAUTH2). "
    "Pr\xFC"
    "fen Sie in den Server-Einstellungen den Server und die Anmeldeart.";
const char* const textOAuthOhneToken =
    "F\xFCr die Anmeldung mit OAuth 2.0 liegt kein Zugriffstoken vor. Bitte melden Sie sich "
    "erneut an.";
const char* const textKlartextNachStartTls =
    "Der Server hat nach seiner Antwort auf STARTTLS unverschl\xFCsselt weitergesendet.";

unsigned stepBit(TSmtpRequest request) {
    return 1u << static_cast<unsigned>(request);
}

std::string trimmed(const std::string& text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    auto begin = std::find_if_not(text.begin(), text.end(), isBlank);
    auto end = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
    return begin < end ? std::string(begin, end) : std::string();
}

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string winsockReplyLine(int error) {
    return "500 " + WSocketErrorDesc(error) + " (Winsock error #" + std::to_string(error) + ")";
}

} // namespace

bool PlainPasswordAllowed(TSmtpSecurity security, bool tlsActive, platform::Ipv4 peer) {
    return tlsActive || security == smtpSecurityNone || (peer >> 24) == 127;
}

SmtpEngine::SmtpEngine(SmtpEngineHost& host) : host_(host) {}

std::vector<SmtpAction> SmtpEngine::takeActions() {
    return std::exchange(actions_, {});
}

void SmtpEngine::act(SmtpAction::Kind kind, std::string text, int code, int request) {
    actions_.push_back({kind, std::move(text), code, request});
}

const char* SmtpEngine::phaseName(Phase phase) {
    switch (phase) {
    case Phase::Idle:
        return "Idle";
    case Phase::Lookup:
        return "Lookup";
    case Phase::Connecting:
        return "Connecting";
    case Phase::TlsBeforeBanner:
        return "TlsBeforeBanner";
    case Phase::Banner:
        return "Banner";
    case Phase::Helo:
        return "Helo";
    case Phase::Ehlo:
        return "Ehlo";
    case Phase::StartTls:
        return "StartTls";
    case Phase::TlsAfterStartTls:
        return "TlsAfterStartTls";
    case Phase::AuthPlain:
        return "AuthPlain";
    case Phase::AuthLogin:
        return "AuthLogin";
    case Phase::AuthLoginUser:
        return "AuthLoginUser";
    case Phase::AuthLoginPassword:
        return "AuthLoginPassword";
    case Phase::AuthCram:
        return "AuthCram";
    case Phase::AuthCramAnswer:
        return "AuthCramAnswer";
    case Phase::AuthXOAuth2:
        return "AuthXOAuth2";
    case Phase::AuthOAuthBearer:
        return "AuthOAuthBearer";
    case Phase::AuthOAuthError:
        return "AuthOAuthError";
    case Phase::Vrfy:
        return "Vrfy";
    case Phase::MailFrom:
        return "MailFrom";
    case Phase::RcptTo:
        return "RcptTo";
    case Phase::Data:
        return "Data";
    case Phase::Body:
        return "Body";
    case Phase::EndOfData:
        return "EndOfData";
    case Phase::Quit:
        return "Quit";
    case Phase::Rset:
        return "Rset";
    }
    return "?";
}

void SmtpEngine::setPhase(Phase phase) {
    if (phase == phase_)
        return;
    act(SmtpAction::Trace, std::string(phaseName(phase_)) + " -> " + phaseName(phase));
    phase_ = phase;
}

void SmtpEngine::setState(TSmtpState state) {
    if (state == state_)
        return;
    act(SmtpAction::StateChanged, {}, state_, state);
    state_ = state;
}

// ---- request plumbing ----

void SmtpEngine::checkReady() const {
    if (state_ != smtpReady && state_ != smtpInternalReady)
        throw SmtpException("SMTP component not ready");
}

void SmtpEngine::checkConnected() const {
    if (!connected_)
        throw SmtpException("SMTP component not connected");
}

void SmtpEngine::beginRequest(TSmtpRequest request) {
    if (!combined_)
        request_ = request;
    command_ = request;
    requestDone_ = false;
}

void SmtpEngine::command(TSmtpRequest request, Phase phase, const std::string& text,
                         std::vector<int> okCodes, const std::string& shown, std::string before) {
    beginRequest(request);
    okCodes_ = std::move(okCodes);
    setPhase(phase);
    setState(smtpWaitingResponse);
    act(SmtpAction::Command, text);
    display("> " + (shown.empty() ? text : shown));
    act(SmtpAction::Send, std::move(before) + text + "\r\n");
}

void SmtpEngine::nextCommand(TSmtpRequest request, Phase phase, const std::string& text,
                             std::vector<int> okCodes, const std::string& shown,
                             std::string before) {
    setState(smtpInternalReady);
    command(request, phase, text, std::move(okCodes), shown, std::move(before));
}

void SmtpEngine::recordError(const std::string& line) {
    if (errorMessage_.empty())
        errorMessage_ = line;
}

void SmtpEngine::failWith(int code, const std::string& line) {
    lastResponse_ = line;
    statusCode_ = 500;
    requestResult_ = code;
    recordError(line);
    complete(code);
}

void SmtpEngine::complete(int code) {
    if (requestDone_)
        return;
    requestDone_ = true;
    setPhase(Phase::Idle);
    if (combined_) {
        if (state_ != smtpAbort)
            setState(smtpInternalReady);
        combinedStepDone(code);
        return;
    }
    setState(smtpReady);
    act(SmtpAction::RequestDone, {}, code, request_);
}

void SmtpEngine::dropConnection(SmtpAction::Kind how) {
    act(how);
    closed(0);
}

// ---- requests ----

void SmtpEngine::connect() {
    checkReady();
    if (connected_)
        throw SmtpException("SMTP component already connected");
    beginRequest(smtpConnect);
    lines_.clear();
    requestResult_ = 0;
    statusCode_ = 0;
    esmtp_ = false;
    authTypes_.clear();
    lastResponse_.clear();
    errorMessage_.clear();
    implicitTls_ = false;
    tlsActive_ = false;
    startTlsOffered_ = false;
    peer_ = 0;
    setState(smtpDnsLookup);
    setPhase(Phase::Lookup);
    act(SmtpAction::Lookup, settings.host);
}

void SmtpEngine::connectRaised() {
    requestDone_ = true;
    combined_ = false;
    steps_ = 0;
    transportOpen_ = false;
    act(SmtpAction::AbortConnection);
    setPhase(Phase::Idle);
    setState(smtpReady);
}

void SmtpEngine::helo() {
    checkReady();
    checkConnected();
    std::string name = host_.helloName();
    if (settings.security == smtpSecurityStartTls && !tlsActive_) {
        beginRequest(smtpHelo);
        failWith(tlsErrorNotOffered,
                 std::to_string(tlsErrorNotOffered) + " " + textHeloOhneStartTls);
        return;
    }
    command(smtpHelo, Phase::Helo, "HELO " + name, {250});
}

void SmtpEngine::ehlo() {
    checkReady();
    checkConnected();
    helloName_ = host_.helloName();
    authTypes_.clear();
    startTlsOffered_ = false;
    errorBeforeAttempt_ = errorMessage_;
    command(smtpEhlo, Phase::Ehlo, "EHLO " + helloName_, {250});
}

void SmtpEngine::vrfy() {
    checkReady();
    checkConnected();
    CheckNoLineBreak(settings.vrfyName, "HdrTo");
    command(smtpVrfy, Phase::Vrfy, "VRFY " + settings.vrfyName, {250});
}

void SmtpEngine::mailFrom() {
    checkReady();
    checkConnected();
    CheckNoLineBreak(settings.fromName, "FromName");
    command(smtpMailFrom, Phase::MailFrom,
            "MAIL FROM:<" + ParseAddress(settings.fromName).address + ">", {250});
}

void SmtpEngine::checkRecipients() const {
    if (settings.rcptName.empty())
        throw SmtpException("RcptName list is empty");
    for (const auto& entry : settings.rcptName)
        CheckNoLineBreak(entry, "RcptName");
}

void SmtpEngine::rcptTo() {
    checkReady();
    checkConnected();
    checkRecipients();
    recipients_.clear();
    for (const auto& entry : settings.rcptName)
        recipients_.push_back(ParseAddress(entry).address);
    rcptIndex_ = 0;
    command(smtpRcptTo, Phase::RcptTo, "RCPT TO:<" + recipients_[0] + ">", {250, 251});
}

void SmtpEngine::data() {
    checkReady();
    checkConnected();
    host_.startMessage();
    command(smtpData, Phase::Data, "DATA", {354});
}

void SmtpEngine::quit() {
    checkReady();
    if (!connected_) {
        beginRequest(smtpQuit);
        complete(0);
        return;
    }
    command(smtpQuit, Phase::Quit, "QUIT", {221});
}

void SmtpEngine::rset() {
    checkReady();
    checkConnected();
    command(smtpRset, Phase::Rset, "RSET", {250});
}

void SmtpEngine::abort() {
    setState(smtpAbort);
    pumping_ = false;
    act(SmtpAction::CancelLookup);
    dropConnection(SmtpAction::AbortConnection);
    // Without a connection no close reports the end: the request still completes once.
    if (!requestDone_)
        complete(command_ == smtpQuit ? 0 : 10004);
    setPhase(Phase::Idle);
    setState(smtpReady);
}

// ---- what the connection reports ----

void SmtpEngine::lookupDone(int error, const std::string& address) {
    if (state_ != smtpDnsLookup)
        return;
    if (error != 0) {
        lastResponse_ = winsockReplyLine(error);
        statusCode_ = 500;
        recordError(lastResponse_);
        requestResult_ = error;
        // Completed before the handlers run: a handler that aborts the client must not turn
        // the lookup's error into a lost connection (10004).
        complete(error);
        act(SmtpAction::SessionConnected, {}, error);
        act(SmtpAction::SessionClosed, {}, error);
        return;
    }
    setState(smtpConnecting);
    setPhase(Phase::Connecting);
    act(SmtpAction::OpenConnection, address);
}

void SmtpEngine::connectionStarted(platform::Ipv4 peer, std::uint16_t port) {
    transportOpen_ = true;
    peer_ = peer;
    port_ = port;
    implicitTls_ = settings.security == smtpSecurityTls ||
                   (settings.security == smtpSecurityAuto && port == implicitTlsPort);
}

void SmtpEngine::openFailed(const std::string& reason) {
    transportOpen_ = false;
    act(SmtpAction::AbortConnection);
    failWith(500, "500 " + reason);
}

void SmtpEngine::connected(int error) {
    if (state_ != smtpConnecting || phase_ != Phase::Connecting)
        return;
    if (error != 0) {
        lastResponse_ = winsockReplyLine(error);
        statusCode_ = 500;
        requestResult_ = 500;
        connected_ = false;
        recordError(lastResponse_);
        complete(error);
        dropConnection(SmtpAction::CloseConnection);
        if (state_ == smtpConnecting)
            setState(smtpReady);
        return;
    }
    connected_ = true;
    if (implicitTls_) {
        setPhase(Phase::TlsBeforeBanner); // the banner comes encrypted
        act(SmtpAction::StartTls);
        return;
    }
    setState(smtpWaitingBanner);
    setPhase(Phase::Banner);
}

void SmtpEngine::tlsReady(int error, const std::string& reason) {
    if (phase_ != Phase::TlsBeforeBanner && phase_ != Phase::TlsAfterStartTls)
        return;
    if (error != 0) {
        tlsFailed(error, reason);
        return;
    }
    tlsActive_ = true;
    act(SmtpAction::TlsStarted);
    if (phase_ == Phase::TlsBeforeBanner) {
        setState(smtpWaitingBanner);
        setPhase(Phase::Banner);
        return;
    }
    // What the server announced in plain text no longer counts: greet the encrypted session.
    esmtp_ = false;
    authTypes_.clear();
    startTlsOffered_ = false;
    nextCommand(smtpEhlo, Phase::Ehlo, "EHLO " + helloName_, {250});
}

void SmtpEngine::received(std::string_view bytes) {
    if (!transportOpen_)
        return;
    lines_.append(bytes);
    std::string line;
    while (transportOpen_ && lines_.next(line)) {
        if (line.size() > receiveBufferSize - 2)
            return replyLineTooLong();
        lastResponse_ = line;
        act(SmtpAction::Response, line);
        lineReceived(line);
    }
    if (lines_.size() >= receiveBufferSize)
        replyLineTooLong();
}

// A server line that does not fit the receive buffer is a protocol error: the request ends
// with 500 and the connection is dropped.
void SmtpEngine::replyLineTooLong() {
    lines_.clear();
    pumping_ = false;
    std::string line = "500 Server reply line longer than " +
                       std::to_string(receiveBufferSize - 2) + " characters.";
    if (requestDone_) {
        lastResponse_ = line;
        recordError(line);
    } else {
        failWith(500, line);
    }
    dropConnection(SmtpAction::AbortConnection);
}

void SmtpEngine::sendRoomAvailable() {
    if (pumping_ && state_ == smtpInternalReady)
        pumpStep();
}

void SmtpEngine::closed(int error) {
    if (!transportOpen_)
        return;
    transportOpen_ = false;
    connected_ = false;
    tlsActive_ = false;
    pumping_ = false;
    lines_.clear();
    act(SmtpAction::SessionClosed, {}, error);
    complete(command_ == smtpQuit ? 0 : 10004);
}

// The connection is dropped after this; the request ends as a client error.
void SmtpEngine::handlerFailed(const std::string& reason) {
    pumping_ = false;
    if (!requestDone_)
        failWith(500, "500 " + reason);
}

// ---- replies ----

void SmtpEngine::lineReceived(const std::string& line) {
    switch (state_) {
    case smtpWaitingBanner:
        bannerLine(line);
        break;
    case smtpWaitingResponse:
        judge(line);
        break;
    default:
        display("< " + line);
        break;
    }
}

void SmtpEngine::bannerLine(const std::string& line) {
    display("< " + line);
    ReplyCode reply = ParseReplyCode(line);
    statusCode_ = reply.code;
    if (reply.continuation)
        return;
    if (reply.code == 220) {
        setState(smtpConnected);
        act(SmtpAction::SessionConnected, {}, 0);
        complete(0);
        return;
    }
    // The completion comes from the close: 10004.
    requestResult_ = reply.code;
    recordError(line);
    dropConnection(SmtpAction::CloseConnection);
}

void SmtpEngine::judge(const std::string& line) {
    display("< " + line);
    if (phase_ == Phase::Ehlo)
        noteCapabilities(line);
    ReplyCode reply = ParseReplyCode(line);
    statusCode_ = reply.code;
    if (reply.continuation)
        return;
    bool accepted = okCodes_.empty()
                        ? reply.code < 500
                        : std::find(okCodes_.begin(), okCodes_.end(), reply.code) != okCodes_.end();
    requestResult_ = accepted ? 0 : reply.code;
    if (!accepted)
        recordError(line);
    replyJudged();
}

// One handler per phase that waits for a reply.
void SmtpEngine::replyJudged() {
    switch (phase_) {
    case Phase::Ehlo:
        return ehloDone();
    case Phase::StartTls:
        return startTlsReplied();
    case Phase::AuthPlain:
        return authPlainDone();
    case Phase::AuthLogin:
        return authLoginStarted();
    case Phase::AuthLoginUser:
        return authLoginUserDone();
    case Phase::AuthCram:
        return authCramStarted();
    case Phase::AuthXOAuth2:
        return oauthReplied("");
    case Phase::AuthOAuthBearer:
        return oauthReplied(base64Encode("\x01"));
    case Phase::RcptTo:
        return rcptToNext();
    case Phase::Data:
        return dataAccepted();
    case Phase::Quit:
        return quitReplied();
    default:
        return complete(requestResult_);
    }
}

void SmtpEngine::noteCapabilities(const std::string& line) {
    std::string text = upperCase(trimmed(line));
    text = text.size() > 4 ? text.substr(4) : std::string();
    if (trimmed(text) == "STARTTLS" && line.rfind("250", 0) == 0)
        startTlsOffered_ = true;
    if (text.rfind("AUTH ", 0) != 0 && text.rfind("AUTH=", 0) != 0)
        return;
    text = text.substr(4);
    std::replace(text.begin(), text.end(), '=', ' ');
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of(" \t", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string word = trimmed(text.substr(pos, end - pos));
        if (!word.empty() &&
            std::find(authTypes_.begin(), authTypes_.end(), word) == authTypes_.end())
            authTypes_.push_back(word);
        pos = end + 1;
    }
}

// ---- EHLO and STARTTLS ----

void SmtpEngine::ehloDone() {
    if (requestResult_ != 0) {
        // RFC 5321 4.1.4: a server that does not know EHLO is greeted with HELO, where nothing
        // needs the extensions (no AUTH; encryption only when offered). One completion.
        if (statusCode_ >= 500 && !tlsActive_ && settings.security == smtpSecurityAuto &&
            settings.authType == smtpAuthNone) {
            errorMessage_ = errorBeforeAttempt_;
            nextCommand(smtpEhlo, Phase::Helo, "HELO " + helloName_, {250});
            return;
        }
        complete(requestResult_);
        return;
    }
    esmtp_ = true;
    if (!tlsActive_ && settings.security != smtpSecurityNone) {
        if (startTlsOffered_) {
            beginStartTls();
            return;
        }
        if (settings.security != smtpSecurityAuto) {
            tlsFailed(tlsErrorNotOffered, textKeinStartTls);
            return;
        }
    }
    complete(0);
}

void SmtpEngine::beginStartTls() {
    errorBeforeAttempt_ = errorMessage_;
    nextCommand(smtpEhlo, Phase::StartTls, "STARTTLS", {220});
}

void SmtpEngine::startTlsReplied() {
    if (requestResult_ != 0) {
        errorMessage_ = errorBeforeAttempt_;
        tlsFailed(tlsErrorRefused, textStartTlsAbgelehnt + lastResponse_);
        return;
    }
    // Anything after the 220 came in plain text and could have been put there by anyone on
    // the way; taken as replies of the encrypted session it would forge them (RFC 3207).
    if (!lines_.empty()) {
        lines_.clear();
        tlsFailed(tlsErrorProtocol, textKlartextNachStartTls);
        return;
    }
    setPhase(Phase::TlsAfterStartTls);
    act(SmtpAction::StartTls);
}

void SmtpEngine::tlsFailed(int code, const std::string& reason) {
    const std::string line = std::to_string(code) + " " + reason;
    lastResponse_ = line;
    statusCode_ = code;
    requestResult_ = code;
    recordError(line);
    complete(code);
    dropConnection(SmtpAction::AbortConnection);
}

// ---- AUTH ----

void SmtpEngine::auth() {
    checkReady();
    checkConnected();
    beginRequest(smtpAuth);
    autoSelect_ = false;
    if (!esmtp_) {
        failWith(500, "500 ESMTP not supported.");
        return;
    }
    const bool oauth = settings.oauthRequired || !settings.oauthToken.empty();
    if (settings.authType == smtpAuthNone && !oauth) {
        failWith(500, "500 No Authentication Type Selected.");
        return;
    }
    if (!PlainPasswordAllowed(settings.security, tlsActive_, peer_)) {
        failWith(tlsErrorNotOffered,
                 std::to_string(tlsErrorNotOffered) + " " + textKennwortUnverschluesselt);
        return;
    }
    if (oauth)
        return startOAuth();
    switch (settings.authType) {
    case smtpAuthNone:
        return;
    case smtpAuthPlain:
        return startAuthPlain();
    case smtpAuthLogin:
        return startAuthLogin();
    case smtpAuthCramMD5:
        return startAuthCram(false);
    case smtpAuthCramSha1:
        return startAuthCram(true);
    case smtpAuthAutoSelect:
        break;
    }
    autoSelect_ = true;
    // The strongest announced method wins; without an announcement CRAM-MD5 is tried.
    std::string chosen = "CRAM-MD5";
    for (const char* mechanism : {"PLAIN", "LOGIN", "CRAM-MD5", "CRAM-SHA1"})
        if (std::find(authTypes_.begin(), authTypes_.end(), mechanism) != authTypes_.end())
            chosen = mechanism;
    if (chosen == "PLAIN")
        startAuthPlain();
    else if (chosen == "LOGIN")
        startAuthLogin();
    else
        startAuthCram(chosen == "CRAM-SHA1");
}

void SmtpEngine::startAuthPlain() {
    errorBeforeAttempt_ = errorMessage_;
    command(smtpAuth, Phase::AuthPlain,
            "AUTH PLAIN " + AuthPlainResponse(settings.username, settings.password), {235},
            std::string("AUTH PLAIN ") + hiddenSecret);
}

void SmtpEngine::authPlainDone() {
    if (requestResult_ != 0 && autoSelect_ && statusCode_ != 504)
        errorMessage_ = "500 Authentication Type could not be determined.";
    complete(requestResult_);
}

void SmtpEngine::startAuthLogin() {
    errorBeforeAttempt_ = errorMessage_;
    command(smtpAuth, Phase::AuthLogin, "AUTH LOGIN", {334});
}

void SmtpEngine::authLoginStarted() {
    if (requestResult_ != 0) {
        if (!autoSelectRefused(&SmtpEngine::startAuthPlain))
            complete(requestResult_);
        return;
    }
    nextCommand(smtpAuth, Phase::AuthLoginUser, base64Encode(settings.username), {334});
}

void SmtpEngine::authLoginUserDone() {
    if (requestResult_ != 0) {
        complete(requestResult_);
        return;
    }
    nextCommand(smtpAuth, Phase::AuthLoginPassword, base64Encode(settings.password), {235},
                hiddenSecret);
}

void SmtpEngine::startAuthCram(bool sha1) {
    errorBeforeAttempt_ = errorMessage_;
    cramSha1_ = sha1;
    command(smtpAuth, Phase::AuthCram, sha1 ? "AUTH CRAM-SHA1" : "AUTH CRAM-MD5", {334});
}

void SmtpEngine::authCramStarted() {
    if (requestResult_ != 0) {
        if (cramSha1_ || !autoSelectRefused(&SmtpEngine::startAuthLogin))
            complete(requestResult_);
        return;
    }
    const std::string line = lastResponse_;
    if (line.size() < 5) {
        failWith(500, std::string(cramSha1_ ? "500 Malformed SHA1 Challege: "
                                            : "500 Malformed MD5 Challege: ") +
                          line);
        return;
    }
    std::string challenge = base64Decode(line.substr(4));
    nextCommand(smtpAuth, Phase::AuthCramAnswer,
                CramResponse(settings.username, settings.password, challenge, cramSha1_), {235});
}

// The first line of an AutoSelect exchange was refused. A 504 moves on to the weaker method
// within the same request (the caller sees one completion, for the method that ends it); any
// other refusal means the method could not be agreed on. Returns true when the fallback runs.
bool SmtpEngine::autoSelectRefused(void (SmtpEngine::*fallback)()) {
    if (!autoSelect_)
        return false;
    if (statusCode_ == 504) {
        errorMessage_ = errorBeforeAttempt_;
        setState(smtpInternalReady);
        (this->*fallback)();
        return true;
    }
    errorMessage_ = "500 Authentication Type could not be determined.";
    return false;
}

// OAuth 2.0: OAUTHBEARER (RFC 7628) where announced, else XOAUTH2; never the password. The
// token stays out of the log.
//   C: AUTH OAUTHBEARER base64("n,a=user,^Ahost=mail.test^Aport=587^Aauth=Bearer TOKEN^A^A")
//   S: 235 ok                      or   S: 334 base64(JSON error)   C: base64(^A)   S: 535 ...
//   C: AUTH XOAUTH2 base64("user=user^Aauth=Bearer TOKEN^A^A")
//   S: 235 ok                      or   S: 334 base64(JSON error)   C: (empty)      S: 535 ...
void SmtpEngine::startOAuth() {
    if (settings.oauthToken.empty()) {
        failWith(oauthErrorNoToken, std::to_string(oauthErrorNoToken) + " " + textOAuthOhneToken);
        return;
    }
    auto announced = [&](const char* mechanism) {
        return std::find(authTypes_.begin(), authTypes_.end(), mechanism) != authTypes_.end();
    };
    const std::string bearer = "auth=Bearer " + settings.oauthToken + "\x01\x01";
    if (announced("OAUTHBEARER")) {
        std::string saslName;
        for (char c : settings.username)
            saslName += c == ',' ? "=2C" : c == '=' ? "=3D" : std::string(1, c);
        std::string message = "n,a=" + saslName + ",\x01host=" + trimmed(settings.host) + "\x01";
        if (port_ != 0)
            message += "port=" + std::to_string(port_) + "\x01";
        command(smtpAuth, Phase::AuthOAuthBearer,
                "AUTH OAUTHBEARER " + base64Encode(message + bearer), {235, 334},
                std::string("AUTH OAUTHBEARER ") + hiddenSecret);
    } else if (announced("XOAUTH2")) {
        command(smtpAuth, Phase::AuthXOAuth2,
                "AUTH XOAUTH2 " + base64Encode("user=" + settings.username + "\x01" + bearer),
                {235, 334}, std::string("AUTH XOAUTH2 ") + hiddenSecret);
    } else {
        failWith(oauthErrorNotOffered,
                 std::to_string(oauthErrorNotOffered) + " " + textOAuthNichtAngeboten);
    }
}

// A 334 carries the server's error (Base64 JSON); the exchange ends with the client's answer
// to it and the server's final refusal.
void SmtpEngine::oauthReplied(const std::string& answerToError) {
    if (requestResult_ == 0 && statusCode_ == 334) {
        nextCommand(smtpAuth, Phase::AuthOAuthError, answerToError, {235});
        return;
    }
    complete(requestResult_);
}

// ---- the mail ----

// Every recipient gets its line, whatever the server said to the one before; the request
// ends with the reply to the last.
void SmtpEngine::rcptToNext() {
    ++rcptIndex_;
    if (rcptIndex_ >= recipients_.size()) {
        complete(requestResult_);
        return;
    }
    nextCommand(smtpRcptTo, Phase::RcptTo, "RCPT TO:<" + recipients_[rcptIndex_] + ">", {250, 251});
}

void SmtpEngine::dataAccepted() {
    if (requestResult_ != 0) {
        complete(requestResult_);
        return;
    }
    pumping_ = true;
    setState(smtpInternalReady);
    setPhase(Phase::Body);
    pumpStep();
}

// Gathers the next items into one write; the next step runs when it has gone out. The step
// that finds the message complete ends it with ".".
void SmtpEngine::pumpStep() {
    if (!pumping_)
        return;
    std::string wire;
    bool more = true;
    while (more && (wire.empty() || wire.size() < pumpBudget)) {
        std::string item;
        try {
            more = host_.nextMessageItem(item);
        } catch (const std::exception& error) {
            // A message cut short must not be delivered as if complete: leave without the
            // final "." so that the server drops the transaction.
            if (!wire.empty())
                act(SmtpAction::Send, std::move(wire));
            pumping_ = false;
            failWith(500, std::string("500 Message body could not be produced: ") + error.what());
            dropConnection(SmtpAction::AbortConnection);
            return;
        }
        if (!more)
            break;
        display("> " + item);
        wire += item;
        wire += "\r\n";
    }
    if (more) {
        act(SmtpAction::Send, std::move(wire));
        return;
    }
    pumping_ = false;
    nextCommand(smtpData, Phase::EndOfData, ".", {250}, {}, std::move(wire));
}

void SmtpEngine::quitReplied() {
    if (connected_)
        return; // QUIT ends when the server closes the connection.
    complete(requestResult_);
}

// ---- Open and Mail ----

void SmtpEngine::open() {
    checkReady();
    if (connected_)
        throw SmtpException("SMTP component already connected");
    request_ = smtpOpen;
    // STARTTLS needs EHLO, even without AUTH.
    if (settings.authType != smtpAuthNone)
        steps_ = stepBit(smtpConnect) | stepBit(smtpEhlo) | stepBit(smtpAuth);
    else if (!GreetsWithHelo(settings.authType, settings.security))
        steps_ = stepBit(smtpConnect) | stepBit(smtpEhlo);
    else
        steps_ = stepBit(smtpConnect) | stepBit(smtpHelo);
    startCombined();
}

void SmtpEngine::mail() {
    checkReady();
    checkConnected();
    checkRecipients();
    request_ = smtpMail;
    steps_ = stepBit(smtpMailFrom) | stepBit(smtpRcptTo) | stepBit(smtpData);
    startCombined();
}

// Open and Mail run their steps one after the other as one request with one completion.
void SmtpEngine::startCombined() {
    combinedResult_ = 0;
    requestResult_ = 0;
    combined_ = true;
    runNextStep(true);
}

void SmtpEngine::runStep(TSmtpRequest step) {
    using Request = void (SmtpEngine::*)();
    static constexpr std::pair<TSmtpRequest, Request> requests[] = {
        {smtpConnect, &SmtpEngine::connect}, {smtpHelo, &SmtpEngine::helo},
        {smtpEhlo, &SmtpEngine::ehlo},       {smtpAuth, &SmtpEngine::auth},
        {smtpVrfy, &SmtpEngine::vrfy},       {smtpMailFrom, &SmtpEngine::mailFrom},
        {smtpRcptTo, &SmtpEngine::rcptTo},   {smtpData, &SmtpEngine::data},
        {smtpQuit, &SmtpEngine::quit}};
    for (const auto& [request, call] : requests)
        if (request == step)
            return (this->*call)();
}

// Runs the next step of Open or Mail, or completes the combined request when none is left.
// The first step runs inside the caller's request, so its misuse errors reach the caller;
// later ones run from the loop, where a raised error ends the step with 500.
void SmtpEngine::runNextStep(bool raiseErrors) {
    static const TSmtpRequest order[] = {smtpConnect,  smtpHelo,   smtpEhlo, smtpAuth, smtpVrfy,
                                         smtpMailFrom, smtpRcptTo, smtpData, smtpQuit};
    for (TSmtpRequest step : order) {
        if ((steps_ & stepBit(step)) == 0)
            continue;
        steps_ &= ~stepBit(step);
        previousStep_ = step;
        try {
            runStep(step);
        } catch (const std::exception& error) {
            if (raiseErrors) {
                combined_ = false;
                steps_ = 0;
                requestDone_ = true;
                setState(smtpReady);
                throw;
            }
            requestDone_ = false;
            failWith(500, std::string("500 ") + error.what());
        }
        return;
    }
    combined_ = false;
    requestDone_ = true;
    setState(smtpReady);
    act(SmtpAction::RequestDone, {}, combinedResult_, request_);
}

void SmtpEngine::combinedStepDone(int code) {
    if (state_ == smtpAbort) {
        steps_ = 0;
        combinedResult_ = 426;
        requestResult_ = 426;
        errorMessage_ = "426 Operation aborted.";
    } else if (code != 0) {
        if (previousStep_ == smtpEhlo && !IsTlsError(code)) {
            steps_ = stepBit(smtpHelo); // an old server: greet with HELO, without AUTH
        } else {
            combinedResult_ = code;
            bool quitLeft = (steps_ & stepBit(smtpQuit)) != 0 && previousStep_ != smtpQuit;
            steps_ = quitLeft ? stepBit(smtpQuit) : 0;
        }
    }
    runNextStep(false);
}

} // namespace tafelbot
