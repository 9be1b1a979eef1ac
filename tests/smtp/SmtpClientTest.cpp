// The SMTP client against scripted servers on 127.0.0.1: reply assembly, AUTH selection and
// fallbacks, recipients, the DATA pump, header lines, and every way a session can break.

#include "ScriptedServer.h"
#include "platform/Platform.h"
#include "smtp/CustomSmtpClient.h"
#include "smtp/MimeUtil.h"
#include "smtp/PollEventLoop.h"
#include "smtp/SmtpAuth.h"
#include "smtp/WSocketErrors.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedServer;

const std::string ehloPlainLogin = "250-mail.test greets you\r\n250-AUTH LOGIN PLAIN\r\n250 OK\r\n";

class FixedClock : public platform::Clock {
public:
    platform::CivilTime localNow() override { return utc; }
    std::optional<platform::CivilTime> utcNow() override { return utc; }
    std::uint32_t tickCount() override { return 1000; }
    platform::CivilTime utc{2026, 12, 5, 8, 22, 26, 0, 6};
};

// Drives one client request by request, the way the send driver does, and records the events.
struct Session {
    PollEventLoop loop;
    TCustomSmtpClient cli{loop};
    std::vector<std::string> events; // "closed <n>", "done <rq> <code>"
    std::vector<std::string> display;
    int completions = 0;
    int lastCode = -1;

    explicit Session(const ScriptedServer& server) {
        cli.Host = "127.0.0.1";
        cli.Port = server.portText();
        cli.SignOn = "client.test";
        cli.Username = "konto";
        cli.Password = "geheim";
        cli.FromName = "absender@schule.test";
        cli.RcptName = {"lehrer@schule.test"};
        cli.OnRequestDone = [this](TCustomSmtpClient&, TSmtpRequest rq, std::uint16_t code) {
            events.push_back("done " + std::to_string(rq) + " " + std::to_string(code));
            ++completions;
            lastCode = code;
        };
        cli.OnSessionClosed = [this](TCustomSmtpClient&, int error) {
            events.push_back("closed " + std::to_string(error));
        };
        cli.OnDisplay = [this](TCustomSmtpClient&, const std::string& msg) {
            display.push_back(msg);
        };
    }

    // Issues a request and runs the loop until its completion; -1 when none came in time.
    int request(const std::function<void()>& issue, std::chrono::milliseconds limit = 5s) {
        int before = completions;
        issue();
        EXPECT_EQ(completions, before) << "OnRequestDone ran inside the request";
        if (!loop.runUntil([&] { return completions > before; }, limit))
            return -1;
        return lastCode;
    }

    void openWithEhlo() {
        ASSERT_EQ(request([&] { cli.Connect(); }), 0);
        ASSERT_EQ(request([&] { cli.Ehlo(); }), 0);
    }
};

