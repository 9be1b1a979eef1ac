#include "smtp/CustomSmtpClient.h"

#include "platform/Platform.h"
#include "smtp/MimeUtil.h"
#include "smtp/SmtpText.h"
#include "smtp/WSocket.h"
#include "smtp/WSocketResolve.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace tafelbot {

namespace {

// The body line buffer; a longer item is the builder's business (it may hold several lines).
constexpr int bodyLineMaxLen = 1023;
// RFC 5322's limit for one line of the header.
constexpr std::size_t maxHeaderLine = 998;

const char* const xMailer = "X-Mailer: Wendra SMTP Component V2.45";

std::string trimmed(const std::string& text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    auto begin = std::find_if_not(text.begin(), text.end(), isBlank);
    auto end = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
    return begin < end ? std::string(begin, end) : std::string();
}

bool isPlainAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte <= 0x7E;
    });
}

} // namespace

TCustomSmtpClient::TCustomSmtpClient(EventLoop& loop)
    : loop_(loop), engine_(*this), socket_(std::make_unique<TWSocket>(loop)),
      alive_(std::make_shared<bool>(true)) {
    // SMTP is request and reply: Nagle's algorithm only holds back the last line of each.
    socket_->ComponentOptions |= wsoTcpNoDelay;
    // The engine decides what each event means; every handler feeds it and carries out its
    // answer.
    socket_->OnSessionClosed = [this](TWSocket&, int error) {
        engine_.closed(error);
        perform();
    };
    socket_->OnDnsLookupDone = [this](TWSocket& socket, int error) {
        engine_.lookupDone(error, socket.DnsResult());
        perform();
    };
    socket_->OnSessionConnected = [this](TWSocket&, int error) {
        engine_.connected(error);
        perform();
    };
    socket_->OnDataAvailable = [this](TWSocket& socket, int) {
        char chunk[4096];
        int got = socket.Receive(chunk, static_cast<int>(sizeof chunk));
        if (got <= 0)
            return;
        engine_.received(std::string_view(chunk, static_cast<std::size_t>(got)));
        perform();
    };
    socket_->OnDataSent = [this](TWSocket&, int) {
        engine_.sendRoomAvailable();
        perform();
    };
    // An exception out of a handler called from a socket event: the socket aborts the
    // connection after this.
    socket_->OnBgException = [this](TWSocket&, const std::exception& error, bool&) {
        pending_.clear(); // what was still to do belongs to the event that failed
        nextPending_ = 0;
        engine_.handlerFailed(error.what());
        perform();
    };
    socket_->OnTlsReady = [this](TWSocket& socket, int error) {
        engine_.tlsReady(error, socket.TlsFailure());
        perform();
    };
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

// ---- carrying out the engine's answers ----

void TCustomSmtpClient::syncSettings() {
    SmtpEngine::Settings& s = engine_.settings;
    s.host = Host;
    s.security = Security;
    s.authType = AuthType;
    s.username = Username;
    s.password = Password;
    s.fromName = FromName;
    s.rcptName = RcptName;
    s.vrfyName = HdrTo;
    s.oauthToken = OAuthBearerToken;
    s.oauthRequired = OAuthRequired;
}

template <typename Request>
void TCustomSmtpClient::request(Request&& call) {
    syncSettings();
    call();
    perform();
}

// Connect and Open: a lookup or connect that raises inside the call leaves the client ready for
// the next try.
void TCustomSmtpClient::startSession(void (SmtpEngine::*start)()) {
    syncSettings();
    (engine_.*start)();
    insideRequest_ = true;
    try {
        perform();
    } catch (...) {
        insideRequest_ = false;
        pending_.clear();
        nextPending_ = 0;
        engine_.connectRaised();
        perform();
        throw;
    }
    insideRequest_ = false;
}

// Actions are carried out in the order the engine gave them. A handler may issue a request
// of its own; its actions queue behind the ones still waiting.
void TCustomSmtpClient::perform() {
    for (SmtpAction& action : engine_.takeActions())
        pending_.push_back(std::move(action));
    while (nextPending_ < pending_.size()) {
        SmtpAction action = std::move(pending_[nextPending_++]);
        execute(action);
        for (SmtpAction& more : engine_.takeActions())
            pending_.push_back(std::move(more));
    }
    pending_.clear();
    nextPending_ = 0;
}

void TCustomSmtpClient::execute(const SmtpAction& action) {
    switch (action.kind) {
    case SmtpAction::Send:
        // A handler may have dropped the connection since the engine asked.
        if (socket_->State() == wsConnected)
            socket_->SendStr(action.text);
        return;
    case SmtpAction::Lookup:
        socket_->DnsLookup(action.text);
        return;
    case SmtpAction::CancelLookup:
        socket_->CancelDnsLookup();
        return;
    case SmtpAction::OpenConnection:
        return openConnection(action.text);
    case SmtpAction::StartTls:
        return startTls();
    case SmtpAction::CloseConnection:
        socket_->Close();
        return;
    case SmtpAction::AbortConnection:
        socket_->Abort();
        return;
    case SmtpAction::Display:
        return TriggerDisplay(action.text);
    case SmtpAction::Command:
        return TriggerCommand(action.text);
    case SmtpAction::Response:
        return TriggerResponse(action.text);
    case SmtpAction::SessionConnected:
        return TriggerSessionConnected(action.code);
    case SmtpAction::SessionClosed:
        return TriggerSessionClosed(action.code);
    case SmtpAction::RequestDone: {
        std::weak_ptr<bool> alive = alive_;
        auto request = static_cast<TSmtpRequest>(action.request);
        auto code = static_cast<std::uint16_t>(action.code);
        loop_.post([this, alive, request, code] {
            if (!alive.expired())
                TriggerRequestDone(request, code);
        });
        return;
    }
    case SmtpAction::TlsStarted:
        return TriggerTlsStarted(socket_->TlsSessionInfo());
    case SmtpAction::StateChanged:
        return TriggerStateChange(static_cast<TSmtpState>(action.code),
                                  static_cast<TSmtpState>(action.request));
    case SmtpAction::Trace:
        if (OnTrace)
            OnTrace(*this, action.text);
        return;
    }
}

void TCustomSmtpClient::openConnection(const std::string& address) {
    try {
        socket_->SetAddr(address);
        socket_->SetLocalAddr(LocalAddr);
        socket_->SetProto("tcp");
        socket_->SetPort(Port);
        socket_->Connect();
        engine_.connectionStarted(WSocketResolveHost(address),
                                  WSocketResolvePort(socket_->Port(), "tcp"));
    } catch (const std::exception& failure) {
        // Inside Connect (a dotted address) the caller gets the exception.
        if (insideRequest_)
            throw;
        engine_.openFailed(failure.what());
    }
}

void TCustomSmtpClient::startTls() {
    try {
        socket_->StartTls({trimmed(Host), ExtraCaFile, AcceptUnverifiedCertificate});
    } catch (const std::exception& error) {
        engine_.tlsReady(tlsErrorProtocol, error.what());
    }
}

std::string TCustomSmtpClient::helloName() {
    std::string name = SignOn;
    if (name.empty()) {
        auto host = platform::localHostName();
        if (!host)
            throw ESocketException("Winsock.GetHostName failed");
        name = *host;
    }
    CheckNoLineBreak(name, "SignOn");
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

// ---- the message ----

void TCustomSmtpClient::startMessage() {
    for (const auto* value :
         {&HdrFrom, &HdrTo, &HdrCc, &HdrReplyTo, &HdrReturnPath, &HdrSubject, &HdrSender})
        CheckNoLineBreak(*value, "a header value");
    PrepareEmail();
    hdrLines_.clear();
    if (!OwnHeaders)
        hdrLines_ = buildHeader();
    hdrIndex_ = 0;
    lineNum_ = 0;
    moreLines_ = true;
}

bool TCustomSmtpClient::nextMessageLine(std::string& line, bool& isBody) {
    line.clear();
    isBody = hdrIndex_ >= hdrLines_.size();
    if (!isBody) {
        line = hdrLines_[hdrIndex_++];
        TriggerHeaderLine(line);
        return true;
    }
    if (!moreLines_)
        return false;
    ++lineNum_;
    try {
        TriggerGetData(lineNum_, line, bodyLineMaxLen, moreLines_);
    } catch (...) {
        moreLines_ = false;
        throw;
    }
    return moreLines_;
}

bool TCustomSmtpClient::nextMessageItem(std::string& item) {
    bool isBody = false;
    if (!nextMessageLine(item, isBody))
        return false;
    if (isBody)
        item = DotStuffed(item);
    return true;
}

std::vector<std::string> TCustomSmtpClient::MessageLines() {
    startMessage();
    std::vector<std::string> lines;
    std::string line;
    bool isBody = false;
    while (nextMessageLine(line, isBody))
        lines.push_back(line);
    hdrLines_.clear();
    return lines;
}

// ---- requests ----

void TCustomSmtpClient::Connect() {
    startSession(&SmtpEngine::connect);
}

void TCustomSmtpClient::Helo() {
    request([this] { engine_.helo(); });
}

void TCustomSmtpClient::Ehlo() {
    request([this] { engine_.ehlo(); });
}

void TCustomSmtpClient::Auth() {
    request([this] { engine_.auth(); });
}

void TCustomSmtpClient::Vrfy() {
    request([this] { engine_.vrfy(); });
}

void TCustomSmtpClient::MailFrom() {
    request([this] { engine_.mailFrom(); });
}

void TCustomSmtpClient::RcptTo() {
    request([this] { engine_.rcptTo(); });
}

void TCustomSmtpClient::Data() {
    request([this] { engine_.data(); });
}

void TCustomSmtpClient::Quit() {
    request([this] { engine_.quit(); });
}

void TCustomSmtpClient::Rset() {
    request([this] { engine_.rset(); });
}

void TCustomSmtpClient::Abort() {
    engine_.abort();
    perform();
}

void TCustomSmtpClient::Open() {
    startSession(&SmtpEngine::open);
}

void TCustomSmtpClient::Mail() {
    request([this] { engine_.mail(); });
}

void TCustomSmtpClient::AddRecipientLists(const std::string& toList, const std::string& ccList,
                                          const std::string& bccList) {
    std::string lists = toList;
    lists.append(";").append(ccList).append(";").append(bccList);
    for (auto& item : SplitAddressList(lists))
        RcptName.push_back(std::move(item));
}

// ---- header ----

// The header of a message, for Data and MessageLines alike.
std::vector<std::string> TCustomSmtpClient::buildHeader() {
    std::vector<std::string> h;
    if (!trimmed(HdrReplyTo).empty())
        addAddressListHeader(h, "Reply-To: ", HdrReplyTo);
    if (!trimmed(HdrReturnPath).empty())
        h.push_back("Return-Path: " + HdrReturnPath);
    if (!HdrFrom.empty())
        h.push_back("From: " + encodedAddress(HdrFrom));
    if (!HdrTo.empty())
        addAddressListHeader(h, "To: ", HdrTo);
    if (!HdrCc.empty())
        addAddressListHeader(h, "Cc: ", HdrCc);
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
    return h;
}

// To, Cc and Reply-To: one address per line, continuation lines starting with a TAB, a comma
// between the addresses.
void TCustomSmtpClient::addAddressListHeader(std::vector<std::string>& header,
                                             const std::string& name,
                                             const std::string& value) const {
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
    header.push_back(line);
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
