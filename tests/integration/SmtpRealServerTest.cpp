// Whole SMTP sessions against a real server (aiosmtpd on 127.0.0.1): an HTML mail with a plain
// alternative, an inline image and a file, which Python's mail parser must read back without
// defects, with the texts and bytes that were given. (Every AUTH method against the real server:
// tests/core/SendingTest.cpp; a refused one, byte by byte: tests/smtp/SmtpEngineTest.cpp; the
// copy sent blind: the command line's send test.)

#include "settings/Cp1252.h"
#include "smtp/HtmlSmtpCli.h"
#include "support/SmtpSession.h"
#include "support/SmtpTestServer.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tafelbot {
namespace {

using namespace testing::calls;
using testing::SmtpCall;
using testing::SmtpTestServer;
using Codes = std::vector<int>;

// A subject long enough to be folded; lines with leading dots for the dot-stuffing, long ones
// for the quoted-printable breaks.
const std::string subject = "Vertretungsplan für Frau Müller, Straßenbahnhaltestelle Äußere "
                            "Grünstraße, Stand 05.12.2026"_cp;
const std::vector<std::string> plainText = {
    "Guten Tag Frau Müller,"_cp,           "",
    ".Stunde 3 = Mathematik in 7b",        ".",
    "Tabulator\tund Leerzeichen am Ende ", std::string(300, '\xE4') + " lang"};
const std::vector<std::string> htmlText = {
    "<html><body>", "<p>Grüße, Frau Müller</p>"_cp,
    "<table><tr><td>3.</td><td>a=b</td><td>7b</td></tr></table>", std::string(1200, 'x') + "\xDF",
    "<img src=\"cid:IMAGE1\"></body></html>"};

struct Session : testing::SmtpSession<THtmlSmtpCli> {
    testing::TempDir dir; // the image and the file every mail carries

    Session(const SmtpTestServer& server, TSmtpAuthType authType) : SmtpSession(server) {
        std::string image;
        for (int i = 0; i < 540; ++i)
            image += static_cast<char>(i * 31);
        testing::writeFile(dir.file("bild.gif"), image);
        testing::writeFile(dir.file("liste.txt"), "eins\r\nzwei\r\n");
        cli.AuthType = authType;
        cli.FromName = "buero@schule.test";
        cli.HdrFrom = "Schulbüro <buero@schule.test>"_cp;
        cli.HdrTo = "Frau Müller <mueller@schule.test>"_cp;
        cli.HdrSubject = subject;
        cli.PlainText = plainText;
        cli.HtmlText = htmlText;
        cli.SetEmailImages({dir.file("bild.gif")});
        cli.SetEmailFiles({dir.file("liste.txt")});
        cli.RcptName = {"mueller@schule.test"};
    }
};

std::string utf8Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += cp1252ToUtf8(line) + "\n";
    return text;
}

// The mail parser's report on a received message (tests/integration/check_mime.py).
nlohmann::json parsed(const std::string& messageFile) {
    testing::TempDir dir;
    const std::string script = TAFELBOT_SOURCE_DIR "/tests/integration/check_mime.py";
    const std::string command = TAFELBOT_SYSTEM_PYTHON " '" + script + "' '" + messageFile +
                                "' > '" + dir.file("report.json") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return nlohmann::json::parse(testing::readFile(dir.file("report.json")));
}

// The combined requests as the HTML client's callers use them, and each step requested on its
// own; with a password, and with XOAUTH2 (OAUTHBEARER: the command line's OAuth test; the token
// kept out of the log: tests/smtp/SmtpEngineTest.cpp).
TEST(SmtpRealServerTest, AnHtmlMailArrivesAsGivenThroughEitherKindOfRequests) {
    const struct {
        TSmtpAuthType authType;
        std::vector<std::string> serverArguments;
        const char* mechanism;
        std::vector<SmtpCall> requests;
    } cases[] = {
        {smtpAuthAutoSelect, {}, "CRAM-SHA1", {Open, Mail, Quit}},
        {smtpAuthPlain,
         {"--bearer-token", "tok-123", "--auth-exclude", "OAUTHBEARER"},
         "XOAUTH2",
         {Connect, Ehlo, Auth, MailFrom, RcptTo, Data, Quit}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mechanism);
        SmtpTestServer server(c.serverArguments);
        Session session(server, c.authType);
        if (!c.serverArguments.empty())
            session.cli.OAuthBearerToken = "tok-123";
        ASSERT_EQ(session.run(c.requests), Codes(c.requests.size(), 0))
            << session.cli.ErrorMessage() << server.log();
        EXPECT_EQ(session.events.end()[-2], "closed 0");

        const auto files = server.messageFiles();
        ASSERT_EQ(files.size(), 1u);
        const auto envelope = nlohmann::json::parse(server.envelopeOf(files[0]));
        EXPECT_EQ(envelope["mechanism"], c.mechanism);
        EXPECT_EQ(envelope["login"], "konto");
        const auto report = parsed(files[0]);
        EXPECT_EQ(report["defects"], nlohmann::json::array());
        EXPECT_EQ(report["headers"]["To"], "Frau Müller <mueller@schule.test>");
        EXPECT_EQ(report["headers"]["Subject"], cp1252ToUtf8(subject));
        EXPECT_EQ(report["plain"], utf8Lines(plainText));
        EXPECT_EQ(report["html"], utf8Lines(htmlText));
        EXPECT_EQ(report["attachments"][0]["content_id"], "<IMAGE1>");
        EXPECT_EQ(report["attachments"][1]["hex"], "65696e730d0a7a7765690d0a");
    }
}

// A refused CRAM answer (the refusal of PLAIN and LOGIN: tests/smtp/SmtpEngineTest.cpp) and a
// missing login end the request with the server's code.
TEST(SmtpRealServerTest, ARefusedPasswordOrAMissingLoginStopsTheSessionWithTheServersCode) {
    SmtpTestServer server({"--require-auth", "--refuse-password"});
    Session cram(server, smtpAuthCramMD5);
    EXPECT_EQ(cram.run({Connect, Ehlo, Auth, MailFrom}), (Codes{0, 0, 535}));
    EXPECT_EQ(cram.cli.ErrorMessage().rfind("535", 0), 0u) << cram.cli.ErrorMessage();
    Session anonymous(server, smtpAuthNone);
    EXPECT_EQ(anonymous.run({Connect, Helo, MailFrom, RcptTo}), (Codes{0, 0, 530}));
    EXPECT_TRUE(server.messageFiles().empty());
}

} // namespace
} // namespace tafelbot
