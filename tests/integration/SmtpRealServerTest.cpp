// Whole SMTP sessions against a real server (aiosmtpd on 127.0.0.1): every AUTH method sends an
// HTML mail with a plain alternative, and Python's mail parser must read it back without
// defects, with the texts that were given.

#include "settings/Cp1252.h"
#include "smtp/HtmlSmtpCli.h"
#include "smtp/PollEventLoop.h"
#include "support/SmtpTestServer.h"
#include "support/TestFiles.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using testing::SmtpTestServer;

const std::string subject = "Vertretungsplan für Montag, 7.12."_cp;
const std::vector<std::string> plainText = {"Guten Tag Frau Müller,"_cp, "",
                                            ".Stunde 3 = Mathematik in 7b",
                                            std::string(120, 'x') + " Ende"};
const std::vector<std::string> htmlText = {
    "<html><body>", "<p>Guten Tag Frau Müller,</p>"_cp,
    "<table><tr><td>3.</td><td>M</td><td>7b</td></tr></table>", "</body></html>"};

struct RealSession {
    PollEventLoop loop;
    THtmlSmtpCli cli{loop};
    std::vector<std::string> events;
    int completions = 0;
    int lastCode = -1;

    RealSession(const SmtpTestServer& server, TSmtpAuthType authType) {
        cli.Host = "127.0.0.1";
        cli.Port = server.portText();
        cli.SignOn = "schule.test";
        cli.AuthType = authType;
        cli.Username = "konto";
        cli.Password = "geheim";
        cli.FromName = "buero@schule.test";
        cli.HdrFrom = "Schulbüro <buero@schule.test>"_cp;
        cli.HdrTo = "Frau Müller <mueller@schule.test>"_cp;
        cli.HdrSubject = subject;
        cli.PlainText = plainText;
        cli.HtmlText = htmlText;
        cli.AddRecipientLists(cli.HdrTo, "", "kopie@schule.test");
        cli.OnRequestDone = [this](TCustomSmtpClient&, TSmtpRequest rq, std::uint16_t code) {
            events.push_back("done " + std::to_string(rq) + " " + std::to_string(code));
            ++completions;
            lastCode = code;
        };
        cli.OnSessionClosed = [this](TCustomSmtpClient&, int error) {
            events.push_back("closed " + std::to_string(error));
        };
    }

    int request(const std::function<void()>& issue) {
        int before = completions;
        issue();
        if (!loop.runUntil([&] { return completions > before; }, 10s))
            return -1;
        return lastCode;
    }

    // Connect, greet, authenticate (unless none), send, quit; returns the first failing code.
    int sendMail() {
        std::vector<std::function<void()>> steps = {[&] { cli.Connect(); }};
        if (cli.AuthType == smtpAuthNone) {
            steps.push_back([&] { cli.Helo(); });
        } else {
            steps.push_back([&] { cli.Ehlo(); });
            steps.push_back([&] { cli.Auth(); });
        }
        for (auto step :
             std::vector<std::function<void()>>{[&] { cli.MailFrom(); }, [&] { cli.RcptTo(); },
                                                [&] { cli.Data(); }, [&] { cli.Quit(); }})
            steps.push_back(step);
        for (auto& step : steps)
            if (int code = request(step); code != 0)
                return code;
        return 0;
    }
};

std::string utf8Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += cp1252ToUtf8(line) + "\n";
    return text;
}

// Runs the mail parser on a received message; its report goes into the failure message.
void expectParsedWithoutDefects(const std::string& messageFile) {
    testing::TempDir dir;
    testing::writeFile(dir.file("plain.txt"), utf8Lines(plainText));
    testing::writeFile(dir.file("html.txt"), utf8Lines(htmlText));
    testing::writeFile(dir.file("subject.txt"), cp1252ToUtf8(subject));
    std::string command = std::string(TAFELBOT_SYSTEM_PYTHON) + " " + TAFELBOT_SOURCE_DIR +
                          "/tests/integration/check_mime.py '" + messageFile +
                          "' --expect-plain '" + dir.file("plain.txt") + "' --expect-html '" +
                          dir.file("html.txt") + "' --expect-subject \"$(cat '" +
                          dir.file("subject.txt") + "')\" > '" + dir.file("report.json") + "' 2>&1";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << testing::readFile(dir.file("report.json"));
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
        RealSession session(server, authType);
        ASSERT_EQ(session.sendMail(), 0) << session.cli.ErrorMessage() << "\n" << server.log();
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
        expectParsedWithoutDefects(files.back());
    }
}

TEST(SmtpRealServerTest, AutoSelectUsesLoginWhenOnlyLoginAndPlainAreOffered) {
    SmtpTestServer::Options options;
    options.mechanisms = "PLAIN,LOGIN";
    SmtpTestServer server(options);
    RealSession session(server, smtpAuthAutoSelect);
    ASSERT_EQ(session.sendMail(), 0) << session.cli.ErrorMessage();
    auto files = server.messageFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(server.envelopeOf(files[0]).find("\"mechanism\": \"LOGIN\""), std::string::npos);
}

TEST(SmtpRealServerTest, ARefusedPasswordOrAMissingLoginStopsTheSessionWithTheServersCode) {
    SmtpTestServer::Options options;
    options.refusePassword = true;
    options.requireAuth = true;
    SmtpTestServer server(options);
    for (TSmtpAuthType type : {smtpAuthPlain, smtpAuthLogin, smtpAuthCramMD5, smtpAuthCramSha1}) {
        RealSession session(server, type);
        EXPECT_EQ(session.sendMail(), 535) << type;
        EXPECT_EQ(session.cli.ErrorMessage().rfind("535", 0), 0u) << session.cli.ErrorMessage();
        session.cli.Abort();
    }
    RealSession anonymous(server, smtpAuthNone);
    EXPECT_EQ(anonymous.sendMail(), 530);
    anonymous.cli.Abort();
    EXPECT_TRUE(server.messageFiles().empty());
}

} // namespace
} // namespace tafelbot
