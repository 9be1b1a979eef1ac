// The SMTP engine by transcripts: the caller's requests and the server's replies go in, the exact
// lines the client sends and what it reports come out. No socket, no loop, no time.

#include "smtp/SmtpEngine.h"

#include "MessageHost.h"
#include "smtp/MimeUtil.h"
#include "smtp/SmtpAuth.h"
#include "smtp/TlsSession.h"
#include "support/SmtpSession.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace tafelbot {
namespace {

using Lines = std::vector<std::string>;

// Runs a dialogue against the engine: its inputs are a request ("ehlo", "auth", ...), "S: " + what
// the server sends (lines joined by "|"), "S- " + the start of a line, what the connection
// reports ("sent", "closed", "reset", "tls 901") or
// "3rd item unreadable" (the message fails there). "connect" and "open" also bring the
// connection up to the banner. Its outputs, expected right after the input that causes them, are
// the lines sent ("C: ..."), "done <request> <code>", "closed <error>", "starttls" and "drop"
// (the client ends the connection).
struct Transcript {
    testing::MessageHost host;
    SmtpEngine engine{host};
    Lines out;
    Lines shown; // the log lines the client displays

    explicit Transcript(TSmtpAuthType auth = smtpAuthNone,
                        TSmtpSecurity security = smtpSecurityAuto) {
        engine.settings.host = "mail.test";
        engine.settings.security = security;
        engine.settings.authType = auth;
        engine.settings.username = "konto";
        engine.settings.password = "geheim";
        engine.settings.fromName = "Schule <buero@schule.test>";
        engine.settings.rcptName = {"a@x.test", "Bernd <b@x.test>", "\"C, D\" <c@x.test>"};
    }

    void step(const std::string& s) {
        static const std::map<std::string, void (SmtpEngine::*)()> requests = {
            {"helo", &SmtpEngine::helo},      {"ehlo", &SmtpEngine::ehlo},
            {"auth", &SmtpEngine::auth},      {"mail from", &SmtpEngine::mailFrom},
            {"rcpt to", &SmtpEngine::rcptTo}, {"data", &SmtpEngine::data},
            {"mail", &SmtpEngine::mail},      {"quit", &SmtpEngine::quit},
            {"abort", &SmtpEngine::abort},    {"sent", &SmtpEngine::sendRoomAvailable}};
        if (s.rfind("S: ", 0) == 0) {
            std::string bytes;
            for (char c : s.substr(3) + "|")
                bytes += c == '|' ? std::string("\r\n") : std::string(1, c);
            engine.received(bytes);
        } else if (s.rfind("S- ", 0) == 0) {
            engine.received(s.substr(3));
        } else if (s == "3rd item unreadable") {
            host.failAt = 2;
        } else if (auto request = requests.find(s); request != requests.end()) {
            (engine.*request->second)();
        } else if (s == "connect" || s == "open" || s == "connect elsewhere") {
            s == "open" ? engine.open() : engine.connect();
            engine.lookupDone(0, "127.0.0.1");
            engine.connectionStarted(s == "connect elsewhere" ? 0x0A000005 : 0x7F000001, 25);
            engine.connected(0);
        } else if (s == "closed" || s == "reset") {
            engine.closed(s == "closed" ? 0 : 10054);
        } else if (s.rfind("tls ", 0) == 0) {
            engine.tlsReady(std::stoi(s.substr(4)), "Grund");
        } else {
            ADD_FAILURE() << "unknown step " << s;
        }
        record();
    }

    Lines run(const Lines& script) {
        for (const auto& s : script)
            step(s);
        return out;
    }

    static bool isOutput(const std::string& s) {
        return s.rfind("C: ", 0) == 0 || s.rfind("done ", 0) == 0 || s.rfind("closed ", 0) == 0 ||
               s == "drop" || s == "starttls";
    }

    // The inputs of `expected` with what each one brought out, to compare with `expected`.
    Lines dialogue(const Lines& expected) {
        out.clear();
        for (const auto& s : expected)
            if (!isOutput(s)) {
                out.push_back(s);
                step(s);
            }
        return out;
    }

