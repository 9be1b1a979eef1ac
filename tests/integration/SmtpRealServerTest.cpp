// Whole SMTP sessions against a real server (aiosmtpd on 127.0.0.1): every AUTH method sends an
// HTML mail with a plain alternative, an inline image and a file, and Python's mail parser must
// read it back without defects, with the texts and bytes that were given.

#include "settings/Cp1252.h"
#include "smtp/HtmlSmtpCli.h"
#include "support/SmtpSession.h"
#include "support/SmtpTestServer.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace tafelbot {
namespace {

using namespace testing::calls;
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

// The image and the file every mail carries.
struct Attachments {
    testing::TempDir dir;
    Attachments() {
        std::string image;
        for (int i = 0; i < 540; ++i)
            image += static_cast<char>(i * 31);
        testing::writeFile(dir.file("bild.gif"), image);
        testing::writeFile(dir.file("liste.txt"), "eins\r\nzwei\r\n");
    }
};
std::string attachment(const std::string& name) {
    static const Attachments attachments;
    return attachments.dir.file(name);
}

struct Session : testing::SmtpSession<THtmlSmtpCli> {
    Session(const SmtpTestServer& server, TSmtpAuthType authType) : SmtpSession(server) {
        cli.AuthType = authType;
        cli.FromName = "buero@schule.test";
        cli.HdrFrom = "Schulbüro <buero@schule.test>"_cp;
        cli.HdrTo = "Frau Müller <mueller@schule.test>"_cp;
        cli.HdrSubject = subject;
        cli.PlainText = plainText;
        cli.HtmlText = htmlText;
        cli.SetEmailImages({attachment("bild.gif")});
        cli.SetEmailFiles({attachment("liste.txt")});
        cli.AddRecipientLists(cli.HdrTo, "", "kopie@schule.test");
    }

    // Greets, authenticates (unless none), sends, quits: the codes of the requests.
    Codes sendMail() {
        if (cli.AuthType == smtpAuthNone)
            return run({Connect, Helo, MailFrom, RcptTo, Data, Quit});
        return run({Connect, Ehlo, Auth, MailFrom, RcptTo, Data, Quit});
    }
};

std::string utf8Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += cp1252ToUtf8(line) + "\n";
    return text;
}

// Runs the mail parser on a received message: must find no defect; returns its report.
std::string parsedWithoutDefects(const std::string& messageFile) {
    testing::TempDir dir;
    testing::writeFile(dir.file("plain.txt"), utf8Lines(plainText));
    testing::writeFile(dir.file("html.txt"), utf8Lines(htmlText));
    testing::writeFile(dir.file("subject.txt"), cp1252ToUtf8(subject));
    std::string command = std::string(TAFELBOT_SYSTEM_PYTHON) + " " + TAFELBOT_SOURCE_DIR +
                          "/tests/integration/check_mime.py '" + messageFile + "' '" +
                          dir.file("plain.txt") + "' '" + dir.file("html.txt") + "' \"$(cat '" +
                          dir.file("subject.txt") + "')\" > '" + dir.file("report.json") + "' 2>&1";
    int status = std::system(command.c_str());
    std::string report = testing::readFile(dir.file("report.json"));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
    return report;
}