TEST(SmtpClientTest, AWholeSessionWithMultiLineRepliesAndQuitClosingFirst) {
    ScriptedServer server;
    server.send("220-mail.test ESMTP\r\n220 welcome\r\n")
        .expect("EHLO client.test")
        .send(ehloPlainLogin)
        .expect("AUTH LOGIN")
        .send("334 VXNlcm5hbWU6\r\n")
        .expect(base64Encode("konto"))
        .send("334 UGFzc3dvcmQ6\r\n")
        .expect(base64Encode("geheim"))
        .send("235 ok\r\n")
        .expect("MAIL FROM:<absender@schule.test>")
        .send("250 ok\r\n")
        .expect("RCPT TO:<lehrer@schule.test>")
        .send("250 ok\r\n")
        .expect("DATA")
        .send("354 go\r\n")
        .receiveMessage()
        .send("250 queued\r\n")
        .expect("QUIT")
        .send("221 bye\r\n")
        .close()
        .start();
    Session s(server);
    s.cli.AuthType = smtpAuthAutoSelect;
    s.cli.OwnHeaders = true;
    std::vector<std::string> body = {"Subject: x", "", ".", "last line"};
    s.cli.OnGetData = [&](TCustomSmtpClient&, int n, std::string& line, int maxLen, bool& more) {
        EXPECT_EQ(maxLen, 1023);
        more = n <= static_cast<int>(body.size());
        if (more)
            line = body[n - 1];
    };

    // The send driver aborts the client whenever the connection closes; QUIT still ends with 0.
    s.cli.OnSessionClosed = [&](TCustomSmtpClient& cli, int error) {
        s.events.push_back("closed " + std::to_string(error));
        cli.Abort();
    };
    EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Ehlo(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Auth(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.MailFrom(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.RcptTo(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Data(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Quit(); }), 0);
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.mismatches().empty()) << server.mismatches().front();

    EXPECT_EQ(server.message(), "Subject: x\r\n\r\n..\r\nlast line\r\n");
    // The multi-line banner completed once, on its final line; QUIT saw the close first.
    EXPECT_EQ(s.events, (std::vector<std::string>{"done 0 0", "done 10 0", "done 11 0", "done 2 0",
                                                  "done 4 0", "done 5 0", "closed 0", "done 6 0"}));
    EXPECT_EQ(s.display[0], "< 220-mail.test ESMTP");
    EXPECT_EQ(s.display[1], "< 220 welcome");
    EXPECT_EQ(s.cli.LastResponse(), "221 bye");
    EXPECT_TRUE(s.cli.ErrorMessage().empty());
    // The password never reaches the log.
    for (const auto& line : s.display)
        EXPECT_EQ(line.find(base64Encode("geheim")), std::string::npos) << line;
}

TEST(SmtpClientTest, RepliesArrivingTogetherOrInPiecesAreEachHandled) {
    ScriptedServer server;
    // The banner and the HELO reply in one read: Open goes straight on with its HELO step.
    server.send("220 hi\r\n250 hello\r\n")
        .expect("HELO my_host")
        .expect("MAIL FROM")
        .send("25")
        .pause(50ms)
        .send("0 sender ok\r\n")
        .awaitClose()
        .start();
    Session s(server);
    s.cli.SignOn = "my host";
    EXPECT_EQ(s.request([&] { s.cli.Open(); }), 0);
    EXPECT_EQ(s.events.back(), "done 8 0");
    EXPECT_EQ(s.request([&] { s.cli.MailFrom(); }), 0);
    EXPECT_EQ(s.cli.LastResponse(), "250 sender ok");
    s.cli.Abort();
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.mismatches().empty());
}

TEST(SmtpClientTest, AutoSelectTakesTheStrongestAnnouncedMethodInEitherForm) {
    const std::string challenge = "<1896.697170952@postoffice.reston.mci.net>";
    ScriptedServer server;
    server.send("220 hi\r\n")
        .expect("EHLO")
        .send("250-mail.test\r\n250-AUTH=LOGIN CRAM-MD5\r\n250 SIZE 100\r\n")
        .expect("AUTH CRAM-MD5")
        .send("334 " + base64Encode(challenge) + "\r\n")
        .expect("dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw")
        .send("235 ok\r\n")
        .awaitClose()
        .start();
    Session s(server);
    s.cli.AuthType = smtpAuthAutoSelect;
    s.cli.Username = "tim";
    s.cli.Password = "tanstaaftanstaaf";
    s.openWithEhlo();
    EXPECT_EQ(s.request([&] { s.cli.Auth(); }), 0);
    s.cli.Abort();
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.mismatches().empty()) << server.mismatches().front();
}

