// Servers that break the encryption: STARTTLS refused, garbage or a closed connection instead of
// a handshake, plain text slipped in after the 220, no STARTTLS where the setting demands it,
// no TLS where TLS is set. Each ends the request with its code and reason, drops the connection
// and never lets the password out.

#include "ScriptedServer.h"
#include "smtp/CustomSmtpClient.h"
#include "smtp/PollEventLoop.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedServer;

const std::string ehloWithStartTls = "250-mail.test\r\n250-STARTTLS\r\n250 AUTH PLAIN LOGIN\r\n";

struct Session {
    PollEventLoop loop;
    TCustomSmtpClient cli{loop};
    std::vector<std::string> events;
    int completions = 0;
    int lastCode = -1;

    Session(const ScriptedServer& server, TSmtpSecurity security) {
        cli.Host = "127.0.0.1";
        cli.Port = server.portText();
        cli.Security = security;
        cli.SignOn = "client.test";
        cli.AuthType = smtpAuthPlain;
        cli.Username = "konto";
        cli.Password = "geheim";
        cli.OnRequestDone = [this](TCustomSmtpClient&, TSmtpRequest rq, std::uint16_t code) {
            events.push_back("done " + std::to_string(rq) + " " + std::to_string(code));
            ++completions;
            lastCode = code;
        };
        cli.OnSessionClosed = [this](TCustomSmtpClient&, int) { events.push_back("closed"); };
    }

    int request(const std::function<void()>& issue) {
        int before = completions;
        issue();
        if (!loop.runUntil([&] { return completions > before; }, 5s))
            return -1;
        return lastCode;
    }

    // Connect, EHLO and, if the client lets it, AUTH; the first failing code.
    int greetAndLogIn() {
        for (auto step : std::vector<std::function<void()>>{
                 [&] { cli.Connect(); }, [&] { cli.Ehlo(); }, [&] { cli.Auth(); }})
            if (int code = request(step); code != 0)
                return code;
        return 0;
    }
};

void expectNoPasswordSent(const ScriptedServer& server) {
    for (const std::string& line : server.received())
        EXPECT_EQ(line.find("AUTH"), std::string::npos) << line;
}

struct Fault {
    const char* name;
    std::function<void(ScriptedServer&)> script; // what follows the client's STARTTLS
    int code;
    const char* reason;
};

TEST(SmtpTlsFaultTest, AStartTlsThatGoesWrongEndsTheSessionWithItsReason) {
    const Fault faults[] = {
        {"refused",
         [](ScriptedServer& s) { s.send("454 4.7.0 TLS not available\r\n").awaitClose(); },
         tlsErrorRefused, "904 Der Server lehnt STARTTLS ab: 454 4.7.0 TLS not available"},
        {"garbage instead of a handshake",
         [](ScriptedServer& s) {
             s.send("220 go ahead\r\n")
                 .receiveBytes(5)
                 .send("Hier spricht kein TLS, sondern ein Mensch.\r\n")
                 .awaitClose();
         },
         tlsErrorProtocol, "900 Die verschl\xFCsselte Verbindung kam nicht zustande ("},
        {"closed in the middle of the handshake",
         [](ScriptedServer& s) { s.send("220 go ahead\r\n").receiveBytes(5).close(); },
         tlsErrorProtocol,
         "900 Der Server hat die Verbindung w\xE4hrend des TLS-Handshakes getrennt"},
        {"plain text slipped in after the 220",
         [](ScriptedServer& s) {
             s.send("220 go ahead\r\n250-mail.test\r\n250 AUTH PLAIN\r\n").awaitClose();
         },
         tlsErrorProtocol,
         "900 Der Server hat nach seiner Antwort auf STARTTLS unverschl\xFCsselt weitergesendet."},
    };
    for (const Fault& fault : faults) {
        for (TSmtpSecurity security : {smtpSecurityAuto, smtpSecurityStartTls}) {
            SCOPED_TRACE(std::string(fault.name) + " " + std::to_string(security));
            ScriptedServer server;
            server.send("220 mail.test\r\n")
                .expect("EHLO client.test")
                .send(ehloWithStartTls)
                .expect("STARTTLS");
            fault.script(server);
            server.start();

            Session s(server, security);
            EXPECT_EQ(s.greetAndLogIn(), fault.code);
            EXPECT_EQ(s.events,
                      (std::vector<std::string>{"done 0 0", "closed",
                                                "done 10 " + std::to_string(fault.code)}));
            EXPECT_EQ(s.cli.ErrorMessage().rfind(fault.reason, 0), 0u) << s.cli.ErrorMessage();
            EXPECT_EQ(s.cli.LastResponse(), s.cli.ErrorMessage());
            EXPECT_EQ(s.cli.State(), smtpReady);
            EXPECT_FALSE(s.cli.TlsActive());
            ASSERT_TRUE(server.finish());
            EXPECT_TRUE(server.mismatches().empty()) << server.mismatches()[0];
            expectNoPasswordSent(server);
        }
    }
}