TEST(SmtpRealServerTest, EveryAuthMethodDeliversAnHtmlMailAMailParserAccepts) {
    SmtpTestServer server;
    const std::pair<TSmtpAuthType, std::string> methods[] = {
        {smtpAuthPlain, "PLAIN"},          {smtpAuthLogin, "LOGIN"},
        {smtpAuthCramMD5, "CRAM-MD5"},     {smtpAuthCramSha1, "CRAM-SHA1"},
        {smtpAuthAutoSelect, "CRAM-SHA1"},
    };
    for (std::size_t i = 0; i < std::size(methods); ++i) {
        const auto& [authType, mechanism] = methods[i];
        SCOPED_TRACE(mechanism);
        Session session(server, authType);
        // The last one through the combined requests, as the HTML client's callers use it.
        if (authType == smtpAuthAutoSelect)
            ASSERT_EQ(session.run({Open, Mail, Quit}), Codes(3, 0)) << server.log();
        else
            ASSERT_EQ(session.sendMail(), Codes(7, 0))
                << session.cli.ErrorMessage() << server.log();
        EXPECT_EQ(session.events.end()[-2], "closed 0");

        auto files = server.messageFiles();
        ASSERT_EQ(files.size(), i + 1);
        std::string envelope = server.envelopeOf(files.back());
        EXPECT_NE(envelope.find("\"mechanism\": \"" + mechanism + "\""), std::string::npos)
            << envelope;
        EXPECT_NE(envelope.find("\"login\": \"konto\""), std::string::npos) << envelope;
        EXPECT_NE(envelope.find("\"rcpt_tos\": [\"mueller@schule.test\", \"kopie@schule.test\"]"),
                  std::string::npos)
            << envelope;
        std::string message = testing::readFile(files.back());
        EXPECT_EQ(message.find("kopie"), std::string::npos) << "the Bcc address shows";
        std::string report = parsedWithoutDefects(files.back());
        for (const char* found :
             {"\"To\": \"Frau Müller <mueller@schule.test>\"", "\"content_id\": \"<IMAGE1>\"",
              "\"hex\": \"65696e730d0a7a7765690d0a\""})
            EXPECT_NE(report.find(found), std::string::npos) << found << "\n" << report;
    }
}

TEST(SmtpRealServerTest, ARefusedPasswordOrAMissingLoginStopsTheSessionWithTheServersCode) {
    SmtpTestServer::Options options;
    options.refusePassword = true;
    options.requireAuth = true;
    SmtpTestServer server(options);
    for (TSmtpAuthType type : {smtpAuthPlain, smtpAuthLogin, smtpAuthCramMD5, smtpAuthCramSha1}) {
        Session session(server, type);
        EXPECT_EQ(session.sendMail(), (Codes{0, 0, 535})) << type;
        EXPECT_EQ(session.cli.ErrorMessage().rfind("535", 0), 0u) << session.cli.ErrorMessage();
        session.cli.Abort();
    }
    Session anonymous(server, smtpAuthNone);
    EXPECT_EQ(anonymous.sendMail(), (Codes{0, 0, 530}));
    anonymous.cli.Abort();
    EXPECT_TRUE(server.messageFiles().empty());
}

// XOAUTH2 and OAUTHBEARER against the server's own check of the bearer token: the preferred
// mechanism delivers, and the token never shows in the log. (A refused token: the command
// line's OAuth test, with either mechanism.)
TEST(SmtpRealServerTest, AnOAuthTokenSignsInWithTheMechanismTheServerOffers) {
    for (const std::string mechanism : {"OAUTHBEARER", "XOAUTH2"}) {
        SCOPED_TRACE(mechanism);
        SmtpTestServer::Options options;
        options.extraArguments = {"--bearer-token", "tok-123"};
        if (mechanism == "XOAUTH2")
            options.extraArguments.insert(options.extraArguments.end(),
                                          {"--auth-exclude", "OAUTHBEARER"});
        SmtpTestServer server(options);
        Session session(server, smtpAuthPlain);
        session.cli.OAuthBearerToken = "tok-123";
        ASSERT_EQ(session.sendMail(), Codes(7, 0)) << session.cli.ErrorMessage() << server.log();
        ASSERT_EQ(server.messageFiles().size(), 1u);
        const std::string envelope = server.envelopeOf(server.messageFiles()[0]);
        EXPECT_NE(envelope.find("\"mechanism\": \"" + mechanism + "\", \"login\": \"konto\""),
                  std::string::npos)
            << envelope;
        for (const auto& line : session.display) {
            if (line.rfind("> AUTH", 0) == 0) {
                EXPECT_EQ(line, "> AUTH " + mechanism + " ********");
            }
        }
    }
}

} // namespace
} // namespace tafelbot
