// The client face over its socket: the header it builds and what only a real connection shows
// (a refused connect, a name not found, a silent server, servers that break the encryption).
// The protocol itself is the engine's, tested by transcripts (SmtpEngineTest).

#include "ScriptedServer.h"
#include "support/FixedClock.h"
#include "support/SmtpSession.h"

#include <gtest/gtest.h>
#include <regex>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using namespace testing::calls;
using testing::ScriptedServer;
using Lines = std::vector<std::string>;

struct Session : testing::SmtpSession<> {
    explicit Session(ScriptedServer& server, TSmtpSecurity security = smtpSecurityAuto)
        : SmtpSession(server) {
        server.runOn(loop);
        cli.Security = security;
        cli.AuthType = smtpAuthPlain;
    }
};

// The header as Data and MessageLines build it: encoded words, address lists, the date and a
// message identifier; values that could break out of their line are refused.
TEST(SmtpClientTest, TheHeaderCarriesTheListedLinesWithEncodedWordsAndAMessageId) {
    PollEventLoop loop;
    TCustomSmtpClient cli(loop);
    cli.FromName = "absender@schule.test";
    cli.HdrFrom = "Schulb\xFCro <buero@schule.test>";
    cli.HdrTo = "a@x.test; \"M\xFCller, Hans\" <hm@x.test>";
    cli.HdrReplyTo = "antwort@schule.test";
    cli.HdrSubject = "Vertretungsplan f\xFCr Montag";
    cli.HdrSender = "B\xFCro <a@x.test>, Leitung <b@x.test>";
    cli.HdrPriority = smtpPriorityLowest;
    cli.SetContentType(smtpHtml);
    cli.OnGetData = [](TCustomSmtpClient&, int n, std::string& line, int, bool& more) {
        line = "body " + std::to_string(n);
        more = n < 2;
    };
    testing::FixedClock clock({2026, 12, 5, 8, 22, 26, 0, 6}, 1000);
    Lines lines = cli.MessageLines();
    // The identifier: 16 random hex digits, the time, the sender's domain.
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_TRUE(std::regex_match(
        lines[8], std::regex("Message-ID: <[0-9a-f]{16}\\.20261205082226@schule\\.test>")))
        << lines[8];
    lines[8] = "Message-ID: <id>";
    EXPECT_EQ(lines, (Lines{"Reply-To: antwort@schule.test",
                            "From: =?iso-8859-1?Q?Schulb=FCro?= <buero@schule.test>",
                            "To: a@x.test,\r\n\t=?iso-8859-1?Q?M=FCller=2C_Hans?= <hm@x.test>",
                            "Subject: =?iso-8859-1?Q?Vertretungsplan_f=FCr_Montag?=",
                            "Sender: =?iso-8859-1?Q?B=FCro?= <a@x.test>, Leitung <b@x.test>",
                            "Mime-Version: 1.0", "Content-Type: text/html; charset=\"iso-8859-1\"",
                            "Date: Sat, 5 Dec 2026 08:22:26 GMT", "Message-ID: <id>",
                            "X-Priority: 5", "Priority: non-urgent", "X-MSMail-Priority: Low",
                            "X-Mailer: Wendra SMTP Component V2.45", "", "body 1"}));

    cli.HdrSubject = "Hi\r\nBcc: victim@y.test";
    EXPECT_THROW(cli.MessageLines(), SmtpException);
}

