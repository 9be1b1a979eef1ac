#include "smtp/CustomSmtpClient.h"

#include "platform/Platform.h"
#include "smtp/MimeUtil.h"
#include "smtp/SmtpAuth.h"
#include "smtp/SmtpSecurity.h"
#include "smtp/SmtpText.h"
#include "smtp/WSocket.h"
#include "smtp/WSocketResolve.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

namespace tafelbot {

namespace {

// Received data not yet ended by CR LF must fit in here.
constexpr std::size_t receiveBufferSize = 4096;
// The body line buffer; a longer item is the builder's business (it may hold several lines).
constexpr int bodyLineMaxLen = 1023;
// RFC 5322's limit for one line of the header.
constexpr std::size_t maxHeaderLine = 998;

const char* const xMailer = "X-Mailer: Wendra SMTP Component V2.45";
const char* const hiddenSecret = "********";

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

bool isPlainAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte <= 0x7E;
    });
}

// The port of implicit TLS (RFC 8314).
constexpr std::uint16_t implicitTlsPort = 465;

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
const char* const textKlartextNachStartTls =
    "Der Server hat nach seiner Antwort auf STARTTLS unverschl\xFCsselt weitergesendet.";

std::string winsockLine(int error) {
    return "500 " + WSocketErrorDesc(error) + " (Winsock error #" + std::to_string(error) + ")";
}

} // namespace

bool PlainPasswordAllowed(TSmtpSecurity security, bool tlsActive, platform::Ipv4 peer) {
    return tlsActive || security == smtpSecurityNone || (peer >> 24) == 127;
}

TCustomSmtpClient::TCustomSmtpClient(EventLoop& loop)
    : loop_(loop), socket_(std::make_unique<TWSocket>(loop)), alive_(std::make_shared<bool>(true)) {
    // The handlers stay for the client's whole life; each one acts only in the states that
    // expect its event.
    socket_->OnSessionClosed = [this](TWSocket&, int error) { socketSessionClosed(error); };
    socket_->OnDnsLookupDone = [this](TWSocket&, int error) { socketDnsLookupDone(error); };
    socket_->OnSessionConnected = [this](TWSocket&, int error) { socketSessionConnected(error); };
    socket_->OnDataAvailable = [this](TWSocket&, int) { socketDataAvailable(); };
    socket_->OnDataSent = [this](TWSocket&, int) { socketDataSent(); };
    socket_->OnBgException = [this](TWSocket&, const std::exception& error, bool&) {
        socketBgException(error);
    };
    socket_->OnTlsReady = [this](TWSocket&, int error) { socketTlsReady(error); };
}

TCustomSmtpClient::~TCustomSmtpClient() = default;

void TCustomSmtpClient::SetContentType(TSmtpContentType type) {
    contentType_ = type;
    contentTypeText_ = type == smtpPlainText ? "text/plain" : "text/html";
}

// ---- hooks ----

void TCustomSmtpClient::TriggerDisplay(const std::string& msg) {
    if (OnDisplay)
        OnDisplay(*this, msg);
}

void TCustomSmtpClient::TriggerCommand(const std::string& command) {
    if (OnCommand)
        OnCommand(*this, command);
}

void TCustomSmtpClient::TriggerResponse(const std::string& line) {
    if (OnResponse)
        OnResponse(*this, line);
}

void TCustomSmtpClient::TriggerRequestDone(TSmtpRequest rqType, std::uint16_t errorCode) {
    if (OnRequestDone)
        OnRequestDone(*this, rqType, errorCode);
}

void TCustomSmtpClient::TriggerStateChange(TSmtpState, TSmtpState) {}

void TCustomSmtpClient::TriggerGetData(int lineNum, std::string& msgLine, int maxLen, bool& more) {
    if (OnGetData)
        OnGetData(*this, lineNum, msgLine, maxLen, more);
    else
        more = false;
}

void TCustomSmtpClient::TriggerHeaderLine(std::string& line) {
    if (OnHeaderLine)
        OnHeaderLine(*this, line);
}

void TCustomSmtpClient::TriggerProcessHeader(std::vector<std::string>& hdrLines) {
    if (OnProcessHeader)
        OnProcessHeader(*this, hdrLines);
}

