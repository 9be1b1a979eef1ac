// Whole sessions over TLS against a real server (aiosmtpd on 127.0.0.1 with certificates of the
// tests' own CA): STARTTLS and TLS from the first byte with every AUTH method, the mail read back
// by Python's mail parser, and the certificate checks that refuse a server, or let it pass with
// the problem named when the exception is switched on.

#include "settings/Cp1252.h"
#include "smtp/HtmlSmtpCli.h"
#include "smtp/PollEventLoop.h"
#include "support/SmtpTestServer.h"
#include "support/TestCertificates.h"
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
using testing::TestCertificates;

const std::string subject = "Vertretungsplan für Dienstag"_cp;
const std::vector<std::string> plainText = {"Guten Tag Herr Özdemir,"_cp, "", ".Stunde 4"};
const std::vector<std::string> htmlText = {"<html><body>", "<p>Guten Tag Herr Özdemir,</p>"_cp,
                                           "</body></html>"};

enum class Server { StartTls, TlsFromTheStart };

SmtpTestServer::Options serverOptions(Server kind, const TestCertificates::Pair& certificate) {
    SmtpTestServer::Options options;
    options.requireAuth = true;
    options.extraArguments = {"--tls-cert", certificate.cert, "--tls-key", certificate.key};
    if (kind == Server::TlsFromTheStart) {
        options.extraArguments.push_back("--implicit-tls");
    } else {
        // AUTH and mail only after STARTTLS, as providers on port 587 demand.
        options.extraArguments.push_back("--require-starttls");
        options.extraArguments.push_back("--auth-require-tls");
    }
    return options;
}

struct Session {
    PollEventLoop loop;
    THtmlSmtpCli cli{loop};
    std::vector<std::string> events;
    std::vector<TlsInfo> handshakes;
    int completions = 0;
    int lastCode = -1;

    Session(const SmtpTestServer& server, TSmtpSecurity security, TSmtpAuthType authType,
            const std::string& host = "localhost") {
        cli.Host = host;
        cli.Port = server.portText();
        cli.Security = security;
        cli.ExtraCaFile = TestCertificates::get().caFile();
        cli.SignOn = "schule.test";
        cli.AuthType = authType;
        cli.Username = "konto";
        cli.Password = "geheim";
        cli.FromName = "buero@schule.test";
        cli.HdrFrom = "Schulbüro <buero@schule.test>"_cp;
        cli.HdrTo = "oezdemir@schule.test";
        cli.HdrSubject = subject;
        cli.PlainText = plainText;
        cli.HtmlText = htmlText;
        cli.AddRecipientLists(cli.HdrTo, "", "");
        cli.OnRequestDone = [this](TCustomSmtpClient&, TSmtpRequest rq, std::uint16_t code) {
            events.push_back("done " + std::to_string(rq) + " " + std::to_string(code));
            ++completions;
            lastCode = code;
        };
        cli.OnSessionClosed = [this](TCustomSmtpClient&, int) { events.push_back("closed"); };
        cli.OnTlsStarted = [this](TCustomSmtpClient&, const TlsInfo& info) {
            handshakes.push_back(info);
        };
    }

    int request(const std::function<void()>& issue) {
        int before = completions;
        issue();
        if (!loop.runUntil([&] { return completions > before; }, 10s))
            return -1;
        return lastCode;
    }