TEST(SmtpClientTest, AutoSelectFallsBackOn504WithinOneCompletion) {
    ScriptedServer server;
    server.send("220 hi\r\n")
        .expect("EHLO")
        .send("250 no auth line\r\n")
        .expect("AUTH CRAM-MD5")
        .send("504 not that\r\n")
        .expect("AUTH LOGIN")
        .send("504 not that either\r\n")
        .expect("AUTH PLAIN ")
        .send("235 ok\r\n")
        .awaitClose()
        .start();
    Session s(server);
    s.cli.AuthType = smtpAuthAutoSelect;
    s.openWithEhlo();
    EXPECT_EQ(s.request([&] { s.cli.Auth(); }), 0);
    s.loop.runUntil([] { return false; }, 100ms);
    EXPECT_EQ(s.completions, 3) << "one completion each for Connect, Ehlo and Auth";
    EXPECT_TRUE(s.cli.ErrorMessage().empty()) << s.cli.ErrorMessage();
    s.cli.Abort();
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.mismatches().empty()) << server.mismatches().front();
    EXPECT_EQ(base64Decode(server.received().back().substr(11)),
              std::string("\0konto\0geheim", 13));
}

TEST(SmtpClientTest, AuthRefusalsCompleteWithTheServersCode) {
    {
        // A refusal other than 504 ends AutoSelect: the method could not be agreed on.
        ScriptedServer server;
        server.send("220 hi\r\n").expect("EHLO").send("250 ok\r\n").expect("AUTH CRAM-MD5");
        server.send("535 no\r\n").awaitClose().start();
        Session s(server);
        s.cli.AuthType = smtpAuthAutoSelect;
        s.openWithEhlo();
        EXPECT_EQ(s.request([&] { s.cli.Auth(); }), 535);
        EXPECT_EQ(s.cli.ErrorMessage(), "500 Authentication Type could not be determined.");
        s.cli.Abort();
    }
    {
        // A wrong password after a fallback is reported as what it is.
        ScriptedServer server;
        server.send("220 hi\r\n").expect("EHLO").send("250 AUTH=CRAM-MD5 LOGIN\r\n");
        server.expect("AUTH CRAM-MD5").send("504 no\r\n").expect("AUTH LOGIN");
        server.send("334 x\r\n").expect(base64Encode("konto")).send("334 x\r\n").expect("Z2");
        server.send("535 wrong password\r\n").awaitClose().start();
        Session s(server);
        s.cli.AuthType = smtpAuthAutoSelect;
        s.openWithEhlo();
        EXPECT_EQ(s.request([&] { s.cli.Auth(); }), 535);
        EXPECT_EQ(s.cli.ErrorMessage(), "535 wrong password");
        s.cli.Abort();
    }
    {
        // Without EHLO, or without a method, AUTH fails at once with the client's own 500.
        ScriptedServer server;
        server.send("220 hi\r\n").expect("HELO").send("250 ok\r\n").awaitClose().start();
        Session s(server);
        s.cli.AuthType = smtpAuthPlain;
        EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 0);
        EXPECT_EQ(s.request([&] { s.cli.Helo(); }), 0);
        EXPECT_EQ(s.request([&] { s.cli.Auth(); }), 500);
        EXPECT_EQ(s.cli.LastResponse(), "500 ESMTP not supported.");
        s.cli.Abort();
    }
    {
        ScriptedServer server;
        server.send("220 hi\r\n").expect("EHLO").send("250 ok\r\n").expect("AUTH CRAM-SHA1");
        server.send("334\r\n").awaitClose().start();
        Session s(server);
        s.cli.AuthType = smtpAuthCramSha1;
        s.openWithEhlo();
        EXPECT_EQ(s.request([&] { s.cli.Auth(); }), 500);
        EXPECT_EQ(s.cli.LastResponse(), "500 Malformed SHA1 Challege: 334");
        s.cli.Abort();
    }
}

