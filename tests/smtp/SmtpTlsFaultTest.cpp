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

using Peer = ScriptedServer::Peer;

// The client's last message starts with `reason` and the connection is gone.
void expectStopped(const Session& s, ScriptedServer& server, const std::string& reason) {
    EXPECT_EQ(s.cli.ErrorMessage().rfind(reason, 0), 0u) << s.cli.ErrorMessage();
    EXPECT_EQ(s.cli.State(), smtpReady);
    EXPECT_FALSE(s.cli.TlsActive());
    EXPECT_TRUE(server.finish());
}

// Whatever follows in the clear never carries the password.
void awaitCloseWithoutAuth(Peer& peer) {
    EXPECT_EQ(peer.awaitClose().find("AUTH"), std::string::npos);
}

TEST(SmtpTlsFaultTest, AHandshakeThatGoesWrongEndsTheSessionWithItsReason) {
    struct Fault {
        std::function<void(Peer&)> script; // what follows the client's STARTTLS
        int code;
        std::string reason;
    };
    // Refusals and plain text slipped in after the 220 are the engine's (SmtpEngineTest).
    const Fault faults[] = {
        {[](Peer& peer) {
             peer.send("220 go ahead\r\n");
             peer.bytes(5);
             peer.send("Kein TLS hier.\r\n");
             awaitCloseWithoutAuth(peer);
         },
         tlsErrorProtocol, "900 Die verschl\xFCsselte Verbindung kam nicht zustande ("},
        {[](Peer& peer) {
             peer.send("220 go ahead\r\n");
             peer.bytes(5);
         },
         tlsErrorProtocol,
         "900 Der Server hat die Verbindung w\xE4hrend des TLS-Handshakes getrennt"},
    };
    for (const Fault& fault : faults) {
        for (TSmtpSecurity security : {smtpSecurityAuto, smtpSecurityStartTls}) {
            SCOPED_TRACE(fault.reason);
            ScriptedServer server([&](Peer& peer) {
                peer.send("220 mail.test\r\n");
                peer.answer("EHLO client.test",
                            "250-mail.test\r\n250-STARTTLS\r\n250 AUTH PLAIN LOGIN");
                EXPECT_EQ(peer.line(), "STARTTLS");
                fault.script(peer);
            });
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
        ScriptedServer server([](Peer& peer) {
            peer.bytes(5);
            peer.send("220 mail.test ESMTP\r\n");
            awaitCloseWithoutAuth(peer);
        });
        Session s(server, smtpSecurityTls);
        EXPECT_EQ(s.run({Connect}), Codes{tlsErrorProtocol});
        EXPECT_EQ(s.events, (Lines{"closed 0", "done 0 900"}));
        expectStopped(s, server, "900 Die verschl\xFCsselte Verbindung kam nicht zustande");
    }
    {
        ScriptedServer server(awaitCloseWithoutAuth);
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