void TCustomSmtpClient::TriggerSessionConnected(int error) {
    if (OnSessionConnected)
        OnSessionConnected(*this, error);
}

void TCustomSmtpClient::TriggerSessionClosed(int error) {
    if (OnSessionClosed)
        OnSessionClosed(*this, error);
}

void TCustomSmtpClient::TriggerTlsStarted(const TlsInfo& info) {
    if (OnTlsStarted)
        OnTlsStarted(*this, info);
}

TlsInfo TCustomSmtpClient::TlsSessionInfo() const {
    return socket_->TlsSessionInfo();
}

void TCustomSmtpClient::PrepareEmail() {}

void TCustomSmtpClient::SendCommand(const std::string& command) {
    TriggerCommand(command);
    TriggerDisplay("> " + command);
    socket_->SendStr(command + "\r\n");
}

// ---- request plumbing ----

void TCustomSmtpClient::setState(TSmtpState state) {
    if (state == state_)
        return;
    TSmtpState old = state_;
    state_ = state;
    TriggerStateChange(old, state);
}

void TCustomSmtpClient::checkReady() const {
    if (state_ != smtpReady && state_ != smtpInternalReady)
        throw SmtpException("SMTP component not ready");
}

void TCustomSmtpClient::checkConnected() const {
    if (!connected_)
        throw SmtpException("SMTP component not connected");
}

void TCustomSmtpClient::checkNoLineBreak(const std::string& value, const char* name) const {
    if (HoldsLineBreakOrNul(value))
        throw SmtpException(std::string("Invalid character (CR, LF or NUL) in ") + name);
}

void TCustomSmtpClient::beginRequest(TSmtpRequest request) {
    if (!combined_)
        request_ = request;
    command_ = request;
    requestDone_ = false;
}

void TCustomSmtpClient::execCommand(TSmtpRequest request, const std::string& command,
                                    std::vector<int> okCodes, Step afterJudgement,
                                    const std::string& shown) {
    checkReady();
    checkConnected();
    beginRequest(request);
    okCodes_ = std::move(okCodes);
    next_ = &TCustomSmtpClient::judgeReply;
    afterJudgement_ = afterJudgement;
    setState(smtpWaitingResponse);
    if (shown.empty()) {
        SendCommand(command);
    } else {
        // Secrets reach the wire, never the log.
        TriggerCommand(command);
        TriggerDisplay("> " + shown);
        socket_->SendStr(command + "\r\n");
    }
}

void TCustomSmtpClient::recordError(const std::string& line) {
    if (errorMessage_.empty())
        errorMessage_ = line;
}

void TCustomSmtpClient::failWith(int code, const std::string& line) {
    lastResponse_ = line;
    statusCode_ = 500;
    requestResult_ = code;
    recordError(line);
    completeRequest(code);
}

void TCustomSmtpClient::completeRequest(int code) {
    if (requestDone_)
        return;
    requestDone_ = true;
    if (combined_) {
        if (state_ != smtpAbort)
            setState(smtpInternalReady);
        combinedStepDone(code);
        return;
    }
    setState(smtpReady);
    postRequestDone(request_, code);
}

void TCustomSmtpClient::postRequestDone(TSmtpRequest request, int code) {
    std::weak_ptr<bool> alive = alive_;
    loop_.post([this, alive, request, code] {
        if (!alive.expired())
            TriggerRequestDone(request, static_cast<std::uint16_t>(code));
    });
}