TEST(SmtpClientTest, ARefusedRecipientDoesNotStopTheOthers) {
    ScriptedServer server;
    server.send("220 hi\r\n")
        .expect("HELO")
        .send("250 ok\r\n")
        .expect("RCPT TO:<a@x.test>")
        .send("250 ok\r\n")
        .expect("RCPT TO:<b@x.test>")
        .send("550 no such user\r\n")
        .expect("RCPT TO:<c@x.test>")
        .send("251 will forward\r\n")
        .awaitClose()
        .start();
    Session s(server);
    s.cli.RcptName = {"a@x.test", "Bernd <b@x.test>", "\"C, D\" <c@x.test>"};
    EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Helo(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.RcptTo(); }), 0);
    EXPECT_EQ(s.cli.ErrorMessage(), "550 no such user");
    s.cli.Abort();
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.mismatches().empty()) << server.mismatches().front();
}

TEST(SmtpClientTest, TheHeaderCarriesTheListedLinesWithEncodedWordsAndAMessageId) {
    FixedClock clock;
    platform::setClockForTesting(&clock);
    ScriptedServer server;
    server.send("220 hi\r\n")
        .expect("HELO")
        .send("250 ok\r\n")
        .expect("DATA")
        .send("354 go\r\n")
        .receiveMessage()
        .send("250 ok\r\n")
        .awaitClose()
        .start();
    Session s(server);
    s.cli.HdrFrom = "Schulb\xFCro <buero@schule.test>";
    s.cli.HdrTo = "a@x.test; \"M\xFCller, Hans\" <hm@x.test>";
    s.cli.HdrReplyTo = "antwort@schule.test";
    s.cli.HdrSubject = "Vertretungsplan f\xFCr Montag";
    s.cli.HdrSender = "B\xFCro <a@x.test>, Leitung <b@x.test>";
    s.cli.HdrPriority = smtpPriorityLowest;
    s.cli.SetContentType(smtpHtml);
    s.cli.OnGetData = [](TCustomSmtpClient&, int, std::string& line, int, bool& more) {
        line = "never sent";
        more = false;
    };
    EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Helo(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Data(); }), 0);
    platform::setClockForTesting(nullptr);
    s.cli.Abort();
    ASSERT_TRUE(server.finish());

    std::string header = server.message();
    auto at = header.find("Message-ID: <");
    ASSERT_NE(at, std::string::npos);
    std::string messageId = header.substr(at, header.find("\r\n", at) - at);
    EXPECT_EQ(messageId.size(),
              std::string("Message-ID: <0123456789abcdef.20261205082226@schule.test>").size());
    EXPECT_NE(messageId.find(".20261205082226@schule.test>"), std::string::npos);
    header.replace(at, messageId.size(), "Message-ID: <id>");
    EXPECT_EQ(header, "Reply-To: antwort@schule.test\r\n"
                      "From: =?iso-8859-1?Q?Schulb=FCro?= <buero@schule.test>\r\n"
                      "To: a@x.test,\r\n"
                      "\t=?iso-8859-1?Q?M=FCller=2C_Hans?= <hm@x.test>\r\n"
                      "Subject: =?iso-8859-1?Q?Vertretungsplan_f=FCr_Montag?=\r\n"
                      "Sender: =?iso-8859-1?Q?B=FCro?= <a@x.test>, Leitung <b@x.test>\r\n"
                      "Mime-Version: 1.0\r\n"
                      "Content-Type: text/html; charset=\"iso-8859-1\"\r\n"
                      "Date: Sat, 5 Dec 2026 08:22:26 GMT\r\n"
                      "Message-ID: <id>\r\n"
                      "X-Priority: 5\r\n"
                      "Priority: non-urgent\r\n"
                      "X-MSMail-Priority: Low\r\n"
                      "X-Mailer: Wendra SMTP Component V2.45\r\n"
                      "\r\n");
}