// What only a socket shows: no host, a server that never answers, a refused connect, a name not
// found. (That every request completes later, never inside the call, SmtpSession checks.)
TEST(SmtpClientTest, ConnectionsThatFailCompleteOnce) {
    {
        ScriptedServer server({"read 1"});
        Session s(server);
        s.cli.Host = "";
        EXPECT_EQ(testing::thrownText([&] { s.cli.Connect(); }), "DNS lookup: invalid host name.");
        EXPECT_EQ(s.cli.State(), smtpReady);
        // A server that never answers: the caller gives up and aborts; one completion.
        s.cli.Host = "127.0.0.1";
        s.cli.Connect();
        s.cli.Abort();
        EXPECT_TRUE(s.loop.runUntil([&] { return s.completions == 1; }, 5s));
        EXPECT_EQ(s.events, (Lines{"closed 0", "done 0 10004"}));
        EXPECT_EQ(s.cli.State(), smtpReady);
    }
    // A refused connect (at a port free again once its listener is gone) and a name that cannot be
    // found (refused by the resolver without asking a name server) report their error, even when
    // the caller aborts the client on the close that comes with it (as the send driver does).
    // clang-format off
    const std::tuple<std::string, std::string, Lines, std::string> failures[] = {
        {"127.0.0.1", ScriptedServer().portText(), {"closed 0", "done 0 10061"},
         "500 Connection refused (Winsock error #10061)"},
        {"a..b", "25", {"closed 11001", "done 0 11001"},
         "500 Host not found (Winsock error #11001)"}};
    // clang-format on
    for (const auto& [host, port, events, response] : failures) {
        ScriptedServer unused;
        Session s(unused);
        s.cli.Host = host;
        s.cli.Port = port;
        s.cli.OnSessionClosed = [&](TCustomSmtpClient& cli, int error) {
            s.events.push_back("closed " + std::to_string(error));
            cli.Abort();
        };
        s.run({Connect});
        EXPECT_EQ(s.events, events);
        EXPECT_EQ(s.cli.LastResponse(), response);
        EXPECT_EQ(s.cli.State(), smtpReady);
    }
}

// A handshake that goes wrong, after STARTTLS or from the first byte, ends the session with its
// reason, and whatever followed in the clear never carried the password: each mode and each way
// once, as the mode plays no part after the 220. Refusals and plain text slipped in after the 220
// are the engine's (SmtpEngineTest).
TEST(SmtpTlsFaultTest, AHandshakeThatGoesWrongEndsTheSessionWithItsReason) {
    struct Fault {
        TSmtpSecurity security;
        Lines script;
        Lines events;
        std::string reason;
        std::string extraCaFile = "";
    };
    // clang-format off
    auto startTlsThen = [](const std::string& step) {
        return Lines{"> 220 mail.test", "< EHLO client.test",
                     "> 250-mail.test|250-STARTTLS|250 AUTH PLAIN LOGIN", "< STARTTLS",
                     "> 220 go ahead", "read 5", step};
    };
    const Lines afterStartTls = {"done 0 0", "closed 0", "done 10 900"};
    const Lines onConnect = {"closed 0", "done 0 900"};
    const std::string plain = "900 Die verschl\xFCsselte Verbindung kam nicht zustande";
    const std::string gone =
        "900 Der Server hat die Verbindung w\xE4hrend des TLS-Handshakes getrennt";
    const Fault faults[] = {
        {smtpSecurityAuto, startTlsThen("> Kein TLS hier."), afterStartTls, plain + " ("},
        {smtpSecurityStartTls, startTlsThen("close"), afterStartTls, gone},
        {smtpSecurityTls, {"read 5", "> 220 mail.test ESMTP"}, onConnect, plain},
        {smtpSecurityTls, {}, onConnect, "900 Die Datei der zus\xE4tzlichen "
         "Zertifizierungsstellen \"/nicht/da.pem\" kann nicht gelesen werden", "/nicht/da.pem"},
    };
    // clang-format on
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.reason);
        ScriptedServer server(fault.script);
        Session s(server, fault.security);
        s.cli.ExtraCaFile = fault.extraCaFile;
        EXPECT_EQ(s.run({Connect, Ehlo, Auth}).back(), tlsErrorProtocol);
        EXPECT_EQ(s.events, fault.events);
        EXPECT_EQ(s.cli.ErrorMessage().rfind(fault.reason, 0), 0u) << s.cli.ErrorMessage();
        EXPECT_EQ(s.cli.State(), smtpReady);
        EXPECT_FALSE(s.cli.TlsActive());
        EXPECT_TRUE(server.played());
        EXPECT_EQ(server.received().find("AUTH"), std::string::npos);
    }
}

// In the automatic mode a password goes without TLS only to this machine; the setting "none"
// sends it anywhere, as the user chose. (127.0.0.1 allowed: every real-server test; a school's
// server refused: the engine's dialogue with a stranger.)
TEST(SmtpTlsFaultTest, APlainPasswordOnlyToALoopbackAddressUnlessEncryptionIsSwitchedOff) {
    const platform::Ipv4 school = 0x0A000005;
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityAuto, false, 0x7F0000FE));
    EXPECT_FALSE(PlainPasswordAllowed(smtpSecurityAuto, false, 0x80000001));
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityAuto, true, school));
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityNone, false, school));
}

} // namespace
} // namespace tafelbot
