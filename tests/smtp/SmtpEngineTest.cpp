// The SMTP engine by transcripts: the caller's requests and the server's replies go in, the exact
// lines the client sends and what it reports come out. No socket, no loop, no time.

#include "smtp/SmtpEngine.h"

#include "MessageHost.h"
#include "smtp/MimeUtil.h"
#include "smtp/SmtpAuth.h"
#include "smtp/TlsSession.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace tafelbot {
namespace {

using Lines = std::vector<std::string>;

// Runs a script against the engine. A step is a request ("ehlo", "auth", ...), "S: " + what the
// server sends (lines joined by "|"), or what the connection reports: "sent", "closed", "reset",
// "tls ok", "tls 901", "refused", "unknown host". "connect" and "open" also bring the connection
// up to the banner. The transcript holds the lines sent ("C: ..."), "done <request> <code>",
// "closed <error>", "starttls" and "drop" (the client ends the connection).
struct Transcript {
    testing::MessageHost host;
    SmtpEngine engine{host};
    Lines out;
    Lines shown; // the log lines the client displays

    explicit Transcript(TSmtpAuthType auth = smtpAuthNone,
                        TSmtpSecurity security = smtpSecurityAuto) {
        engine.settings = {
            "mail.test",  security, auth, "konto", "geheim", "Schule <buero@schule.test>",
            {"a@x.test"}, "",       "",   false};
    }