TEST(SmtpClientTest, ValuesThatCouldBreakOutOfTheirLineAreRefusedBeforeAnythingIsSent) {
    ScriptedServer server;
    server.send("220 hi\r\n").expect("HELO").send("250 ok\r\n").awaitClose().start();
    Session s(server);
    EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Helo(); }), 0);
    s.cli.FromName = "a@x.test>\r\nRCPT TO:<victim@y.test";
    EXPECT_THROW(s.cli.MailFrom(), SmtpException);
    s.cli.FromName = "a@x.test";
    s.cli.RcptName = {"b@x.test", std::string("c@x.test\0", 9)};
    EXPECT_THROW(s.cli.RcptTo(), SmtpException);
    EXPECT_THROW(s.cli.Mail(), SmtpException);
    s.cli.HdrSubject = "Hi\r\nBcc: victim@y.test";
    EXPECT_THROW(s.cli.Data(), SmtpException);
    EXPECT_EQ(s.cli.State(), smtpReady);
    s.cli.Abort();
    ASSERT_TRUE(server.finish());
    EXPECT_EQ(server.received().size(), 1u); // HELO only
}

TEST(SmtpClientTest, MisuseRaisesTheExactTexts) {
    PollEventLoop loop;
    TCustomSmtpClient cli(loop);
    auto message = [](const std::function<void()>& call) {
        try {
            call();
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    EXPECT_EQ(message([&] { cli.Helo(); }), "SMTP component not connected");
    EXPECT_EQ(message([&] { cli.Connect(); }), "DNS lookup: invalid host name.");
    EXPECT_EQ(cli.State(), smtpReady);

    bool done = false;
    cli.OnRequestDone = [&](TCustomSmtpClient&, TSmtpRequest rq, std::uint16_t code) {
        done = rq == smtpQuit && code == 0;
    };
    cli.Quit(); // not connected: completes with 0, but later
    EXPECT_FALSE(done);
    EXPECT_TRUE(loop.runUntil([&] { return done; }, 5s));

    ScriptedServer server;
    server.stayMute().start();
    cli.Host = "127.0.0.1";
    cli.Port = server.portText();
    cli.Connect();
    EXPECT_EQ(message([&] { cli.Connect(); }), "SMTP component not ready");
    cli.Abort();
}

TEST(SmtpClientTest, ABrokenSessionCompletesWithTheRightCodeAndCleansUp) {
    {
        // A banner other than 220: the close ends the request.
        ScriptedServer server;
        server.send("554 go away\r\n").awaitClose().start();
        Session s(server);
        EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 10004);
        EXPECT_EQ(s.events, (std::vector<std::string>{"closed 0", "done 0 10004"}));
        EXPECT_EQ(s.cli.ErrorMessage(), "554 go away");
    }
    {
        // Nobody listens.
        PollEventLoop loop;
        ScriptedServer unused;
        Session s(unused);
        s.cli.Port = "1";
        EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 10061);
        EXPECT_EQ(s.cli.LastResponse(), "500 Connection refused (Winsock error #10061)");
        EXPECT_EQ(s.cli.State(), smtpReady);
    }
    {
        // 5 kB without a line end do not fit the receive buffer: a protocol error.
        ScriptedServer server;
        server.send(std::string(5000, 'x')).awaitClose().start();
        Session s(server);
        EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 500);
        EXPECT_EQ(s.cli.ErrorMessage().rfind("500 Server reply line longer than", 0), 0u);
        ASSERT_TRUE(server.finish());
        EXPECT_TRUE(server.clientClosed());
        EXPECT_EQ(s.events.front(), "closed 0");
    }
    {
        // Garbage instead of a reply is never taken for a success.
        ScriptedServer server;
        server.send("220 hi\r\n").expect("EHLO").send("hello there\r\n").awaitClose().start();
        Session s(server);
        EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 0);
        EXPECT_EQ(s.request([&] { s.cli.Ehlo(); }), 500);
        EXPECT_EQ(s.cli.ErrorMessage(), "hello there");
        s.cli.Abort();
    }
    {
        // A server that resets the connection while the client waits for a reply.
        ScriptedServer server;
        server.send("220 hi\r\n").expect("EHLO").reset().start();
        Session s(server);
        EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 0);
        EXPECT_EQ(s.request([&] { s.cli.Ehlo(); }), 10004);
        EXPECT_EQ(s.events[1].rfind("closed", 0), 0u);
    }
    {
        // A server that never answers: the caller gives up and aborts; one completion.
        ScriptedServer server;
        server.stayMute().start();
        Session s(server);
        EXPECT_EQ(s.request([&] { s.cli.Connect(); }, 200ms), -1);
        s.cli.Abort();
        EXPECT_TRUE(s.loop.runUntil([&] { return s.completions == 1; }, 5s));
        EXPECT_EQ(s.events, (std::vector<std::string>{"closed 0", "done 0 10004"}));
        EXPECT_EQ(s.cli.State(), smtpReady);
    }
}

