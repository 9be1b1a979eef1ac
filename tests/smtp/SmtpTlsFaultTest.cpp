// Servers that break the encryption on a real socket: garbage or a closed connection instead of
// a handshake, no TLS where TLS is set, a CA file that cannot be read. Each ends the request with
// its code and reason, drops the connection and never lets the password out.

#include "ScriptedServer.h"
#include "support/SmtpSession.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using namespace testing::calls;
using testing::ScriptedServer;
using Codes = std::vector<int>;
using Lines = std::vector<std::string>;

struct Session : testing::SmtpSession<> {
    Session(const ScriptedServer& server, TSmtpSecurity security) : SmtpSession(server) {
        cli.Security = security;
        cli.AuthType = smtpAuthPlain;
    }
};

// The client's last message starts with `reason`, the connection is gone and no AUTH went out.
void expectStopped(const Session& s, ScriptedServer& server, const std::string& reason) {
    EXPECT_EQ(s.cli.ErrorMessage().rfind(reason, 0), 0u) << s.cli.ErrorMessage();
    EXPECT_EQ(s.cli.State(), smtpReady);
    EXPECT_FALSE(s.cli.TlsActive());
    ASSERT_TRUE(server.finish());
    EXPECT_EQ(server.mismatches(), Lines{});
    for (const std::string& line : server.received())
        EXPECT_EQ(line.find("AUTH"), std::string::npos) << line;
}

TEST(SmtpTlsFaultTest, AHandshakeThatGoesWrongEndsTheSessionWithItsReason) {
    struct Fault {
        std::function<void(ScriptedServer&)> script; // what follows the client's STARTTLS
        int code;
        std::string reason;
    };
    // Refusals and plain text slipped in after the 220 are the engine's (SmtpEngineTest).
    const Fault faults[] = {
        {[](ScriptedServer& s) {
             s.send("220 go ahead\r\n").receiveBytes(5).send("Kein TLS hier.\r\n").awaitClose();
         },
         tlsErrorProtocol, "900 Die verschl\xFCsselte Verbindung kam nicht zustande ("},
        {[](ScriptedServer& s) { s.send("220 go ahead\r\n").receiveBytes(5).close(); },
         tlsErrorProtocol,
         "900 Der Server hat die Verbindung w\xE4hrend des TLS-Handshakes getrennt"},
    };
    for (const Fault& fault : faults) {
        for (TSmtpSecurity security : {smtpSecurityAuto, smtpSecurityStartTls}) {
            SCOPED_TRACE(fault.reason);
            ScriptedServer server;
            server.send("220 mail.test\r\n")
                .answer("EHLO client.test", "250-mail.test\r\n250-STARTTLS\r\n250 AUTH PLAIN LOGIN")
                .expect("STARTTLS");
            fault.script(server);
            server.start();
            Session s(server, security);
            EXPECT_EQ(s.run({Connect, Ehlo, Auth}), (Codes{0, fault.code}));
            EXPECT_EQ(s.events,
                      (Lines{"done 0 0", "closed 0", "done 10 " + std::to_string(fault.code)}));
            expectStopped(s, server, fault.reason);
        }
    }
}

TEST(SmtpTlsFaultTest, ServersWithoutTheEncryptionTheSettingDemandsAreLeft) {
    {
        ScriptedServer server;
        server.receiveBytes(5).send("220 mail.test ESMTP\r\n").awaitClose().start();
        Session s(server, smtpSecurityTls);
        EXPECT_EQ(s.run({Connect}), Codes{tlsErrorProtocol});
        EXPECT_EQ(s.events, (Lines{"closed 0", "done 0 900"}));
        expectStopped(s, server, "900 Die verschl\xFCsselte Verbindung kam nicht zustande");
    }
    {
        ScriptedServer server;
        server.awaitClose().start();
        Session s(server, smtpSecurityTls);
        s.cli.ExtraCaFile = "/nicht/da.pem";
        EXPECT_EQ(s.run({Connect}), Codes{tlsErrorProtocol});
        expectStopped(s, server,
                      "900 Die Datei der zus\xE4tzlichen Zertifizierungsstellen \"/nicht/da.pem\" "
                      "kann nicht gelesen werden");
    }
}

// In the automatic mode a password goes without TLS only to this machine; the setting "none"
// sends it anywhere, as the user chose.
TEST(SmtpTlsFaultTest, APlainPasswordOnlyToALoopbackAddressUnlessEncryptionIsSwitchedOff) {
    const platform::Ipv4 school = 0x0A000005;
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityAuto, false, 0x7F000001));
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityAuto, false, 0x7F0000FE));
    EXPECT_FALSE(PlainPasswordAllowed(smtpSecurityAuto, false, school));
    EXPECT_FALSE(PlainPasswordAllowed(smtpSecurityAuto, false, 0x80000001));
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityAuto, true, school));
    EXPECT_TRUE(PlainPasswordAllowed(smtpSecurityNone, false, school));
}

} // namespace
} // namespace tafelbot