std::string TCustomSmtpClient::helloName() const {
    std::string name = SignOn;
    if (name.empty()) {
        auto host = platform::localHostName();
        if (!host)
            throw ESocketException("Winsock.GetHostName failed");
        name = *host;
    }
    checkNoLineBreak(name, "SignOn");
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

// ---- requests ----

void TCustomSmtpClient::Connect() {
    checkReady();
    if (connected_)
        throw SmtpException("SMTP component already connected");
    beginRequest(smtpConnect);
    receiveBuffer_.clear();
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
    insideConnect_ = true;
    try {
        socket_->DnsLookup(Host);
    } catch (...) {
        insideConnect_ = false;
        requestDone_ = true;
        socket_->Abort();
        setState(smtpReady);
        throw;
    }
    insideConnect_ = false;
}

void TCustomSmtpClient::Helo() {
    checkReady();
    checkConnected();
    std::string name = helloName();
    if (Security == smtpSecurityStartTls && !tlsActive_) {
        beginRequest(smtpHelo);
        failWith(tlsErrorNotOffered,
                 std::to_string(tlsErrorNotOffered) + " " + textHeloOhneStartTls);
        return;
    }
    execCommand(smtpHelo, "HELO " + name, {250});
}

void TCustomSmtpClient::Ehlo() {
    checkReady();
    checkConnected();
    helloName_ = helloName();
    authTypes_.clear();
    startTlsOffered_ = false;
    errorBeforeAttempt_ = errorMessage_;
    execCommand(smtpEhlo, "EHLO " + helloName_, {250}, &TCustomSmtpClient::ehloDone);
}

void TCustomSmtpClient::ehloDone() {
    if (requestResult_ != 0) {
        // RFC 5321 4.1.4: a server that does not know EHLO is greeted with HELO, where nothing
        // needs the extensions (no AUTH; encryption only when offered). One completion.
        if (statusCode_ >= 500 && !tlsActive_ && Security == smtpSecurityAuto &&
            AuthType == smtpAuthNone) {
            errorMessage_ = errorBeforeAttempt_;
            setState(smtpInternalReady);
            execCommand(smtpEhlo, "HELO " + helloName_, {250});
            return;
        }
        completeRequest(requestResult_);
        return;
    }
    esmtp_ = true;
    if (!tlsActive_ && Security != smtpSecurityNone) {
        if (startTlsOffered_) {
            beginStartTls();
            return;
        }
        if (Security != smtpSecurityAuto) {
            tlsFailed(tlsErrorNotOffered, textKeinStartTls);
            return;
        }
    }
    completeRequest(0);
}

// ---- TLS ----

void TCustomSmtpClient::beginStartTls() {
    errorBeforeAttempt_ = errorMessage_;
    setState(smtpInternalReady);
    execCommand(smtpEhlo, "STARTTLS", {220}, &TCustomSmtpClient::startTlsReplied);
}

void TCustomSmtpClient::startTlsReplied() {
    if (requestResult_ != 0) {
        errorMessage_ = errorBeforeAttempt_;
        tlsFailed(tlsErrorRefused, textStartTlsAbgelehnt + lastResponse_);
        return;
    }
    // Anything after the 220 came in plain text and could have been put there by anyone on
    // the way; taken as replies of the encrypted session it would forge them (RFC 3207).
    if (!receiveBuffer_.empty()) {
        receiveBuffer_.clear();
        tlsFailed(tlsErrorProtocol, textKlartextNachStartTls);
        return;
    }
    startTlsHandshake();
}

void TCustomSmtpClient::startTlsHandshake() {
    try {
        socket_->StartTls({trimmed(Host), ExtraCaFile, AcceptUnverifiedCertificate});
    } catch (const std::exception& error) {
        tlsFailed(tlsErrorProtocol, error.what());
    }
}

void TCustomSmtpClient::socketTlsReady(int error) {
    if (error != 0) {
        tlsFailed(error, socket_->TlsFailure());
        return;
    }
    tlsActive_ = true;
    TriggerTlsStarted(socket_->TlsSessionInfo());
    if (!connected_ || requestDone_)
        return; // the handler gave up
    if (state_ == smtpConnecting) {
        setState(smtpWaitingBanner);
        return;
    }
    // What the server announced in plain text no longer counts: greet the encrypted session.
    esmtp_ = false;
    authTypes_.clear();
    startTlsOffered_ = false;
    setState(smtpInternalReady);
    execCommand(smtpEhlo, "EHLO " + helloName_, {250}, &TCustomSmtpClient::ehloDone);
}

void TCustomSmtpClient::tlsFailed(int code, const std::string& reason) {
    const std::string line = std::to_string(code) + " " + reason;
    lastResponse_ = line;
    statusCode_ = code;
    requestResult_ = code;
    recordError(line);
    completeRequest(code);
    socket_->Abort();
}

void TCustomSmtpClient::Vrfy() {
    checkReady();
    checkConnected();
    checkNoLineBreak(HdrTo, "HdrTo");
    execCommand(smtpVrfy, "VRFY " + HdrTo, {250});
}

void TCustomSmtpClient::MailFrom() {
    checkReady();
    checkConnected();
    checkNoLineBreak(FromName, "FromName");
    execCommand(smtpMailFrom, "MAIL FROM:<" + ParseAddress(FromName).address + ">", {250});
}

void TCustomSmtpClient::RcptTo() {
    checkReady();
    checkConnected();
    if (RcptName.empty())
        throw SmtpException("RcptName list is empty");
    for (const auto& entry : RcptName)
        checkNoLineBreak(entry, "RcptName");
    rcptIndex_ = 0;
    execCommand(smtpRcptTo, "RCPT TO:<" + ParseAddress(RcptName[0]).address + ">", {250, 251},
                &TCustomSmtpClient::rcptToNext);
}

// Every recipient gets its line, whatever the server said to the one before; the request
// ends with the reply to the last.
void TCustomSmtpClient::rcptToNext() {
    ++rcptIndex_;
    if (rcptIndex_ >= RcptName.size()) {
        completeRequest(requestResult_);
        return;
    }
    setState(smtpInternalReady);
    execCommand(smtpRcptTo, "RCPT TO:<" + ParseAddress(RcptName[rcptIndex_]).address + ">",
                {250, 251}, &TCustomSmtpClient::rcptToNext);
}

void TCustomSmtpClient::Data() {
    checkReady();
    checkConnected();
    for (const auto* value :
         {&HdrFrom, &HdrTo, &HdrCc, &HdrReplyTo, &HdrReturnPath, &HdrSubject, &HdrSender})
        checkNoLineBreak(*value, "a header value");
    PrepareEmail();
    hdrLines_.clear();
    if (!OwnHeaders)
        buildHeader();
    hdrIndex_ = 0;
    lineNum_ = 0;
    moreLines_ = true;
    pumping_ = false;
    execCommand(smtpData, "DATA", {354}, &TCustomSmtpClient::dataAccepted);
}

std::vector<std::string> TCustomSmtpClient::MessageLines() {
    for (const auto* value :
         {&HdrFrom, &HdrTo, &HdrCc, &HdrReplyTo, &HdrReturnPath, &HdrSubject, &HdrSender})
        checkNoLineBreak(*value, "a header value");
    PrepareEmail();
    hdrLines_.clear();
    if (!OwnHeaders)
        buildHeader();
    std::vector<std::string> lines;
    for (std::string line : hdrLines_) {
        TriggerHeaderLine(line);
        lines.push_back(std::move(line));
    }
    hdrLines_.clear();
    bool more = true;
    for (int lineNum = 1; more; ++lineNum) {
        std::string line;
        TriggerGetData(lineNum, line, bodyLineMaxLen, more);
        if (more)
            lines.push_back(std::move(line));
    }
    return lines;
}

void TCustomSmtpClient::dataAccepted() {
    if (requestResult_ != 0) {
        completeRequest(requestResult_);
        return;
    }
    pumping_ = true;
    setState(smtpInternalReady);
    dataPumpStep();
}

// One header line or one body item per step; the next step runs when the socket reports the
// line sent.
void TCustomSmtpClient::dataPumpStep() {
    if (!pumping_)
        return;
    std::string line;
    bool haveLine = false;
    if (hdrIndex_ < hdrLines_.size()) {
        line = hdrLines_[hdrIndex_++];
        TriggerHeaderLine(line);
        haveLine = true;
    } else if (moreLines_) {
        ++lineNum_;
        try {
            TriggerGetData(lineNum_, line, bodyLineMaxLen, moreLines_);
        } catch (const std::exception& error) {
            bodyFailed(error.what());
            return;
        }
        if (moreLines_) {
            line = DotStuffed(line);
            haveLine = true;
        }
    }
    if (haveLine) {
        TriggerDisplay("> " + line);
        socket_->SendStr(line + "\r\n");
        return;
    }
    pumping_ = false;
    setState(smtpInternalReady);
    execCommand(smtpData, ".", {250});
}

// A message cut short must not be delivered as if complete: leave without the final "." so
// that the server drops the transaction.
void TCustomSmtpClient::bodyFailed(const std::string& reason) {
    pumping_ = false;
    failWith(500, "500 Message body could not be produced: " + reason);
    socket_->Abort();
}

void TCustomSmtpClient::Quit() {
    checkReady();
    if (!connected_) {
        beginRequest(smtpQuit);
        completeRequest(0);
        return;
    }
    execCommand(smtpQuit, "QUIT", {221});
}

void TCustomSmtpClient::Rset() {
    checkReady();
    checkConnected();
    execCommand(smtpRset, "RSET", {250});
}

void TCustomSmtpClient::Abort() {
    setState(smtpAbort);
    pumping_ = false;
    socket_->CancelDnsLookup();
    socket_->Abort();
    // Without a connection no close reports the end: the request still completes once.
    if (!requestDone_)
        completeRequest(command_ == smtpQuit ? 0 : 10004);
    setState(smtpReady);
}

void TCustomSmtpClient::AddRecipientLists(const std::string& toList, const std::string& ccList,
                                          const std::string& bccList) {
    for (auto& item : SplitAddressList(toList + ";" + ccList + ";" + bccList))
        RcptName.push_back(std::move(item));
}

// ---- AUTH ----

void TCustomSmtpClient::Auth() {
    checkReady();
    checkConnected();
    beginRequest(smtpAuth);
    autoSelect_ = false;
    if (!esmtp_) {
        failWith(500, "500 ESMTP not supported.");
        return;
    }
    if (AuthType == smtpAuthNone) {
        failWith(500, "500 No Authentication Type Selected.");
        return;
    }
    if (!PlainPasswordAllowed(Security, tlsActive_, peer_)) {
        failWith(tlsErrorNotOffered,
                 std::to_string(tlsErrorNotOffered) + " " + textKennwortUnverschluesselt);
        return;
    }
    switch (AuthType) {
    case smtpAuthNone:
        return;
    case smtpAuthPlain:
        startAuthPlain();
        return;
    case smtpAuthLogin:
        startAuthLogin();
        return;
    case smtpAuthCramMD5:
        startAuthCram(false);
        return;
    case smtpAuthCramSha1:
        startAuthCram(true);
        return;
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

void TCustomSmtpClient::startAuthPlain() {
    errorBeforeAttempt_ = errorMessage_;
    execCommand(smtpAuth, "AUTH PLAIN " + AuthPlainResponse(Username, Password), {235},
                &TCustomSmtpClient::authPlainDone, std::string("AUTH PLAIN ") + hiddenSecret);
}

void TCustomSmtpClient::authPlainDone() {
    if (requestResult_ != 0 && autoSelect_ && statusCode_ != 504)
        errorMessage_ = "500 Authentication Type could not be determined.";
    completeRequest(requestResult_);
}

void TCustomSmtpClient::startAuthLogin() {
    errorBeforeAttempt_ = errorMessage_;
    execCommand(smtpAuth, "AUTH LOGIN", {334}, &TCustomSmtpClient::authLoginStarted);
}

void TCustomSmtpClient::authLoginStarted() {
    if (requestResult_ != 0) {
        if (!autoSelectRefused(&TCustomSmtpClient::startAuthPlain))
            completeRequest(requestResult_);
        return;
    }
    setState(smtpInternalReady);
    execCommand(smtpAuth, base64Encode(Username), {334}, &TCustomSmtpClient::authLoginUserDone);
}

void TCustomSmtpClient::authLoginUserDone() {
    if (requestResult_ != 0) {
        completeRequest(requestResult_);
        return;
    }
    setState(smtpInternalReady);
    execCommand(smtpAuth, base64Encode(Password), {235}, nullptr, hiddenSecret);
}

void TCustomSmtpClient::startAuthCram(bool sha1) {
    errorBeforeAttempt_ = errorMessage_;
    cramSha1_ = sha1;
    execCommand(smtpAuth, sha1 ? "AUTH CRAM-SHA1" : "AUTH CRAM-MD5", {334},
                &TCustomSmtpClient::authCramStarted);
}

void TCustomSmtpClient::authCramStarted() {
    if (requestResult_ != 0) {
        if (cramSha1_ || !autoSelectRefused(&TCustomSmtpClient::startAuthLogin))
            completeRequest(requestResult_);
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
    setState(smtpInternalReady);
    execCommand(smtpAuth, CramResponse(Username, Password, challenge, cramSha1_), {235});
}

// The first line of an AutoSelect exchange was refused. A 504 moves on to the weaker method
// within the same request (the caller sees one completion, for the method that ends it); any
// other refusal means the method could not be agreed on. Returns true when the fallback runs.
bool TCustomSmtpClient::autoSelectRefused(Step fallback) {
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

// ---- Open and Mail ----

void TCustomSmtpClient::Open() {
    checkReady();
    if (connected_)
        throw SmtpException("SMTP component already connected");
    request_ = smtpOpen;
    // STARTTLS needs EHLO, even without AUTH.
    if (AuthType != smtpAuthNone)
        steps_ = stepBit(smtpConnect) | stepBit(smtpEhlo) | stepBit(smtpAuth);
    else if (!GreetsWithHelo(AuthType, Security))
        steps_ = stepBit(smtpConnect) | stepBit(smtpEhlo);
    else
        steps_ = stepBit(smtpConnect) | stepBit(smtpHelo);
    combinedResult_ = 0;
    requestResult_ = 0;
    combined_ = true;
    runNextStep(true);
}

void TCustomSmtpClient::Mail() {
    checkReady();
    checkConnected();
    if (RcptName.empty())
        throw SmtpException("RcptName list is empty");
    for (const auto& entry : RcptName)
        checkNoLineBreak(entry, "RcptName");
    request_ = smtpMail;
    steps_ = stepBit(smtpMailFrom) | stepBit(smtpRcptTo) | stepBit(smtpData);
    combinedResult_ = 0;
    requestResult_ = 0;
    combined_ = true;
    runNextStep(true);
}

void TCustomSmtpClient::runStep(TSmtpRequest step) {
    switch (step) {
    case smtpConnect:
        return Connect();
    case smtpHelo:
        return Helo();
    case smtpEhlo:
        return Ehlo();
    case smtpAuth:
        return Auth();
    case smtpVrfy:
        return Vrfy();
    case smtpMailFrom:
        return MailFrom();
    case smtpRcptTo:
        return RcptTo();
    case smtpData:
        return Data();
    case smtpQuit:
        return Quit();
    default:
        return;
    }
}

// Runs the next step of Open or Mail, or completes the combined request when none is left.
// The first step runs inside the caller's request, so its misuse errors reach the caller;
// later ones run from the loop, where a raised error ends the step with 500.
void TCustomSmtpClient::runNextStep(bool raiseErrors) {
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
    postRequestDone(request_, combinedResult_);
}

void TCustomSmtpClient::combinedStepDone(int code) {
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

// ---- socket events ----

void TCustomSmtpClient::socketDnsLookupDone(int error) {
    if (state_ != smtpDnsLookup)
        return;
    if (error != 0) {
        lastResponse_ = winsockLine(error);
        statusCode_ = 500;
        recordError(lastResponse_);
        requestResult_ = error;
        // Completed before the handlers run: a handler that aborts the client must not turn
        // the lookup's error into a lost connection (10004).
        completeRequest(error);
        TriggerSessionConnected(error);
        TriggerSessionClosed(error);
        return;
    }
    try {
        socket_->SetAddr(socket_->DnsResult());
        socket_->SetLocalAddr(LocalAddr);
        socket_->SetProto("tcp");
        socket_->SetPort(Port);
        setState(smtpConnecting);
        socket_->Connect();
        peer_ = WSocketResolveHost(socket_->DnsResult());
        implicitTls_ = Security == smtpSecurityTls ||
                       (Security == smtpSecurityAuto &&
                        WSocketResolvePort(socket_->Port(), "tcp") == implicitTlsPort);
    } catch (const std::exception& failure) {
        if (insideConnect_)
            throw;
        socket_->Abort();
        failWith(500, std::string("500 ") + failure.what());
    }
}

void TCustomSmtpClient::socketSessionConnected(int error) {
    if (state_ != smtpConnecting)
        return;
    if (error != 0) {
        lastResponse_ = winsockLine(error);
        statusCode_ = 500;
        requestResult_ = 500;
        connected_ = false;
        recordError(lastResponse_);
        completeRequest(error);
        socket_->Close();
        if (state_ == smtpConnecting)
            setState(smtpReady);
        return;
    }
    connected_ = true;
    if (implicitTls_) {
        startTlsHandshake(); // the banner comes encrypted
        return;
    }
    setState(smtpWaitingBanner);
}

void TCustomSmtpClient::socketSessionClosed(int error) {
    connected_ = false;
    tlsActive_ = false;
    pumping_ = false;
    TriggerSessionClosed(error);
    completeRequest(command_ == smtpQuit ? 0 : 10004);
}

void TCustomSmtpClient::socketDataSent() {
    if (pumping_ && state_ == smtpInternalReady)
        dataPumpStep();
}

// An exception out of a handler called from a socket event: the socket aborts the connection
// after this; the request ends as a client error.
void TCustomSmtpClient::socketBgException(const std::exception& error) {
    pumping_ = false;
    if (!requestDone_)
        failWith(500, std::string("500 ") + error.what());
}

void TCustomSmtpClient::socketDataAvailable() {
    if (receiveBuffer_.size() >= receiveBufferSize)
        return replyLineTooLong();
    char chunk[receiveBufferSize];
    int got = socket_->Receive(chunk, static_cast<int>(receiveBufferSize - receiveBuffer_.size()));
    if (got <= 0)
        return;
    receiveBuffer_.append(chunk, static_cast<std::size_t>(got));
    processReceivedLines();
}

void TCustomSmtpClient::processReceivedLines() {
    for (;;) {
        auto end = receiveBuffer_.find("\r\n");
        if (end == std::string::npos)
            break;
        std::string line = receiveBuffer_.substr(0, end);
        receiveBuffer_.erase(0, end + 2);
        lastResponse_ = line;
        TriggerResponse(line);
        handleLine(line);
    }
    if (receiveBuffer_.size() >= receiveBufferSize)
        replyLineTooLong();
}

// A server line that does not fit the receive buffer is a protocol error: the request ends
// with 500 and the connection is dropped.
void TCustomSmtpClient::replyLineTooLong() {
    receiveBuffer_.clear();
    pumping_ = false;
    std::string line = "500 Server reply line longer than " +
                       std::to_string(receiveBufferSize - 2) + " characters.";
    if (requestDone_) {
        lastResponse_ = line;
        recordError(line);
    } else {
        failWith(500, line);
    }
    socket_->Abort();
}

void TCustomSmtpClient::handleLine(const std::string& line) {
    switch (state_) {
    case smtpWaitingBanner:
        bannerLine(line);
        break;
    case smtpWaitingResponse:
        if (next_ == nullptr)
            throw SmtpException("Program error: FNext is nil");
        (this->*next_)();
        break;
    default:
        TriggerDisplay("< " + line);
        break;
    }
}

void TCustomSmtpClient::bannerLine(const std::string& line) {
    TriggerDisplay("< " + line);
    ReplyCode reply = ParseReplyCode(line);
    statusCode_ = reply.code;
    if (reply.continuation)
        return;
    if (reply.code == 220) {
        setState(smtpConnected);
        TriggerSessionConnected(0);
        completeRequest(0);
        return;
    }
    // The completion comes from the close: 10004.
    requestResult_ = reply.code;
    recordError(line);
    socket_->Close();
}

void TCustomSmtpClient::judgeReply() {
    const std::string line = lastResponse_;
    TriggerDisplay("< " + line);
    if (command_ == smtpEhlo)
        noteAuthMechanisms(line);
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
    if (afterJudgement_ != nullptr) {
        Step step = std::exchange(afterJudgement_, nullptr);
        (this->*step)();
    } else if (command_ == smtpQuit && connected_) {
        // QUIT ends when the server closes the connection.
    } else {
        completeRequest(requestResult_);
    }
}

void TCustomSmtpClient::noteAuthMechanisms(const std::string& line) {
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

// ---- header ----

void TCustomSmtpClient::buildHeader() {
    auto& h = hdrLines_;
    if (!trimmed(HdrReplyTo).empty())
        addAddressListHeader("Reply-To: ", HdrReplyTo);
    if (!trimmed(HdrReturnPath).empty())
        h.push_back("Return-Path: " + HdrReturnPath);
    if (!HdrFrom.empty())
        h.push_back("From: " + encodedAddress(HdrFrom));
    if (!HdrTo.empty())
        addAddressListHeader("To: ", HdrTo);
    if (!HdrCc.empty())
        addAddressListHeader("Cc: ", HdrCc);
    h.push_back("Subject: " + encodeHeaderWord(HdrSubject, CharSet));
    if (!trimmed(HdrSender).empty())
        h.push_back("Sender: " + encodedAddress(HdrSender));
    else if (!trimmed(HdrFrom).empty())
        h.push_back("Sender: " + encodedAddress(HdrFrom));
    h.push_back("Mime-Version: 1.0");
    h.push_back("Content-Type: " + contentTypeText_ + "; charset=\"" + CharSet + "\"");

    std::optional<platform::CivilTime> utc = platform::clock().utcNow();
    platform::CivilTime now = utc ? *utc : platform::clock().localNow();
    h.push_back("Date: " + SmtpDateText(now));
    h.push_back("Message-ID: " + MakeMessageId(platform::randomBytes(8), now, messageIdDomain()));

    if (HdrPriority != smtpPriorityNone) {
        h.push_back("X-Priority: " + std::to_string(static_cast<int>(HdrPriority)));
        if (HdrPriority == smtpPriorityHighest || HdrPriority == smtpPriorityHigh) {
            h.push_back("Priority: urgent");
            h.push_back("X-MSMail-Priority: High");
        } else if (HdrPriority == smtpPriorityNormal) {
            h.push_back("Priority: Normal");
            h.push_back("X-MSMail-Priority: Normal");
        } else {
            h.push_back("Priority: non-urgent");
            h.push_back("X-MSMail-Priority: Low");
        }
    }
    h.push_back(xMailer);
    TriggerProcessHeader(h);

    for (const auto& line : h) {
        std::size_t start = 0;
        while (start <= line.size()) {
            std::size_t end = line.find("\r\n", start);
            if (end == std::string::npos)
                end = line.size();
            if (end - start > maxHeaderLine)
                throw SmtpException("Header line too long: " + line.substr(0, 40) + "...");
            start = end + 2;
        }
    }
    h.push_back("");
}

// To, Cc and Reply-To: one address per line, continuation lines starting with a TAB, a comma
// between the addresses.
void TCustomSmtpClient::addAddressListHeader(const std::string& name, const std::string& value) {
    std::vector<std::string> items = SplitAddressList(value);
    if (items.empty())
        return;
    std::string line = name;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            line += "\r\n\t";
        line += encodedAddress(items[i]);
        if (i + 1 < items.size())
            line += ",";
    }
    hdrLines_.push_back(line);
}

// A display name with characters beyond ASCII goes out as encoded words; the address itself
// stays as it is. A value holding several addresses keeps every one of them.
std::string TCustomSmtpClient::encodedAddress(const std::string& item) const {
    if (isPlainAscii(item))
        return item;
    std::vector<std::string> items = SplitAddressList(item);
    if (items.size() > 1) {
        std::string joined;
        for (const auto& single : items)
            joined += (joined.empty() ? "" : ", ") + encodedAddress(single);
        return joined;
    }
    ParsedAddress parsed = ParseAddress(item);
    if (parsed.address.empty() || parsed.displayName == parsed.address)
        return encodeHeaderWord(item, CharSet);
    if (parsed.displayName.empty())
        return "<" + parsed.address + ">";
    return encodeHeaderWord(parsed.displayName, CharSet) + " <" + parsed.address + ">";
}

std::string TCustomSmtpClient::messageIdDomain() const {
    for (const std::string* source : {&FromName, &HdrFrom}) {
        std::string address = ParseAddress(*source).address;
        auto at = address.rfind('@');
        if (at != std::string::npos && at + 1 < address.size())
            return address.substr(at + 1);
    }
    return platform::localHostName().value_or("localhost");
}

} // namespace tafelbot