    void step(const std::string& s) {
        static const std::map<std::string, void (SmtpEngine::*)()> requests = {
            {"helo", &SmtpEngine::helo},      {"ehlo", &SmtpEngine::ehlo},
            {"auth", &SmtpEngine::auth},      {"mail from", &SmtpEngine::mailFrom},
            {"rcpt to", &SmtpEngine::rcptTo}, {"data", &SmtpEngine::data},
            {"mail", &SmtpEngine::mail},      {"quit", &SmtpEngine::quit},
            {"abort", &SmtpEngine::abort},    {"sent", &SmtpEngine::sendRoomAvailable}};
        if (s.rfind("S: ", 0) == 0) {
            std::string bytes = s.substr(3) + "|";
            std::replace(bytes.begin(), bytes.end(), '|', '\n');
            for (auto lf = bytes.find('\n'); lf != std::string::npos; lf = bytes.find('\n', lf + 2))
                bytes.insert(lf, "\r");
            engine.received(bytes);
        } else if (auto request = requests.find(s); request != requests.end()) {
            (engine.*request->second)();
        } else if (s == "unknown host") {
            engine.connect();
            engine.lookupDone(11001, "");
        } else if (s == "connect" || s == "open" || s == "refused" || s == "connect elsewhere") {
            s == "open" ? engine.open() : engine.connect();
            engine.lookupDone(0, "127.0.0.1");
            engine.connectionStarted(s == "connect elsewhere" ? 0x0A000005 : 0x7F000001,
                                     engine.settings.security == smtpSecurityTls ? 465 : 25);
            engine.connected(s == "refused" ? 10061 : 0);
        } else if (s == "closed" || s == "reset") {
            engine.closed(s == "closed" ? 0 : 10054);
        } else if (s.rfind("tls ", 0) == 0) {
            engine.tlsReady(s == "tls ok" ? 0 : std::stoi(s.substr(4)), "Grund");
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
    t.host.message = {"Subject: x", "", "..", "last line"};
    EXPECT_EQ(t.run({"connect",
                     "S: 220-mail.test ESMTP",
                     "S: 220 welcome",
                     "ehlo",
                     "S: 250-mail.test greets you|250-AUTH PLAIN LOGIN|250 OK",
                     "auth",
                     "S: 334 VXNlcm5hbWU6",
                     "S: 334 UGFzc3dvcmQ6",
                     "S: 235 ok",
                     "mail from",
                     "S: 250 ok",
                     "rcpt to",
                     "S: 250 ok",
                     "data",
                     "S: 354 go",
                     "sent",
                     "sent",
                     "sent",
                     "sent",
                     "sent",
                     "S: 250 queued",
                     "quit",
                     "S: 221 bye",
                     "closed"}),
              (Lines{"done 0 0",
                     "C: EHLO client.test",
                     "done 10 0",
                     "C: AUTH LOGIN",
                     "C: " + base64Encode("konto"),
                     "C: " + base64Encode("geheim"),
                     "done 11 0",
                     "C: MAIL FROM:<buero@schule.test>",
                     "done 2 0",
                     "C: RCPT TO:<a@x.test>",
                     "done 4 0",
                     "C: DATA",
                     "C: Subject: x",
                     "C: ",
                     "C: ..",
                     "C: last line",
                     "C: .",
                     "done 5 0",
                     "C: QUIT",
                     "closed 0",
                     "done 6 0"}));
    EXPECT_EQ(t.engine.lastResponse(), "221 bye");
    EXPECT_EQ(t.engine.errorMessage(), "");
    EXPECT_EQ(t.engine.state(), smtpReady);
    // Every line shown, the password never.
    EXPECT_EQ(t.shown[0], "< 220-mail.test ESMTP");
    EXPECT_NE(std::find(t.shown.begin(), t.shown.end(), "> ********"), t.shown.end());
    for (const auto& line : t.shown)
        EXPECT_EQ(line.find(base64Encode("geheim")), std::string::npos) << line;
}

TEST(SmtpEngineTest, RepliesThatArriveTogetherOrInPiecesAreEachHandled) {
    Transcript t;
    // The banner and the EHLO reply in one read: Open goes straight on with its EHLO step.
    EXPECT_EQ(t.run({"open", "S: 220 hi|250 hello", "mail from"}),
              (Lines{"C: EHLO client.test", "done 8 0", "C: MAIL FROM:<buero@schule.test>"}));
    t.engine.received("25");
    t.record();
    EXPECT_EQ(t.out.size(), 3u);
    t.engine.received("0 ok\r\n");
    t.record();
    EXPECT_EQ(t.out.back(), "done 2 0");
    EXPECT_EQ(t.engine.lastResponse(), "250 ok");
}

TEST(SmtpEngineTest, AuthPicksTheStrongestMethodFallsBackOn504AndReportsRefusals) {
    const std::string cram = CramResponse("konto", "geheim", challenge, true);
    struct Case {
        std::string what;
        TSmtpAuthType type;
        std::string greeting; // "ehlo" or "helo"
        Lines replies;        // from the greeting's reply on
        Lines sent;           // after the greeting
        int code;
        std::string error;
        std::string token = ""; // OAuth
        bool oauthRequired = false;
    };
    const std::string bearer = "auth=Bearer tok\x01\x01";
    const std::string xoauth2 = "C: AUTH XOAUTH2 " + base64Encode("user=konto\x01" + bearer);
    const std::string oauthbearer =
        "C: AUTH OAUTHBEARER " +
        base64Encode("n,a=konto,\x01host=mail.test\x01port=25\x01" + bearer);
    const std::string jsonError = "S: 334 " + base64Encode("{\"status\":\"401\"}");
    // clang-format off
    const Case cases[] = {
        // OAuth: OAUTHBEARER where announced, else XOAUTH2; never the password.
        {"OAUTHBEARER preferred", smtpAuthAutoSelect, "ehlo",
         {"S: 250 AUTH PLAIN XOAUTH2 OAUTHBEARER", "auth", "S: 235 ok"}, {oauthbearer}, 0, "",
         "tok"},
        {"XOAUTH2", smtpAuthPlain, "ehlo", {"S: 250 AUTH XOAUTH2 PLAIN", "auth", "S: 235 ok"},
         {xoauth2}, 0, "", "tok"},
        // A 334 carries the server's error; an empty line (XOAUTH2) or ^A answers it.
        {"XOAUTH2 refused", smtpAuthNone, "ehlo",
         {"S: 250 AUTH XOAUTH2", "auth", jsonError, "S: 535 5.7.3 Authentication unsuccessful"},
         {xoauth2, "C: "}, 535, "535 5.7.3 Authentication unsuccessful", "tok"},
        {"OAUTHBEARER refused", smtpAuthNone, "ehlo",
         {"S: 250 AUTH OAUTHBEARER", "auth", jsonError, "S: 535 no"},
         {oauthbearer, "C: AQ=="}, 535, "535 no", "tok"},
        {"neither announced", smtpAuthAutoSelect, "ehlo", {"S: 250 AUTH PLAIN LOGIN", "auth"}, {},
         906, "906 Der Server bietet keine Anmeldung mit OAuth 2.0 an (weder OAUTHBEARER noch "
         "XOAUTH2). Pr\xFC" "fen Sie in den Server-Einstellungen den Server und die Anmeldeart.",
         "tok"},
        {"no token", smtpAuthLogin, "ehlo", {"S: 250 AUTH LOGIN XOAUTH2", "auth"}, {}, 907,
         "907 F\xFCr die Anmeldung mit OAuth 2.0 liegt kein Zugriffstoken vor. Bitte melden Sie "
         "sich erneut an.", "", true},
        {"the AUTH= form", smtpAuthAutoSelect, "ehlo",
         {"S: 250-mail.test|250-AUTH=LOGIN CRAM-SHA1|250 SIZE 100", "auth",
          "S: 334 " + base64Encode(challenge), "S: 235 ok"},
         {"C: AUTH CRAM-SHA1", "C: " + cram}, 0, ""},
        {"AUTH PLAIN and LOGIN: LOGIN", smtpAuthAutoSelect, "ehlo",
         {"S: 250 AUTH PLAIN LOGIN", "auth", "S: 334 x", "S: 334 x", "S: 235 ok"},
         {"C: AUTH LOGIN", "C: a29udG8=", "C: Z2VoZWlt"}, 0, ""},
        // Each 504 tries the next method within the same request: one completion.
        {"504 fallbacks", smtpAuthAutoSelect, "ehlo",
         {"S: 250 no auth line", "auth", "S: 504 not that", "S: 504 not that either", "S: 235 ok"},
         {"C: AUTH CRAM-MD5", "C: AUTH LOGIN", "C: AUTH PLAIN " + plain}, 0, ""},
        // A refusal other than 504 ends AutoSelect: the method could not be agreed on.
        {"535 in AutoSelect", smtpAuthAutoSelect, "ehlo", {"S: 250 ok", "auth", "S: 535 no"},
         {"C: AUTH CRAM-MD5"}, 535, "500 Authentication Type could not be determined."},
        {"PLAIN refused in AutoSelect", smtpAuthAutoSelect, "ehlo",
         {"S: 250 AUTH PLAIN", "auth", "S: 535 no"},
         {"C: AUTH PLAIN " + plain}, 535, "500 Authentication Type could not be determined."},
        // A wrong password after a fallback is reported as what it is.
        {"a wrong password", smtpAuthAutoSelect, "ehlo",
         {"S: 250 AUTH=CRAM-MD5 LOGIN", "auth", "S: 504 no", "S: 334 x", "S: 334 x",
          "S: 535 wrong password"},
         {"C: AUTH CRAM-MD5", "C: AUTH LOGIN", "C: a29udG8=", "C: Z2VoZWlt"}, 535,
         "535 wrong password"},
        {"CRAM-MD5", smtpAuthCramMD5, "ehlo",
         {"S: 250 ok", "auth", "S: 334 " + base64Encode(challenge), "S: 235 ok"},
         {"C: AUTH CRAM-MD5", "C: " + CramResponse("konto", "geheim", challenge, false)}, 0, ""},
        {"CRAM-SHA1 has no fallback", smtpAuthCramSha1, "ehlo",
         {"S: 250 ok", "auth", "S: 504 no"}, {"C: AUTH CRAM-SHA1"}, 504, "504 no"},
        {"LOGIN refuses the user", smtpAuthLogin, "ehlo",
         {"S: 250 ok", "auth", "S: 334 x", "S: 535 who?"},
         {"C: AUTH LOGIN", "C: a29udG8="}, 535, "535 who?"},
        // Without EHLO, or with a malformed challenge, AUTH fails with the client's own 500.
        {"after HELO", smtpAuthPlain, "helo", {"S: 250 ok", "auth"}, {}, 500,
         "500 ESMTP not supported."},
        {"a malformed challenge", smtpAuthCramSha1, "ehlo", {"S: 250 ok", "auth", "S: 334"},
         {"C: AUTH CRAM-SHA1"}, 500, "500 Malformed SHA1 Challege: 334"},
        {"none chosen", smtpAuthNone, "ehlo", {"S: 250 ok", "auth"}, {}, 500,
         "500 No Authentication Type Selected."},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Transcript t(c.type);
        t.engine.settings.oauthToken = c.token;
        t.engine.settings.oauthRequired = c.oauthRequired;
        t.run({"connect", "S: 220 hi", c.greeting});
        t.out.clear();
        t.run(c.replies);
        Lines expected = {"done " + std::string(c.greeting == "ehlo" ? "10" : "1") + " 0"};
        expected.insert(expected.end(), c.sent.begin(), c.sent.end());
        expected.push_back("done 11 " + std::to_string(c.code));
        EXPECT_EQ(t.out, expected);
        EXPECT_EQ(t.engine.errorMessage(), c.error);
        // Secrets reach the wire, never the log.
        for (const auto& line : t.shown)
            for (const std::string& secret : {plain, std::string("Z2VoZWlt"), xoauth2.substr(16)})
                EXPECT_EQ(line.find(secret), std::string::npos) << line;
    }
}

TEST(SmtpEngineTest, GreetingsAndEncryptionFollowTheSecuritySetting) {
    struct Case {
        std::string what;
        TSmtpAuthType auth;
        TSmtpSecurity security;
        Lines script;
        Lines out;
        std::string error;
    };
    // clang-format off
    const Case cases[] = {
        // Without AUTH the automatic mode still greets with EHLO, to see an offer of STARTTLS;
        // a server that does not know EHLO gets HELO within the same request.
        {"EHLO refused", smtpAuthNone, smtpSecurityAuto,
         {"open", "S: 220 hi", "S: 502 what?", "S: 250 ok"},
         {"C: EHLO client.test", "C: HELO client.test", "done 8 0"}, ""},
        {"HELO with none", smtpAuthNone, smtpSecurityNone,
         {"open", "S: 220 hi", "S: 250 ok"}, {"C: HELO client.test", "done 8 0"}, ""},
        // With AUTH an old server gets HELO and no AUTH at all.
        {"Open falls back to HELO", smtpAuthLogin, smtpSecurityAuto,
         {"open", "S: 220 hi", "S: 502 what?", "S: 250 ok"},
         {"C: EHLO client.test", "C: HELO client.test", "done 8 0"}, "502 what?"},
        {"STARTTLS when offered", smtpAuthNone, smtpSecurityAuto,
         {"open", "S: 220 hi", "S: 250-mail.test|250 STARTTLS", "S: 220 go", "tls ok",
          "S: 250 AUTH PLAIN"},
         {"C: EHLO client.test", "C: STARTTLS", "starttls", "C: EHLO client.test", "done 8 0"},
         ""},
        {"STARTTLS refused", smtpAuthPlain, smtpSecurityAuto,
         {"connect", "S: 220 hi", "ehlo", "S: 250-mail.test|250 STARTTLS",
          "S: 454 4.7.0 TLS not available"},
         {"done 0 0", "C: EHLO client.test", "C: STARTTLS", "done 10 904", "drop", "closed 0"},
         "904 Der Server lehnt STARTTLS ab: 454 4.7.0 TLS not available"},
        // Replies slipped in before the handshake would pass for the encrypted server's.
        {"plain text after the 220", smtpAuthPlain, smtpSecurityStartTls,
         {"connect", "S: 220 hi", "ehlo", "S: 250 STARTTLS", "S: 220 go|250 AUTH PLAIN"},
         {"done 0 0", "C: EHLO client.test", "C: STARTTLS", "done 10 900", "drop", "closed 0"},
         "900 Der Server hat nach seiner Antwort auf STARTTLS unverschl\xFCsselt weitergesendet."},
        {"a failed handshake", smtpAuthPlain, smtpSecurityStartTls,
         {"connect", "S: 220 hi", "ehlo", "S: 250 STARTTLS", "S: 220 go", "tls 901"},
         {"done 0 0", "C: EHLO client.test", "C: STARTTLS", "starttls", "done 10 901", "drop",
          "closed 0"}, "901 Grund"},
        {"no STARTTLS where demanded", smtpAuthPlain, smtpSecurityStartTls,
         {"connect", "S: 220 hi", "ehlo", "S: 250 AUTH PLAIN"},
         {"done 0 0", "C: EHLO client.test", "done 10 905", "drop", "closed 0"},
         "905 Der Server bietet kein STARTTLS an; die Einstellung \"STARTTLS erforderlich\" "
         "verlangt es."},
        // Open greets with EHLO, which STARTTLS needs, and gives up without HELO.
        {"Open without STARTTLS where demanded", smtpAuthNone, smtpSecurityStartTls,
         {"open", "S: 220 hi", "S: 250 mail.test"},
         {"C: EHLO client.test", "done 8 905", "drop", "closed 0"},
         "905 Der Server bietet kein STARTTLS an; die Einstellung \"STARTTLS erforderlich\" "
         "verlangt es."},
        {"TLS from the first byte", smtpAuthPlain, smtpSecurityTls,
         {"connect", "tls ok", "S: 220 hi", "ehlo", "S: 250 AUTH PLAIN", "auth", "S: 235 ok"},
         {"starttls", "done 0 0", "C: EHLO client.test", "done 10 0", "C: AUTH PLAIN " + plain,
          "done 11 0"}, ""},
        {"a password in plain text to a stranger", smtpAuthPlain, smtpSecurityAuto,
         {"connect elsewhere", "S: 220 hi", "ehlo", "S: 250 AUTH PLAIN", "auth"},
         {"done 0 0", "C: EHLO client.test", "done 10 0", "done 11 905"},
         "905 Der Server bietet keine Verschl\xFCsselung an; das Kennwort wird nicht "
         "unverschl\xFCsselt gesendet. Ist das f\xFCr diesen Server gewollt, w\xE4hlen Sie in den "
         "Server-Einstellungen bei \"Verbindungssicherheit:\" den Eintrag \"Keine\"."},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Transcript t(c.auth, c.security);
        t.run(c.script);
        EXPECT_EQ(t.out, c.out);
        EXPECT_EQ(t.engine.errorMessage(), c.error);
    }
}

TEST(SmtpEngineTest, RecipientsHeaderlessDataAndRefusals) {
    Transcript t;
    t.engine.settings.rcptName = {"a@x.test", "Bernd <b@x.test>", "\"C, D\" <c@x.test>"};
    // A refused recipient does not stop the others; the last reply decides.
    EXPECT_EQ(t.run({"connect", "S: 220 hi", "helo", "S: 250 ok", "rcpt to", "S: 250 ok",
                     "S: 550 no such user", "S: 251 will forward", "data", "S: 451 later"}),
              (Lines{"done 0 0", "C: HELO client.test", "done 1 0", "C: RCPT TO:<a@x.test>",
                     "C: RCPT TO:<b@x.test>", "C: RCPT TO:<c@x.test>", "done 4 0", "C: DATA",
                     "done 5 451"}));
    EXPECT_EQ(t.engine.errorMessage(), "550 no such user");

    // Mail stops at the first refusal.
    Transcript m;
    EXPECT_EQ(
        m.run({"connect", "S: 220 hi", "helo", "S: 250 ok", "mail", "S: 250 ok", "S: 550 unknown"}),
        (Lines{"done 0 0", "C: HELO client.test", "done 1 0", "C: MAIL FROM:<buero@schule.test>",
               "C: RCPT TO:<a@x.test>", "done 9 550"}));
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

TEST(SmtpEngineTest, ABodyThatFailsHalfwayIsNeverEndedWithAFullStop) {
    Transcript t;
    t.host.failAt = 2;
    EXPECT_EQ(
        t.run({"connect", "S: 220 hi", "helo", "S: 250 ok", "data", "S: 354 go", "sent", "sent"}),
        (Lines{"done 0 0", "C: HELO client.test", "done 1 0", "C: DATA", "C: Subject: x",
               "C: ", "done 5 500", "drop", "closed 0"}));
    EXPECT_EQ(t.engine.errorMessage(),
              "500 Message body could not be produced: attachment unreadable");
}

TEST(SmtpEngineTest, ABrokenSessionCompletesWithTheRightCode) {
    struct Case {
        std::string what;
        Lines script;
        Lines out;
        std::string error;
    };
    // clang-format off
    const Case cases[] = {
        // A banner other than 220: the close ends the request.
        {"a refusing banner", {"connect", "S: 554 go away"}, {"drop", "closed 0", "done 0 10004"},
         "554 go away"},
        // Garbage instead of a reply is never taken for a success.
        {"garbage", {"connect", "S: 220 hi", "ehlo", "S: hello there"},
         {"done 0 0", "C: EHLO client.test", "done 10 500"}, "hello there"},
        // Only the reply each step waits for counts: a 250 to DATA sends no body.
        {"DATA answered without 354", {"connect", "S: 220 hi", "helo", "S: 250 ok", "data",
         "S: 250 ok"}, {"done 0 0", "C: HELO client.test", "done 1 0", "C: DATA", "done 5 250"},
         "250 ok"},
        {"a reset while waiting", {"connect", "S: 220 hi", "ehlo", "reset"},
         {"done 0 0", "C: EHLO client.test", "closed 10054", "done 10 10004"}, ""},
        {"abort while waiting for the banner", {"connect", "abort"},
         {"drop", "closed 0", "done 0 10004"}, ""},
        {"abort inside Open", {"open", "abort"}, {"drop", "closed 0", "done 8 426"},
         "426 Operation aborted."},
        // 5 kB without a line end do not fit the receive buffer: a protocol error.
        {"a line too long", {"connect", "S: " + std::string(5000, 'x')},
         {"done 0 500", "drop", "closed 0"}, "500 Server reply line longer than 4094 characters."},
        // The request completes with the error before the close is reported, so that a caller
        // aborting on the close does not turn it into 10004.
        {"an unknown host", {"unknown host", "abort"}, {"done 0 11001", "closed 11001", "drop"},
         "500 Host not found (Winsock error #11001)"},
        {"a refused connect", {"refused"}, {"done 0 10061", "drop", "closed 0"},
         "500 Connection refused (Winsock error #10061)"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Transcript t(smtpAuthLogin);
        EXPECT_EQ(t.run(c.script), c.out);
        EXPECT_EQ(t.engine.errorMessage(), c.error);
        EXPECT_EQ(t.engine.state(), smtpReady);
    }
}

TEST(SmtpEngineTest, MisuseRaisesTheExactTexts) {
    auto text = [](const std::function<void()>& call) -> std::string {
        try {
            call();
        } catch (const SmtpException& e) {
            return e.what();
        }
        return "no exception";
    };
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
