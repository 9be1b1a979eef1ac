#pragma once

// The SMTP protocol without a socket, a loop or a clock. The client face (TCustomSmtpClient)
// feeds it the caller's requests and what the connection reports (received bytes, connect,
// handshake, close); the engine answers with actions: bytes to send, connection steps to take
// and events to raise, in the order they must happen. It pulls the hello name and the message
// from its host while it works. Every reply is judged by the handler of the phase that waits
// for it; setPhase is the only way to move on.
//
// The caller's requests raise SmtpException on misuse, as the client's do.

#include "platform/Net.h"
#include "smtp/LineSplitter.h"
#include "smtp/SmtpTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tafelbot {

// Whether AUTH may send a password without TLS: with the security setting "none", or to a
// loopback address (a server on the same machine) in the automatic mode.
bool PlainPasswordAllowed(TSmtpSecurity security, bool tlsActive, platform::Ipv4 peer);

// What the engine asks its owner for while it works.
class SmtpEngineHost {
public:
    virtual ~SmtpEngineHost() = default;
    // The name for HELO and EHLO; may throw.
    virtual std::string helloName() = 0;
    // Starts the message for DATA; may throw to refuse it before anything goes out.
    virtual void startMessage() = 0;
    // The next item as it goes on the wire (a header line, or a dot-stuffed body item whose
    // lines are separated by CR LF), without its final CR LF; false when the message is
    // complete. May throw: the message is then cut off and never ended with ".".
    virtual bool nextMessageItem(std::string& item) = 0;
};

struct SmtpAction {
    enum Kind {
        // The connection.
        Send,            // text: the bytes
        Lookup,          // text: the host name
        CancelLookup,    //
        OpenConnection,  // text: the address found; answer with connectionStarted or openFailed
        StartTls,        // the handshake on the open connection; answer with tlsReady
        CloseConnection, // gracefully; its close is already accounted for
        AbortConnection, // at once; likewise
        // Events for the caller.
        Display,          // text
        Command,          // text
        Response,         // text: one reply line
        SessionConnected, // code: error
        SessionClosed,    // code: error
        RequestDone,      // request, code; delivered later, never inside the call
        TlsStarted,       //
        StateChanged,     // code: old TSmtpState, request: new one (as a number)
        Trace,            // text: "A -> B", for a debug log
    };
    Kind kind;
    std::string text;
    int code = 0;
    int request = 0;
};

class SmtpEngine {
public:
    // Taken from the client's properties before every request.
    struct Settings {
        std::string host;
        TSmtpSecurity security = smtpSecurityAuto;
        TSmtpAuthType authType = smtpAuthNone;
        std::string username;
        std::string password;
        std::string fromName;              // parsed for MAIL FROM
        std::vector<std::string> rcptName; // parsed for RCPT TO
        std::string vrfyName;
        std::string oauthToken; // set: sign in with OAuth 2.0
        bool oauthRequired = false;
    };

    explicit SmtpEngine(SmtpEngineHost& host);

    Settings settings;

    TSmtpState state() const { return state_; }
    bool connected() const { return connected_; }
    bool tlsActive() const { return tlsActive_; }
    bool requestDone() const { return requestDone_; }
    const std::string& errorMessage() const { return errorMessage_; }
    const std::string& lastResponse() const { return lastResponse_; }

    // Requests.
    void connect();
    void helo();
    void ehlo();
    void auth();
    void vrfy();
    void mailFrom();
    void rcptTo();
    void data();
    void quit();
    void rset();
    void open();
    void mail();
    void abort();
    // The connection step of connect (Lookup or OpenConnection) raised out of the caller's
    // request: the request is void, the client ready again.
    void connectRaised();

    // What the connection reports.
    void lookupDone(int error, const std::string& address);
    void connectionStarted(platform::Ipv4 peer, std::uint16_t port);
    void openFailed(const std::string& reason);
    void connected(int error);
    void tlsReady(int error, const std::string& reason);
    void received(std::string_view bytes);
    // Everything queued has gone out.
    void sendRoomAvailable();
    void closed(int error);
    // A handler of the caller's failed while an event of the connection was handled; the
    // connection is dropped after this.
    void handlerFailed(const std::string& reason);