TEST(SmtpTlsFaultTest, ServersWithoutTheEncryptionTheSettingDemandsAreLeft) {
    {
        SCOPED_TRACE("STARTTLS required, none announced");
        ScriptedServer server;
        server.send("220 mail.test\r\n")
            .expect("EHLO client.test")
            .send("250-mail.test\r\n250 AUTH PLAIN\r\n")
            .awaitClose()
            .start();
        Session s(server, smtpSecurityStartTls);
        EXPECT_EQ(s.greetAndLogIn(), tlsErrorNotOffered);
        EXPECT_EQ(s.cli.ErrorMessage().rfind("905 Der Server bietet kein STARTTLS an", 0), 0u);
        EXPECT_EQ(s.events.back(), "done 10 905");
        ASSERT_TRUE(server.finish());
        expectNoPasswordSent(server);
    }
    {
        SCOPED_TRACE("Open without AUTH: EHLO for STARTTLS, no fall back to HELO");
        ScriptedServer server;
        server.send("220 mail.test\r\n")
            .expect("EHLO client.test")
            .send("250 mail.test\r\n")
            .awaitClose()
            .start();
        Session s(server, smtpSecurityStartTls);
        s.cli.AuthType = smtpAuthNone;
        EXPECT_EQ(s.request([&] { s.cli.Open(); }), tlsErrorNotOffered);
        ASSERT_TRUE(server.finish());
        EXPECT_EQ(server.received(), std::vector<std::string>{"EHLO client.test"});
    }
    {
        SCOPED_TRACE("STARTTLS required, but greeted with HELO");
        ScriptedServer server;
        server.send("220 mail.test\r\n").awaitClose().start();
        Session s(server, smtpSecurityStartTls);
        ASSERT_EQ(s.request([&] { s.cli.Connect(); }), 0);
        EXPECT_EQ(s.request([&] { s.cli.Helo(); }), tlsErrorNotOffered);
        s.cli.Abort();
        ASSERT_TRUE(server.finish());
        EXPECT_TRUE(server.received().empty()) << server.received()[0];
    }
    {
        SCOPED_TRACE("TLS set, the server answers in plain text");
        ScriptedServer server;
        server.receiveBytes(5).send("220 mail.test ESMTP\r\n").awaitClose().start();
        Session s(server, smtpSecurityTls);
        EXPECT_EQ(s.greetAndLogIn(), tlsErrorProtocol);
        EXPECT_EQ(s.events, (std::vector<std::string>{"closed", "done 0 900"}));
        EXPECT_EQ(s.cli.ErrorMessage().rfind("900 Die verschl\xFCsselte Verbindung", 0), 0u)
            << s.cli.ErrorMessage();
        ASSERT_TRUE(server.finish());
    }
    {
        SCOPED_TRACE("an extra CA file that cannot be read");
        ScriptedServer server;
        server.awaitClose().start();
        Session s(server, smtpSecurityTls);
        s.cli.ExtraCaFile = "/nicht/vorhanden.pem";
        EXPECT_EQ(s.greetAndLogIn(), tlsErrorProtocol);
        EXPECT_NE(s.cli.ErrorMessage().find("\"/nicht/vorhanden.pem\" kann nicht gelesen werden"),
                  std::string::npos)
            << s.cli.ErrorMessage();
        ASSERT_TRUE(server.finish());
    }
}

// In the automatic mode a password goes without TLS only to this machine; the setting "none"
// sends it anywhere, as the user chose.
TEST(SmtpTlsFaultTest, APlainPasswordOnlyToALoopbackAddressUnlessEncryptionIsSwitchedOff) {
    const platform::Ipv4 loopback = 0x7F000001;
    const platform::Ipv4 otherLoopback = 0x7F0000FE;
    const platform::Ipv4 school = 0x0A000005;
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityAuto, false, loopback));
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityAuto, false, otherLoopback));
    EXPECT_FALSE(PlainPasswordAllowed(smtpSecurityAuto, false, school));
    EXPECT_FALSE(PlainPasswordAllowed(smtpSecurityAuto, false, 0x80000001));
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityAuto, true, school));
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityNone, false, school));
    EXPECT_FALSE(PlainPasswordAllowed(smtpSecurityStartTls, false, school));
}

} // namespace
} // namespace tafelbot