    // Connect, EHLO, AUTH, the mail, QUIT; the first failing code, or 0.
    int sendMail() {
        for (auto step : std::vector<std::function<void()>>{
                 [&] { cli.Connect(); }, [&] { cli.Ehlo(); }, [&] { cli.Auth(); },
                 [&] { cli.MailFrom(); }, [&] { cli.RcptTo(); }, [&] { cli.Data(); },
                 [&] { cli.Quit(); }})
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

// The mail parser's report on a received message; empty when it found no defect.
std::string parserDefects(const std::string& messageFile) {
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
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {};
    return testing::readFile(dir.file("report.json"));
}

bool holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(SmtpTlsServerTest, StartTlsAndTlsFromTheFirstByteCarryEveryAuthMethod) {
    const auto& certificates = TestCertificates::get();
    const std::pair<TSmtpAuthType, std::string> methods[] = {
        {smtpAuthPlain, "PLAIN"},          {smtpAuthLogin, "LOGIN"},
        {smtpAuthCramMD5, "CRAM-MD5"},     {smtpAuthCramSha1, "CRAM-SHA1"},
        {smtpAuthAutoSelect, "CRAM-SHA1"},
    };
    struct Mode {
        Server server;
        TSmtpSecurity security;
        const char* name;
    };
    for (Mode mode : {Mode{Server::StartTls, smtpSecurityStartTls, "STARTTLS required"},
                      Mode{Server::StartTls, smtpSecurityAuto, "automatic, STARTTLS"},
                      Mode{Server::TlsFromTheStart, smtpSecurityTls, "TLS"}}) {
        SmtpTestServer server(serverOptions(mode.server, certificates.good()));
        for (std::size_t i = 0; i < std::size(methods); ++i) {
            const auto& [authType, mechanism] = methods[i];
            SCOPED_TRACE(std::string(mode.name) + " " + mechanism);
            Session session(server, mode.security, authType);
            ASSERT_EQ(session.sendMail(), 0) << session.cli.ErrorMessage() << "\n" << server.log();
            ASSERT_EQ(session.handshakes.size(), 1u);
            EXPECT_TRUE(session.handshakes[0].verified) << session.handshakes[0].problemText;
            EXPECT_EQ(session.handshakes[0].protocol, "TLSv1.3");
            EXPECT_FALSE(session.handshakes[0].cipher.empty());

            auto files = server.messageFiles();
            ASSERT_EQ(files.size(), i + 1);
            std::string envelope = server.envelopeOf(files.back());
            EXPECT_TRUE(holds(envelope, "\"mechanism\": \"" + mechanism + "\"")) << envelope;
            EXPECT_TRUE(holds(envelope, "\"tls\": true")) << envelope;
            EXPECT_EQ(parserDefects(files.back()), "");
        }
    }
}

TEST(SmtpTlsServerTest, ALargeMailCrossesTheEncryptedConnectionIntact) {
    const auto& certificates = TestCertificates::get();
    SmtpTestServer server(serverOptions(Server::TlsFromTheStart, certificates.good()));
    testing::TempDir dir;
    std::string data;
    for (unsigned i = 0; data.size() < 400000; ++i)
        data += static_cast<char>((i * 7919u) % 251u);
    testing::writeFile(dir.file("plan.bin"), data);
    Session session(server, smtpSecurityTls, smtpAuthLogin);
    session.cli.SetEmailFiles({dir.file("plan.bin")});
    ASSERT_EQ(session.sendMail(), 0) << session.cli.ErrorMessage();
    auto files = server.messageFiles();
    ASSERT_EQ(files.size(), 1u);
    std::string report = parserDefects(files[0]);
    EXPECT_EQ(report, "");
    std::string command = std::string(TAFELBOT_SYSTEM_PYTHON) + " " + TAFELBOT_SOURCE_DIR +
                          "/tests/integration/check_mime.py '" + files[0] + "' > '" +
                          dir.file("report.json") + "'";
    std::system(command.c_str());
    EXPECT_TRUE(holds(testing::readFile(dir.file("report.json")), "\"size\": 400000"));
}

TEST(SmtpTlsServerTest, CertificatesThatFailVerificationAreRefusedOrPassOnlyWithTheException) {
    const auto& certificates = TestCertificates::get();
    struct Case {
        const TestCertificates::Pair* certificate;
        int code;
        const char* words;
    };
    for (Case c : {Case{&certificates.unknownCa(), tlsErrorUntrusted, "nicht vertrauensw"},
                   Case{&certificates.otherName(), tlsErrorNameMismatch,
                        "nicht f\xFCr den Namen \"localhost\" ausgestellt"},
                   Case{&certificates.expired(), tlsErrorExpired, "ist abgelaufen"}}) {
        for (Server kind : {Server::StartTls, Server::TlsFromTheStart}) {
            SCOPED_TRACE(std::to_string(c.code) +
                         (kind == Server::StartTls ? " STARTTLS" : " TLS"));
            SmtpTestServer server(serverOptions(kind, *c.certificate));
            TSmtpSecurity security = kind == Server::StartTls ? smtpSecurityAuto : smtpSecurityTls;

            Session refused(server, security, smtpAuthPlain);
            EXPECT_EQ(refused.sendMail(), c.code);
            // The handshake fails in Connect for TLS from the start, in Ehlo for STARTTLS; the
            // connection is gone before the completion comes.
            std::vector<std::string> expected = {"closed", "done 0 " + std::to_string(c.code)};
            if (kind == Server::StartTls)
                expected = {"done 0 0", "closed", "done 10 " + std::to_string(c.code)};
            EXPECT_EQ(refused.events, expected);
            EXPECT_EQ(refused.cli.ErrorMessage().rfind(std::to_string(c.code) + " ", 0), 0u);
            EXPECT_TRUE(holds(refused.cli.ErrorMessage(), c.words)) << refused.cli.ErrorMessage();
            EXPECT_TRUE(refused.handshakes.empty());
            EXPECT_FALSE(refused.cli.TlsActive());

            Session excepted(server, security, smtpAuthPlain);
            excepted.cli.AcceptUnverifiedCertificate = true;
            ASSERT_EQ(excepted.sendMail(), 0) << excepted.cli.ErrorMessage();
            ASSERT_EQ(excepted.handshakes.size(), 1u);
            EXPECT_FALSE(excepted.handshakes[0].verified);
            EXPECT_EQ(excepted.handshakes[0].problem, c.code);
            EXPECT_TRUE(holds(excepted.handshakes[0].problemText, c.words));
            EXPECT_EQ(server.messageFiles().size(), 1u);
        }
    }
}

// Like every OpenSSL program: SSL_CERT_FILE names the trusted store. The name is checked against
// an address as well, when the server is given by its address.
TEST(SmtpTlsServerTest, TheTrustedStoreFollowsSslCertFile) {
    const auto& certificates = TestCertificates::get();
    SmtpTestServer server(serverOptions(Server::TlsFromTheStart, certificates.good()));
    {
        Session systemOnly(server, smtpSecurityTls, smtpAuthPlain, "127.0.0.1");
        systemOnly.cli.ExtraCaFile.clear();
        EXPECT_EQ(systemOnly.sendMail(), tlsErrorUntrusted);
    }
    ::setenv("SSL_CERT_FILE", certificates.caFile().c_str(), 1);
    Session fromEnvironment(server, smtpSecurityTls, smtpAuthPlain, "127.0.0.1");
    fromEnvironment.cli.ExtraCaFile.clear();
    int code = fromEnvironment.sendMail();
    ::unsetenv("SSL_CERT_FILE");
    EXPECT_EQ(code, 0) << fromEnvironment.cli.ErrorMessage();
    ASSERT_EQ(fromEnvironment.handshakes.size(), 1u);
    EXPECT_TRUE(fromEnvironment.handshakes[0].verified);
}

} // namespace
} // namespace tafelbot
