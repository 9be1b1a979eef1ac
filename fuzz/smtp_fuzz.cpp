// The SMTP engine fed whatever a server might answer, at every phase: the greeting, EHLO or
// HELO, each AUTH step, MAIL, RCPT, DATA, the end of the data and QUIT, with the connection
// closing or the TLS handshake failing in between. It must neither crash nor loop, never show
// the password in the log, and report a mail as delivered only after the server answered its
// final "." with a 2xx reply.
//
// Input: one byte of settings (AUTH method, connection security, where the message fails, HELO
// or EHLO),
// then the server's part as chunks separated by NUL bytes. A chunk that starts with 0x01 is an
// event of the connection instead (its second byte picks which).

#include "FuzzSupport.h"
#include "MessageHost.h"
#include "smtp/MimeUtil.h"
#include "smtp/SmtpAuth.h"
#include "smtp/SmtpEngine.h"
#include "smtp/SmtpText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace tafelbot;

namespace {

const std::string Passwort = "geheim-Kennwort";

// The requests of one mail in the order the send driver makes them, each once the one before
// has completed without error.
using Request = void (SmtpEngine::*)();

struct Driver {
    testing::MessageHost host;
    SmtpEngine engine{host};
    std::vector<Request> steps;
    std::size_t nextStep = 0;
    bool stepDone = false;
    bool endOfDataSent = false;
    bool repliedAfterEnd = false; // a 2xx reply line came after the final "."

    void request(void (SmtpEngine::*call)()) {
        try {
            (engine.*call)();
        } catch (const SmtpException&) {
            // misuse of a request is the caller's fault and is reported to it as such
        }
        settle();
    }

    // Answers the connection steps the engine asks for and checks what it reports, until it
    // asks for nothing more. A bounded number of rounds: an engine that keeps asking loops.
    void settle() {
        for (int round = 0; round < 1000; ++round) {
            const std::vector<SmtpAction> actions = engine.takeActions();
            if (actions.empty())
                return;
            for (const SmtpAction& a : actions)
                handle(a);
        }
        FUZZ_CHECK(!"the engine keeps asking without new input");
    }

    void handle(const SmtpAction& a) {
        switch (a.kind) {
        case SmtpAction::Lookup:
            engine.lookupDone(0, "127.0.0.1");
            break;
        case SmtpAction::OpenConnection:
            engine.connectionStarted(0x7F000001, 25);
            engine.connected(0);
            break;
        case SmtpAction::StartTls:
            engine.tlsReady(0, "");
            break;
        case SmtpAction::Send:
            FUZZ_CHECK(!a.text.empty());
            if (a.text.ends_with("\r\n.\r\n") || a.text == ".\r\n")
                endOfDataSent = true;
            engine.sendRoomAvailable();
            break;
        case SmtpAction::Response: {
            const ReplyCode reply = ParseReplyCode(a.text);
            if (endOfDataSent && reply.code / 100 == 2)
                repliedAfterEnd = true;
            break;
        }
        case SmtpAction::Display: // the lines that reach the info log (the Command event is the
        case SmtpAction::Trace:   // raw command, for a caller that sends it itself)
            if (a.text.starts_with("< "))
                break; // the server's own words, whatever it chose to echo
            FUZZ_CHECK(a.text.find(Passwort) == std::string::npos);
            FUZZ_CHECK(a.text.find(base64Encode(Passwort)) == std::string::npos);
            FUZZ_CHECK(a.text.find(AuthPlainResponse("konto", Passwort)) == std::string::npos);
            break;
        case SmtpAction::RequestDone:
            stepDone = a.code == 0;
            if (a.code == 0 && (a.request == smtpData || a.request == smtpMail))
                FUZZ_CHECK(endOfDataSent && repliedAfterEnd);
            break;
        default:
            break;
        }
    }

    // The next request once the last one went well, as often as requests complete at once.
    void proceed() {
        while (stepDone && nextStep < steps.size()) {
            stepDone = false;
            request(steps[nextStep++]);
        }
    }

    void serverSends(std::string_view bytes) {
        engine.received(bytes);
        settle();
    }

    void event(unsigned char which) {
        switch (which % 6) {
        case 0:
            engine.closed(0);
            break;
        case 1:
            engine.closed(10054);
            break;
        case 2:
            engine.tlsReady(10054, "Handshake abgebrochen");
            break;
        case 3:
            engine.sendRoomAvailable();
            break;
        case 4:
            request(&SmtpEngine::abort);
            return;
        default:
            request(&SmtpEngine::quit); // the caller gives up, wherever the session stands
            return;
        }
        settle();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const unsigned settings = data[0];
    Driver d;
    SmtpEngine::Settings& s = d.engine.settings;
    s.host = "mail.test";
    s.security = static_cast<TSmtpSecurity>(settings / 6 % 2); // automatic or none
    s.authType = static_cast<TSmtpAuthType>(settings % 6);
    s.username = "konto";
    s.password = Passwort;
    s.fromName = "Schule <buero@schule.test>";
    s.rcptName = {"a@x.test", "b@x.test"};
    d.host.message = {"Subject: Plan", "", "..Zeile", "Ende"};
    d.host.failAt = 7 - settings / 12 % 8; // below 4: the message fails at that item
    d.steps = {settings / 96 % 2 ? &SmtpEngine::helo : &SmtpEngine::ehlo};
    if (s.authType != smtpAuthNone)
        d.steps.push_back(&SmtpEngine::auth);
    d.steps.insert(d.steps.end(), {&SmtpEngine::mailFrom, &SmtpEngine::rcptTo, &SmtpEngine::data,
                                   &SmtpEngine::quit});
    d.request(&SmtpEngine::connect);
    d.proceed();

    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\0');
        const std::string_view chunk = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!chunk.empty() && chunk[0] == '\x01')
            d.event(chunk.size() > 1 ? static_cast<unsigned char>(chunk[1]) : 0);
        else
            d.serverSends(chunk);
        d.proceed();
    }
    d.request(&SmtpEngine::abort);
    return 0;
}
