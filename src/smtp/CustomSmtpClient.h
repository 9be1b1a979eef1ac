#pragma once

// An event-driven SMTP client. The caller issues one request at a time; each request sends its
// command line(s), judges the server's reply and ends with exactly one OnRequestDone, posted
// through the event loop so that a handler may issue the next request directly. Nothing blocks.
// TSmtpCli and THtmlSmtpCli derive from it and produce the message body. Where the session
// stands in the protocol is the engine's business (SmtpEngine.h); this face carries the
// properties and events, owns the socket and carries out what the engine asks for.

#include "platform/Net.h"
#include "smtp/EventLoop.h"
#include "smtp/SmtpEngine.h"
#include "smtp/SmtpTypes.h"
#include "smtp/TlsSession.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tafelbot {

class TWSocket;

class TCustomSmtpClient : private SmtpEngineHost {
public:
    explicit TCustomSmtpClient(EventLoop& loop);
    ~TCustomSmtpClient() override;
    TCustomSmtpClient(const TCustomSmtpClient&) = delete;
    TCustomSmtpClient& operator=(const TCustomSmtpClient&) = delete;

    // Properties set by the caller before the requests that use them.
    std::string Host;
    std::string Port = "smtp";
    std::string LocalAddr = "0.0.0.0";
    std::string SignOn; // empty: the local host name
    std::string Username;
    std::string Password;
    TSmtpAuthType AuthType = smtpAuthNone;
    // Sign-in with OAuth 2.0 (Microsoft 365, Google): the caller sets the access token it got
    // from the provider. With a token set, or OAuthRequired, Auth signs in as Username with
    // OAUTHBEARER where the server announces it, else XOAUTH2, whatever AuthType says, and never
    // with the password: a server that offers neither fails with oauthErrorNotOffered, a missing
    // token with oauthErrorNoToken (SmtpTypes.h), each with a German reason in ErrorMessage. The
    // token never reaches OnDisplay.
    std::string OAuthBearerToken;
    bool OAuthRequired = false;
    std::string FromName;              // envelope sender, parsed for MAIL FROM
    std::vector<std::string> RcptName; // envelope recipients, one per entry
    std::string HdrFrom;
    std::string HdrTo;
    std::string HdrCc;
    std::string HdrReplyTo;
    std::string HdrReturnPath;
    std::string HdrSubject;
    std::string HdrSender;
    TSmtpPriority HdrPriority = smtpPriorityNone;
    std::string CharSet = "iso-8859-1";
    bool OwnHeaders = false; // true: the caller supplies every header line itself
    int Tag = 0;

    // Connection security. A failed handshake or verification, a refused STARTTLS or a
    // server without the encryption the setting demands completes the request with a
    // tlsError... code (TlsSession.h), ErrorMessage naming the reason, and drops the
    // connection: nothing ever falls back to plain text. STARTTLS runs inside Ehlo: the caller
    // sees one completion, with the capabilities of the encrypted session.
    TSmtpSecurity Security = smtpSecurityAuto;
    bool AcceptUnverifiedCertificate = false; // a certificate that fails verification passes
    std::string ExtraCaFile;                  // trusted besides the system's store
    bool TlsActive() const { return engine_.tlsActive(); }
    TlsInfo TlsSessionInfo() const;

    TSmtpContentType ContentType() const { return contentType_; }
    // Also sets the content type text: "text/plain" or "text/html".
    virtual void SetContentType(TSmtpContentType type);

    TSmtpState State() const { return engine_.state(); }
    // The first refusal line since the last Connect.
    const std::string& ErrorMessage() const { return engine_.errorMessage(); }
    const std::string& LastResponse() const { return engine_.lastResponse(); }

    // Events.
    std::function<void(TCustomSmtpClient& sender, const std::string& msg)> OnDisplay;
    std::function<void(TCustomSmtpClient& sender, const std::string& command)> OnCommand;
    std::function<void(TCustomSmtpClient& sender, const std::string& line)> OnResponse;
    std::function<void(TCustomSmtpClient& sender, TSmtpRequest rqType, std::uint16_t errorCode)>
        OnRequestDone;
    std::function<void(TCustomSmtpClient& sender, int error)> OnSessionConnected;
    std::function<void(TCustomSmtpClient& sender, int error)> OnSessionClosed;
    std::function<void(TCustomSmtpClient& sender, int lineNum, std::string& msgLine, int maxLen,
                       bool& more)>
        OnGetData;
    std::function<void(TCustomSmtpClient& sender, std::string& line)> OnHeaderLine;
    std::function<void(TCustomSmtpClient& sender, std::vector<std::string>& hdrLines)>
        OnProcessHeader;
    // The handshake is done (before the banner, or before the EHLO that follows STARTTLS).
    std::function<void(TCustomSmtpClient& sender, const TlsInfo& info)> OnTlsStarted;
    // Every move of the protocol engine ("Banner -> Ehlo"), for a debug log.
    std::function<void(TCustomSmtpClient& sender, const std::string& step)> OnTrace;