    void record() {
        for (const SmtpAction& a : engine.takeActions()) {
            if (a.kind == SmtpAction::Send) {
                for (std::size_t at = 0, end; (end = a.text.find("\r\n", at)) != std::string::npos;
                     at = end + 2)
                    out.push_back("C: " + a.text.substr(at, end - at));
            } else if (a.kind == SmtpAction::RequestDone) {
                out.push_back("done " + std::to_string(a.request) + " " + std::to_string(a.code));
            } else if (a.kind == SmtpAction::SessionClosed) {
                out.push_back("closed " + std::to_string(a.code));
            } else if (a.kind == SmtpAction::StartTls) {
                out.push_back("starttls");
            } else if (a.kind == SmtpAction::AbortConnection ||
                       a.kind == SmtpAction::CloseConnection) {
                out.push_back("drop");
            } else if (a.kind == SmtpAction::Display) {
                shown.push_back(a.text);
            }
        }
    }
};

const std::string plain = AuthPlainResponse("konto", "geheim");
const std::string challenge = "<1896.697170952@postoffice.reston.mci.net>";

TEST(SmtpEngineTest, AWholeSessionWithMultiLineRepliesAndQuitEndingOnTheClose) {
    Transcript t(smtpAuthLogin);
    // clang-format off
    const Lines dialogue = {
        "connect", "S: 220-mail.test ESMTP", "S: 220 welcome", "done 0 0",
        "ehlo", "C: EHLO client.test",
        "S: 250-mail.test greets you|250-AUTH PLAIN LOGIN|250 OK", "done 10 0",
        "auth", "C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: " + base64Encode("konto"),
        "S: 334 UGFzc3dvcmQ6", "C: " + base64Encode("geheim"), "S: 235 ok", "done 11 0",
        "mail from", "C: MAIL FROM:<buero@schule.test>", "S: 250 ok", "done 2 0",
        "rcpt to", "C: RCPT TO:<a@x.test>", "S: 250 ok", "C: RCPT TO:<b@x.test>", "S: 250 ok",
        "C: RCPT TO:<c@x.test>", "S: 250 ok", "done 4 0",
        "data", "C: DATA", "S: 354 go", "C: Subject: x", "C: ", "C: ..", "C: last", "C: .",
        "sent", "S: 250 queued", "done 5 0",
        "quit", "C: QUIT", "S: 221 bye", "closed", "closed 0", "done 6 0"};
    // clang-format on
    EXPECT_EQ(t.dialogue(dialogue), dialogue);
    EXPECT_EQ(t.engine.lastResponse(), "221 bye");
    EXPECT_EQ(t.engine.errorMessage(), "");
    // Every line shown, the password masked.
    EXPECT_EQ(t.shown[0], "< 220-mail.test ESMTP");
    EXPECT_NE(std::find(t.shown.begin(), t.shown.end(), "> ********"), t.shown.end());
}

// Each dialogue runs on a fresh engine; one that starts with a reply follows a connect and EHLO.
// The error is the client's message at the end; secrets reach the wire, never the log.
TEST(SmtpEngineTest, DialoguesEndWithTheRightCompletionsAndError) {
    struct Case {
        std::string what;
        TSmtpAuthType auth;
        Lines dialogue;
        std::string error;
        TSmtpSecurity security = smtpSecurityAuto;
        std::string token = ""; // OAuth
        bool oauthRequired = false;
    };
    const std::string cram = "C: " + CramResponse("konto", "geheim", challenge, true);
    const std::string bearer = "auth=Bearer tok\x01\x01";
    const std::string xoauth2 = "C: AUTH XOAUTH2 " + base64Encode("user=konto\x01" + bearer);
    const std::string oauthbearer =
        "C: AUTH OAUTHBEARER " +
        base64Encode("n,a=konto,\x01host=mail.test\x01port=25\x01" + bearer);
    const std::string jsonError = "S: 334 " + base64Encode("{\"status\":\"401\"}");
    const std::string ok = "done 10 0", in = "done 11 0";
    const std::string banner = "S: 220 hi", ehlo = "C: EHLO client.test";
    const std::string noStartTls = "905 Der Server bietet kein STARTTLS an; die Einstellung "
                                   "\"STARTTLS erforderlich\" verlangt es.";
    // clang-format off
    const Case cases[] = {
        // The banner and the EHLO reply in one read: Open goes straight on with its EHLO step.
        {"replies together or in pieces", smtpAuthNone,
         {"open", "S: 220 hi|250 hello", ehlo, "done 8 0", "mail from",
          "C: MAIL FROM:<buero@schule.test>", "S- 25", "S: 0 ok", "done 2 0"}, ""},
        // A refused recipient does not stop the others; the last reply decides.
        {"recipients", smtpAuthNone,
         {"S: 250 ok", ok, "rcpt to", "C: RCPT TO:<a@x.test>", "S: 250 ok",
          "C: RCPT TO:<b@x.test>", "S: 550 no such user", "C: RCPT TO:<c@x.test>",
          "S: 251 will forward", "done 4 0", "data", "C: DATA", "S: 451 later", "done 5 451"},
         "550 no such user"},
        {"Mail goes no further when every recipient is refused", smtpAuthNone,
         {"S: 250 ok", ok, "mail", "C: MAIL FROM:<buero@schule.test>", "S: 250 ok",
          "C: RCPT TO:<a@x.test>", "S: 550 unknown", "C: RCPT TO:<b@x.test>", "S: 550 unknown",
          "C: RCPT TO:<c@x.test>", "S: 550 unknown", "done 9 550"}, "550 unknown"},
        {"a body that fails halfway is never ended with a full stop", smtpAuthNone,
         {"S: 250 ok", ok, "3rd item unreadable", "data", "C: DATA", "S: 354 go",
          "C: Subject: x", "C: ", "done 5 500", "drop", "closed 0"},
         "500 Message body could not be produced: attachment unreadable"},

        // OAuth, never the password (which mechanism where both are announced, and a token
        // accepted: the real-server and command-line OAuth tests). A 334 carries the server's
        // error; an empty line (XOAUTH2) or ^A answers it.
        {"XOAUTH2 refused", smtpAuthNone,
         {"S: 250 AUTH XOAUTH2", ok, "auth", xoauth2, jsonError, "C: ",
          "S: 535 5.7.3 Authentication unsuccessful", "done 11 535"},
         "535 5.7.3 Authentication unsuccessful", smtpSecurityAuto, "tok"},
        {"OAUTHBEARER refused", smtpAuthNone,
         {"S: 250 AUTH OAUTHBEARER", ok, "auth", oauthbearer, jsonError, "C: AQ==", "S: 535 no",
          "done 11 535"}, "535 no", smtpSecurityAuto, "tok"},
        {"neither announced", smtpAuthAutoSelect,
         {"S: 250 AUTH PLAIN LOGIN", ok, "auth", "done 11 906"},
         "906 Der Server bietet keine Anmeldung mit OAuth 2.0 an (weder OAUTHBEARER noch "
         "XOAUTH2). Pr\xFC" "fen Sie in den Server-Einstellungen den Server und die Anmeldeart.",
         smtpSecurityAuto, "tok"},
        {"no token", smtpAuthLogin, {"S: 250 AUTH LOGIN XOAUTH2", ok, "auth", "done 11 907"},
         "907 F\xFCr die Anmeldung mit OAuth 2.0 liegt kein Zugriffstoken vor. Bitte melden Sie "
         "sich erneut an.", smtpSecurityAuto, "", true},
        {"the AUTH= form", smtpAuthAutoSelect,
         {"S: 250-mail.test|250-AUTH=LOGIN CRAM-SHA1|250 SIZE 100", ok, "auth",
          "C: AUTH CRAM-SHA1", "S: 334 " + base64Encode(challenge), cram, "S: 235 ok", in}, ""},
        {"AUTH PLAIN and LOGIN: LOGIN", smtpAuthAutoSelect,
         {"S: 250 AUTH PLAIN LOGIN", ok, "auth", "C: AUTH LOGIN", "S: 334 x", "C: a29udG8=",
          "S: 334 x", "C: Z2VoZWlt", "S: 235 ok", in}, ""},
        // Each 504 tries the next method within the same request: one completion.
        {"504 fallbacks", smtpAuthAutoSelect,
         {"S: 250 no auth line", ok, "auth", "C: AUTH CRAM-MD5", "S: 504 not that",
          "C: AUTH LOGIN", "S: 504 not that either", "C: AUTH PLAIN " + plain, "S: 235 ok", in},
         ""},
        // A refusal other than 504 ends AutoSelect: the method could not be agreed on.
        {"535 in AutoSelect", smtpAuthAutoSelect,
         {"S: 250 ok", ok, "auth", "C: AUTH CRAM-MD5", "S: 535 no", "done 11 535"},
         "500 Authentication Type could not be determined."},
        {"PLAIN refused in AutoSelect", smtpAuthAutoSelect,
         {"S: 250 AUTH PLAIN", ok, "auth", "C: AUTH PLAIN " + plain, "S: 535 no", "done 11 535"},
         "500 Authentication Type could not be determined."},
        // A wrong password after a fallback is reported as what it is.
        {"a wrong password", smtpAuthAutoSelect,
         {"S: 250 AUTH=CRAM-MD5 LOGIN", ok, "auth", "C: AUTH CRAM-MD5", "S: 504 no",
          "C: AUTH LOGIN", "S: 334 x", "C: a29udG8=", "S: 334 x", "C: Z2VoZWlt",
          "S: 535 wrong password", "done 11 535"}, "535 wrong password"},
        {"CRAM-SHA1 has no fallback", smtpAuthCramSha1,
         {"S: 250 ok", ok, "auth", "C: AUTH CRAM-SHA1", "S: 504 no", "done 11 504"}, "504 no"},
        {"LOGIN refuses the user", smtpAuthLogin,
         {"S: 250 ok", ok, "auth", "C: AUTH LOGIN", "S: 334 x", "C: a29udG8=", "S: 535 who?",
          "done 11 535"}, "535 who?"},
        // Without EHLO, or with a malformed challenge, AUTH fails with the client's own 500.
        {"after HELO", smtpAuthPlain,
         {"connect", banner, "done 0 0", "helo", "C: HELO client.test", "S: 250 ok", "done 1 0",
          "auth", "done 11 500"}, "500 ESMTP not supported."},
        {"a malformed challenge", smtpAuthCramSha1,
         {"S: 250 ok", ok, "auth", "C: AUTH CRAM-SHA1", "S: 334", "done 11 500"},
         "500 Malformed SHA1 Challege: 334"},
        {"none chosen", smtpAuthNone, {"S: 250 ok", ok, "auth", "done 11 500"},
         "500 No Authentication Type Selected."},

        // Without AUTH the automatic mode still greets with EHLO, to see an offer of STARTTLS;
        // a server that does not know EHLO gets HELO within the same request.
        {"EHLO refused", smtpAuthNone,
         {"open", banner, ehlo, "S: 502 what?", "C: HELO client.test", "S: 250 ok", "done 8 0"},
         ""},
        {"HELO with none", smtpAuthNone,
         {"open", banner, "C: HELO client.test", "S: 250 ok", "done 8 0"}, "", smtpSecurityNone},
        // With AUTH an old server gets HELO and no AUTH at all.
        {"Open falls back to HELO", smtpAuthLogin,
         {"open", banner, ehlo, "S: 502 what?", "C: HELO client.test", "S: 250 ok", "done 8 0"},
         "502 what?"},
        {"STARTTLS refused", smtpAuthPlain,
         {"S: 250-mail.test|250 STARTTLS", "C: STARTTLS", "S: 454 4.7.0 TLS not available",
          "done 10 904", "drop", "closed 0"},
         "904 Der Server lehnt STARTTLS ab: 454 4.7.0 TLS not available"},
        // Replies slipped in before the handshake would pass for the encrypted server's.
        {"plain text after the 220", smtpAuthPlain,
         {"S: 250 STARTTLS", "C: STARTTLS", "S: 220 go|250 AUTH PLAIN", "done 10 900", "drop",
          "closed 0"},
         "900 Der Server hat nach seiner Antwort auf STARTTLS unverschl\xFCsselt weitergesendet.",
         smtpSecurityStartTls},
        {"a failed handshake", smtpAuthPlain,
         {"S: 250 STARTTLS", "C: STARTTLS", "S: 220 go", "starttls", "tls 901", "done 10 901",
          "drop", "closed 0"}, "901 Grund", smtpSecurityStartTls},
        {"no STARTTLS where demanded", smtpAuthPlain,
         {"S: 250 AUTH PLAIN", "done 10 905", "drop", "closed 0"}, noStartTls,
         smtpSecurityStartTls},
        // Open greets with EHLO, which STARTTLS needs, and gives up without HELO.
        {"Open without STARTTLS where demanded", smtpAuthNone,
         {"open", banner, ehlo, "S: 250 mail.test", "done 8 905", "drop", "closed 0"}, noStartTls,
         smtpSecurityStartTls},
        {"a password in plain text to a stranger", smtpAuthPlain,
         {"connect elsewhere", banner, "done 0 0", "ehlo", ehlo, "S: 250 AUTH PLAIN", "done 10 0",
          "auth", "done 11 905"},
         "905 Der Server bietet keine Verschl\xFCsselung an; das Kennwort wird nicht "
         "unverschl\xFCsselt gesendet. Ist das f\xFCr diesen Server gewollt, w\xE4hlen Sie in den "
         "Server-Einstellungen bei \"Verbindungssicherheit:\" den Eintrag \"Keine\"."},

        // A banner other than 220: the close ends the request.
        {"a refusing banner", smtpAuthLogin,
         {"connect", "S: 554 go away", "drop", "closed 0", "done 0 10004"}, "554 go away"},
        // Garbage instead of a reply is never taken for a success.
        {"garbage", smtpAuthLogin, {"S: hello there", "done 10 500"}, "hello there"},
        // Only the reply each step waits for counts: a 250 to DATA sends no body.
        {"DATA answered without 354", smtpAuthLogin,
         {"S: 250 ok", ok, "data", "C: DATA", "S: 250 ok", "done 5 250"}, "250 ok"},
        {"a reset while waiting", smtpAuthLogin,
         {"connect", banner, "done 0 0", "ehlo", ehlo, "reset", "closed 10054", "done 10 10004"},
         ""},
        {"abort while waiting for the banner", smtpAuthLogin,
         {"connect", "abort", "drop", "closed 0", "done 0 10004"}, ""},
        {"abort inside Open", smtpAuthLogin, {"open", "abort", "drop", "closed 0", "done 8 426"},
         "426 Operation aborted."},
        // 5 kB without a line end do not fit the receive buffer: a protocol error.
        {"a line too long", smtpAuthLogin,
         {"connect", "S: " + std::string(5000, 'x'), "done 0 500", "drop", "closed 0"},
         "500 Server reply line longer than 4094 characters."},
    };
    // clang-format on
    const Lines connect = {"connect", banner, "done 0 0", "ehlo", ehlo};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Transcript t(c.auth, c.security);
        t.engine.settings.oauthToken = c.token;
        t.engine.settings.oauthRequired = c.oauthRequired;
        if (c.dialogue[0].rfind("S: ", 0) == 0) {
            EXPECT_EQ(t.dialogue(connect), connect);
        }
        EXPECT_EQ(t.dialogue(c.dialogue), c.dialogue);
        EXPECT_EQ(t.engine.errorMessage(), c.error);
        EXPECT_EQ(t.engine.state(), smtpReady);
        for (const auto& line : t.shown)
            for (const std::string& secret :
                 {plain, std::string("Z2VoZWlt"), xoauth2.substr(16), oauthbearer.substr(20)})
                EXPECT_EQ(line.find(secret), std::string::npos) << line;
    }
}