    // The actions since the last call, in order.
    std::vector<SmtpAction> takeActions();

private:
    enum class Phase {
        Idle,
        Lookup,
        Connecting,
        TlsBeforeBanner,
        Banner,
        Helo,
        Ehlo,
        StartTls,
        TlsAfterStartTls,
        AuthPlain,
        AuthLogin,
        AuthLoginUser,
        AuthLoginPassword,
        AuthCram,
        AuthCramAnswer,
        AuthXOAuth2,
        AuthOAuthBearer,
        AuthOAuthError,
        Vrfy,
        MailFrom,
        RcptTo,
        Data,
        Body,
        EndOfData,
        Quit,
        Rset,
    };
    static const char* phaseName(Phase phase);

    void setPhase(Phase phase);
    void setState(TSmtpState state);
    void act(SmtpAction::Kind kind, std::string text = {}, int code = 0, int request = 0);
    void display(const std::string& text) { act(SmtpAction::Display, text); }

    void checkReady() const;
    void checkConnected() const;
    void checkRecipients() const;
    void beginRequest(TSmtpRequest request);
    // Sends a command and waits for its reply in `phase`; `shown` replaces a secret in the log,
    // `before` goes out in the same write ahead of it (the last body lines before ".").
    void command(TSmtpRequest request, Phase phase, const std::string& text,
                 std::vector<int> okCodes, const std::string& shown = {}, std::string before = {});
    // The next command of a request that runs several.
    void nextCommand(TSmtpRequest request, Phase phase, const std::string& text,
                     std::vector<int> okCodes, const std::string& shown = {},
                     std::string before = {});
    void recordError(const std::string& line);
    void failWith(int code, const std::string& line);
    void complete(int code);
    // Ends the connection from this side; the close it causes is handled here at once.
    void dropConnection(SmtpAction::Kind how);

    void lineReceived(const std::string& line);
    void replyLineTooLong();
    void bannerLine(const std::string& line);
    void judge(const std::string& line);
    void replyJudged();
    void noteCapabilities(const std::string& line);

    void ehloDone();
    void beginStartTls();
    void startTlsReplied();
    void tlsFailed(int code, const std::string& reason);
    void startAuthPlain();
    void startAuthLogin();
    void startAuthCram(bool sha1);
    void authPlainDone();
    void authLoginStarted();
    void authLoginUserDone();
    void authCramStarted();
    bool autoSelectRefused(void (SmtpEngine::*fallback)());
    void startOAuth();
    void oauthReplied(const std::string& answerToError);
    void rcptToNext();
    void dataAccepted();
    void pumpStep();
    void quitReplied();

    void runNextStep(bool raiseErrors);
    void startCombined();
    void runStep(TSmtpRequest step);
    void combinedStepDone(int code);

    SmtpEngineHost& host_;
    std::vector<SmtpAction> actions_;
    LineSplitter lines_{"\r\n"};

    Phase phase_ = Phase::Idle;
    TSmtpState state_ = smtpReady;
    std::string errorMessage_;
    std::string lastResponse_;
    int statusCode_ = 0;
    int requestResult_ = 0;
    bool connected_ = false;
    bool transportOpen_ = false; // a close of the connection is still to come
    bool esmtp_ = false;
    bool requestDone_ = true;
    TSmtpRequest request_ = smtpConnect; // the kind reported on completion
    TSmtpRequest command_ = smtpConnect; // the kind of the command in flight
    std::vector<int> okCodes_;
    std::vector<std::string> authTypes_; // announced by EHLO, upper case, no duplicates

    bool implicitTls_ = false;
    bool tlsActive_ = false;
    bool startTlsOffered_ = false;
    platform::Ipv4 peer_ = 0;
    std::uint16_t port_ = 0;
    std::string helloName_;

    bool autoSelect_ = false;
    bool cramSha1_ = false;
    std::string errorBeforeAttempt_;
    std::vector<std::string> recipients_;
    std::size_t rcptIndex_ = 0;
    bool pumping_ = false;

    bool combined_ = false;
    unsigned steps_ = 0; // a bit per TSmtpRequest still to run
    TSmtpRequest previousStep_ = smtpConnect;
    int combinedResult_ = 0;
};

} // namespace tafelbot