    // Requests. Each raises SmtpException "SMTP component not ready" unless the client is ready,
    // and the ones that send a command "SMTP component not connected" without a connection.
    virtual void Connect();
    virtual void Helo();
    virtual void Ehlo();
    virtual void Auth();
    virtual void Vrfy();
    virtual void MailFrom();
    virtual void RcptTo();
    virtual void Data();
    virtual void Quit();
    virtual void Rset();
    // Closes at once; a request in flight completes with 10004 (426 inside Open or Mail).
    virtual void Abort();
    virtual void Open(); // Connect, then Helo or Ehlo + Auth: one completion
    virtual void Mail(); // MailFrom, RcptTo, Data: one completion

    // The lines Data would transmit with the properties as they stand: the header, the empty
    // line that ends it and the body items, before dot-stuffing. Nothing goes over the network
    // (a preview of the mail); raises SmtpException where Data would.
    std::vector<std::string> MessageLines();

    // Appends the addresses of three header-style lists (To, Cc, Bcc) to RcptName.
    void AddRecipientLists(const std::string& toList, const std::string& ccList,
                           const std::string& bccList);

protected:
    virtual void TriggerDisplay(const std::string& msg);
    virtual void TriggerCommand(const std::string& command);
    virtual void TriggerResponse(const std::string& line);
    virtual void TriggerRequestDone(TSmtpRequest rqType, std::uint16_t errorCode);
    virtual void TriggerStateChange(TSmtpState oldState, TSmtpState newState);
    // Produces body line lineNum (1, 2, ...) into msgLine; the line may hold several lines
    // separated by CR LF. Base: OnGetData, or more = false when none is assigned.
    virtual void TriggerGetData(int lineNum, std::string& msgLine, int maxLen, bool& more);
    virtual void TriggerHeaderLine(std::string& line);
    virtual void TriggerProcessHeader(std::vector<std::string>& hdrLines);
    virtual void TriggerSessionConnected(int error);
    virtual void TriggerSessionClosed(int error);
    virtual void TriggerTlsStarted(const TlsInfo& info);
    virtual void SendCommand(const std::string& command);
    // Runs first in Data, before the header is built.
    virtual void PrepareEmail();

    const std::string& ContentTypeText() const { return contentTypeText_; }
    // The header lines Data built (a line may hold continuation lines after CR LF).
    std::vector<std::string>& HeaderLines() { return hdrLines_; }
    EventLoop& Loop() { return loop_; }

private:
    // SmtpEngineHost: what the engine pulls while it works.
    std::string helloName() override;
    void startMessage() override;
    bool nextMessageItem(std::string& item) override;
    // The next line of the message being produced, as the hooks give it (not dot-stuffed).
    bool nextMessageLine(std::string& line, bool& isBody);

    // Hands the properties to the engine, runs the request and carries out what it asks for.
    template <typename Request>
    void request(Request&& call);
    void syncSettings();
    void startSession(void (SmtpEngine::*start)());
    void perform();
    void execute(const SmtpAction& action);
    void openConnection(const std::string& address);
    void startTls();

    std::vector<std::string> buildHeader();
    void addAddressListHeader(std::vector<std::string>& header, const std::string& name,
                              const std::string& value) const;
    std::string encodedAddress(const std::string& item) const;
    std::string messageIdDomain() const;

    EventLoop& loop_;
    SmtpEngine engine_;
    std::unique_ptr<TWSocket> socket_;
    std::shared_ptr<bool> alive_;
    std::vector<SmtpAction> pending_; // actions not carried out yet, in order
    std::size_t nextPending_ = 0;
    bool insideRequest_ = false;

    TSmtpContentType contentType_ = smtpPlainText;
    std::string contentTypeText_ = "text/plain";

    std::vector<std::string> hdrLines_;
    std::size_t hdrIndex_ = 0;
    int lineNum_ = 0;
    bool moreLines_ = false;
};

} // namespace tafelbot