// One pump step fills the send buffer's chunks (just under 64 KiB) and writes once; the next
// step waits for that write to go out, and none follows a lost connection.
TEST(SmtpEngineTest, TheBodyGoesOutInBufferSizedWritesUntilTheConnectionGoes) {
    Transcript t;
    t.host.message.assign(100, std::string(998, 'x'));
    t.run({"connect", "S: 220 hi", "helo", "S: 250 ok", "data"});
    t.out.clear();
    t.step("S: 354 go");
    EXPECT_EQ(t.out.size(), 65u); // 64 lines of 1000 bytes fill less than 44 chunks of 1460
    t.step("S: 250 too early");   // only the reply to the final dot says the mail is delivered
    EXPECT_EQ(t.out.size(), 65u);
    t.step("sent");
    EXPECT_EQ(t.out.size(), 101u);
    EXPECT_EQ(t.out.back(), "C: .");
    // One log line per line sent.
    EXPECT_EQ(std::count(t.shown.begin(), t.shown.end(), "> " + t.host.message[0]), 100);
    t.out.clear();
    t.run({"S: 250 ok", "data", "S: 354 go", "closed", "sent"});
    EXPECT_EQ(t.out.size(), 2u + 65u + 2u);
    EXPECT_EQ(Lines(t.out.end() - 2, t.out.end()), (Lines{"closed 0", "done 5 10004"}));
}