TEST(SmtpClientTest, AConnectionLostDuringDataStopsThePump) {
    ScriptedServer server;
    server.send("220 hi\r\n")
        .expect("HELO")
        .send("250 ok\r\n")
        .expect("DATA")
        .send("354 go\r\n")
        .expect("line")
        .close()
        .start();
    Session s(server);
    s.cli.OwnHeaders = true;
    int produced = 0;
    s.cli.OnGetData = [&](TCustomSmtpClient&, int n, std::string& line, int, bool& more) {
        ++produced;
        line = "line " + std::to_string(n) + std::string(500, 'x');
        more = n < 100000;
    };
    EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Helo(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Data(); }), 10004);
    int afterwards = produced;
    s.loop.runUntil([] { return false; }, 100ms);
    EXPECT_EQ(produced, afterwards);
    EXPECT_LT(produced, 100000);
}

TEST(SmtpClientTest, ABodyThatFailsHalfwayIsNeverDeliveredAsComplete) {
    ScriptedServer server;
    server.send("220 hi\r\n").expect("HELO").send("250 ok\r\n").expect("DATA").send("354 go\r\n");
    server.receiveMessage().start();
    Session s(server);
    s.cli.OwnHeaders = true;
    s.cli.OnGetData = [](TCustomSmtpClient&, int n, std::string& line, int, bool& more) {
        if (n == 2)
            throw std::runtime_error("attachment unreadable");
        line = "first";
        more = true;
    };
    EXPECT_EQ(s.request([&] { s.cli.Connect(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Helo(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Data(); }), 500);
    EXPECT_EQ(s.cli.ErrorMessage(),
              "500 Message body could not be produced: attachment unreadable");
    ASSERT_TRUE(server.finish());
    ASSERT_FALSE(server.mismatches().empty());
    EXPECT_EQ(server.mismatches().front(), "the message ended without \".\"");
}

TEST(SmtpClientTest, OpenFallsBackToHeloAndMailStopsAtTheFirstRefusal) {
    ScriptedServer server;
    server.send("220 hi\r\n")
        .expect("EHLO")
        .send("502 what?\r\n")
        .expect("HELO")
        .send("250 ok\r\n")
        .expect("MAIL FROM")
        .send("250 ok\r\n")
        .expect("RCPT TO")
        .send("550 unknown\r\n")
        .awaitClose()
        .start();
    Session s(server);
    s.cli.AuthType = smtpAuthLogin;
    EXPECT_EQ(s.request([&] { s.cli.Open(); }), 0);
    EXPECT_EQ(s.request([&] { s.cli.Mail(); }), 550);
    EXPECT_EQ(s.events, (std::vector<std::string>{"done 8 0", "done 9 550"}));
    s.cli.Abort();
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.mismatches().empty()) << server.mismatches().front();

    ScriptedServer mute;
    mute.stayMute().start();
    Session aborted(mute);
    EXPECT_EQ(aborted.request([&] { aborted.cli.Open(); }, 100ms), -1);
    aborted.cli.Abort();
    EXPECT_TRUE(aborted.loop.runUntil([&] { return aborted.completions == 1; }, 5s));
    EXPECT_EQ(aborted.events.back(), "done 8 426");
    EXPECT_EQ(aborted.cli.ErrorMessage(), "426 Operation aborted.");
}

} // namespace
} // namespace tafelbot