TEST(SmtpEngineTest, MisuseRaisesTheExactTexts) {
    const auto text = testing::thrownText<SmtpException>;
    Transcript t;
    EXPECT_EQ(text([&] { t.engine.helo(); }), "SMTP component not connected");
    t.engine.quit(); // not connected: completes with 0
    t.record();
    EXPECT_EQ(t.out, Lines{"done 6 0"});
    t.engine.connect();
    EXPECT_EQ(text([&] { t.engine.connect(); }), "SMTP component not ready");
    t.run({"abort", "connect", "S: 220 hi"});
    EXPECT_EQ(text([&] { t.engine.connect(); }), "SMTP component already connected");
    t.engine.settings.rcptName.clear();
    EXPECT_EQ(text([&] { t.engine.rcptTo(); }), "RcptName list is empty");
    t.engine.settings.fromName = "a@x.test>\r\nRCPT TO:<victim@y.test";
    EXPECT_EQ(text([&] { t.engine.mailFrom(); }), "Invalid character (CR, LF or NUL) in FromName");
    t.engine.settings.rcptName = {std::string("c@x.test\0", 9)};
    EXPECT_EQ(text([&] { t.engine.mail(); }), "Invalid character (CR, LF or NUL) in RcptName");
    EXPECT_EQ(t.engine.state(), smtpReady);
}

} // namespace
} // namespace tafelbot
