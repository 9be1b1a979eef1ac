// The SMTP client against scripted servers on 127.0.0.1: reply assembly, AUTH selection and
// fallbacks, recipients, the DATA pump, header lines, and every way a session can break.

#include "ScriptedServer.h"
#include "smtp/MimeUtil.h"
#include "smtp/SmtpAuth.h"
#include "support/FixedClock.h"
#include "support/SmtpSession.h"

#include <gtest/gtest.h>
#include <regex>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using namespace testing::calls;
using testing::ScriptedServer;
using Session = testing::SmtpSession<>;
using Codes = std::vector<int>;
using Lines = std::vector<std::string>;

TEST(SmtpClientTest, AWholeSessionWithMultiLineRepliesAndQuitClosingFirst) {
    ScriptedServer server;
    server.send("220-mail.test ESMTP\r\n220 welcome\r\n")
        .answer("EHLO client.test", "250-mail.test greets you\r\n250-AUTH PLAIN LOGIN\r\n250 OK")
        .answer("AUTH LOGIN", "334 VXNlcm5hbWU6")
        .answer(base64Encode("konto"), "334 UGFzc3dvcmQ6")
        .answer(base64Encode("geheim"), "235 ok")
        .answer("MAIL FROM:<absender@schule.test>", "250 ok")
        .answer("RCPT TO:<lehrer@schule.test>", "250 ok")
        .answer("DATA", "354 go")
        .receiveMessage()
        .send("250 queued\r\n")
        .answer("QUIT", "221 bye")
        .close()
        .start();
    Session s(server);
    s.cli.FromName = "absender@schule.test";
    s.cli.RcptName = {"lehrer@schule.test"};
    s.cli.AuthType = smtpAuthAutoSelect;
    s.cli.OwnHeaders = true;
    Lines body = {"Subject: x", "", ".", "last line"};
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
    EXPECT_EQ(s.run({Connect, Ehlo, Auth, MailFrom, RcptTo, Data, Quit}), Codes(7, 0));
    EXPECT_EQ(server.problems(), Lines{});

    EXPECT_EQ(server.message(), "Subject: x\r\n\r\n..\r\nlast line\r\n");
    // The multi-line banner completed once, on its final line; QUIT saw the close first.
    EXPECT_EQ(s.events, (Lines{"done 0 0", "done 10 0", "done 11 0", "done 2 0", "done 4 0",
                               "done 5 0", "closed 0", "done 6 0"}));
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
    server.send("220 hi\r\n250 hello\r\n").expect("HELO my_host").expect("MAIL FROM");
    server.send("25").pause(50ms).send("0 sender ok\r\n").awaitClose().start();
    Session s(server);
    s.cli.SignOn = "my host";
    s.cli.Security = smtpSecurityNone;
    EXPECT_EQ(s.run({Open, MailFrom}), (Codes{0, 0}));
    EXPECT_EQ(s.events, (Lines{"done 8 0", "done 2 0"}));
    EXPECT_EQ(s.cli.LastResponse(), "250 sender ok");
    s.cli.Abort();
    EXPECT_EQ(server.problems(), Lines{});
}

TEST(SmtpClientTest, AuthPicksTheStrongestMethodFallsBackOn504AndReportsRefusals) {
    const std::string challenge = "<1896.697170952@postoffice.reston.mci.net>";
    const std::string cram = CramResponse("konto", "geheim", challenge, true);
    struct Case {
        std::string what;
        TSmtpAuthType type;
        std::string greeting;                                    // "EHLO" or "HELO"
        std::string capabilities;                                // the reply to it
        std::vector<std::pair<std::string, std::string>> dialog; // client line, server reply
        int code;
        std::string error; // ErrorMessage
        std::string last;  // LastResponse
    };
    // clang-format off
    const Case cases[] = {
        {"the AUTH= form", smtpAuthAutoSelect, "EHLO",
         "250-mail.test\r\n250-AUTH=LOGIN CRAM-SHA1\r\n250 SIZE 100",
         {{"AUTH CRAM-SHA1", "334 " + base64Encode(challenge)}, {cram, "235 ok"}}, 0, "", "235 ok"},
        // Each 504 tries the next method within the same request: one completion.
        {"504 fallbacks", smtpAuthAutoSelect, "EHLO", "250 no auth line",
         {{"AUTH CRAM-MD5", "504 not that"}, {"AUTH LOGIN", "504 not that either"},
          {"AUTH PLAIN " + base64Encode(std::string("\0konto\0geheim", 13)), "235 ok"}},
         0, "", "235 ok"},
        // A refusal other than 504 ends AutoSelect: the method could not be agreed on.
        {"535 in AutoSelect", smtpAuthAutoSelect, "EHLO", "250 ok", {{"AUTH CRAM-MD5", "535 no"}},
         535, "500 Authentication Type could not be determined.", "535 no"},
        // A wrong password after a fallback is reported as what it is.
        {"a wrong password", smtpAuthAutoSelect, "EHLO", "250 AUTH=CRAM-MD5 LOGIN",
         {{"AUTH CRAM-MD5", "504 no"}, {"AUTH LOGIN", "334 x"}, {base64Encode("konto"), "334 x"},
          {base64Encode("geheim"), "535 wrong password"}},
         535, "535 wrong password", "535 wrong password"},
        // Without EHLO, or with a malformed challenge, AUTH fails with the client's own 500.
        {"after HELO", smtpAuthPlain, "HELO", "250 ok", {},
         500, "500 ESMTP not supported.", "500 ESMTP not supported."},
        {"a malformed challenge", smtpAuthCramSha1, "EHLO", "250 ok", {{"AUTH CRAM-SHA1", "334"}},
         500, "500 Malformed SHA1 Challege: 334", "500 Malformed SHA1 Challege: 334"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server;
        server.send("220 hi\r\n").answer(c.greeting + " client.test", c.capabilities);
        for (const auto& [line, reply] : c.dialog)
            server.answer(line, reply);
        server.awaitClose().start();
        Session s(server);
        s.cli.AuthType = c.type;
        EXPECT_EQ(s.run({Connect, c.greeting == "EHLO" ? Ehlo : Helo, Auth}),
                  (Codes{0, 0, c.code}));
        s.loop.runUntil([] { return false; }, 100ms);
        EXPECT_EQ(s.completions, 3);
        EXPECT_EQ(s.cli.ErrorMessage(), c.error);
        EXPECT_EQ(s.cli.LastResponse(), c.last);
        s.cli.Abort();
        EXPECT_EQ(server.problems(), Lines{});
        Lines sent = {c.greeting + " client.test"};
        for (const auto& exchange : c.dialog)
            sent.push_back(exchange.first);
        EXPECT_EQ(server.received(), sent);
    }
}

TEST(SmtpClientTest, ARefusedRecipientDoesNotStopTheOthers) {
    ScriptedServer server;
    server.send("220 hi\r\n")
        .answer("HELO", "250 ok")
        .answer("RCPT TO:<a@x.test>", "250 ok")
        .answer("RCPT TO:<b@x.test>", "550 no such user")
        .answer("RCPT TO:<c@x.test>", "251 will forward")
        .awaitClose()
        .start();
    Session s(server);
    s.cli.RcptName = {"a@x.test", "Bernd <b@x.test>", "\"C, D\" <c@x.test>"};
    EXPECT_EQ(s.run({Connect, Helo, RcptTo}), Codes(3, 0));
    EXPECT_EQ(s.cli.ErrorMessage(), "550 no such user");
    s.cli.Abort();
    EXPECT_EQ(server.problems(), Lines{});
}

TEST(SmtpClientTest, TheHeaderCarriesTheListedLinesWithEncodedWordsAndAMessageId) {
    ScriptedServer server;
    server.send("220 hi\r\n").answer("HELO", "250 ok").answer("DATA", "354 go");
    server.receiveMessage().send("250 ok\r\n").awaitClose().start();
    Session s(server);
    s.cli.FromName = "absender@schule.test";
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
    {
        testing::FixedClock clock({2026, 12, 5, 8, 22, 26, 0, 6}, 1000);
        EXPECT_EQ(s.run({Connect, Helo, Data}), Codes(3, 0));
    }
    s.cli.Abort();
    ASSERT_TRUE(server.finish());

    // The identifier: 16 random hex digits, the time, the sender's domain.
    const std::regex messageId("Message-ID: <[0-9a-f]{16}\\.20261205082226@schule\\.test>");
    EXPECT_EQ(std::regex_replace(server.message(), messageId, "Message-ID: <id>"),
              "Reply-To: antwort@schule.test\r\n"
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
    server.send("220 hi\r\n").answer("HELO", "250 ok").awaitClose().start();
    Session s(server);
    EXPECT_EQ(s.run({Connect, Helo}), Codes(2, 0));
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
    using testing::thrownText;
    PollEventLoop loop;
    TCustomSmtpClient cli(loop);
    EXPECT_EQ(thrownText([&] { cli.Helo(); }), "SMTP component not connected");
    EXPECT_EQ(thrownText([&] { cli.Connect(); }), "DNS lookup: invalid host name.");
    EXPECT_EQ(cli.State(), smtpReady);

    bool done = false;
    cli.OnRequestDone = [&](TCustomSmtpClient&, TSmtpRequest rq, std::uint16_t code) {
        done = rq == smtpQuit && code == 0;
    };
    cli.Quit(); // not connected: completes with 0, but later
    EXPECT_FALSE(done);
    EXPECT_TRUE(loop.runUntil([&] { return done; }, 5s));

    ScriptedServer server;
    server.awaitClose().start();
    cli.Host = "127.0.0.1";
    cli.Port = server.portText();
    cli.Connect();
    EXPECT_EQ(thrownText([&] { cli.Connect(); }), "SMTP component not ready");
    cli.Abort();
}

TEST(SmtpClientTest, ABrokenSessionCompletesWithTheRightCodeAndCleansUp) {
    {
        // A banner other than 220: the close ends the request.
        ScriptedServer server;
        server.send("554 go away\r\n").awaitClose().start();
        Session s(server);
        EXPECT_EQ(s.request(Connect), 10004);
        EXPECT_EQ(s.events, (Lines{"closed 0", "done 0 10004"}));
        EXPECT_EQ(s.cli.ErrorMessage(), "554 go away");
    }
    {
        // Nobody listens.
        ScriptedServer unused;
        Session s(unused);
        s.cli.Port = ScriptedServer::unusedPort();
        EXPECT_EQ(s.request(Connect), 10061);
        EXPECT_EQ(s.cli.LastResponse(), "500 Connection refused (Winsock error #10061)");
        EXPECT_EQ(s.cli.State(), smtpReady);
    }
    {
        // 5 kB without a line end do not fit the receive buffer: a protocol error.
        ScriptedServer server;
        server.send(std::string(5000, 'x')).awaitClose().start();
        Session s(server);
        EXPECT_EQ(s.request(Connect), 500);
        EXPECT_EQ(s.cli.ErrorMessage().rfind("500 Server reply line longer than", 0), 0u);
        ASSERT_TRUE(server.finish());
        EXPECT_TRUE(server.clientClosed());
        EXPECT_EQ(s.events.front(), "closed 0");
    }
    {
        // Garbage instead of a reply is never taken for a success.
        ScriptedServer server;
        server.send("220 hi\r\n").answer("EHLO", "hello there").awaitClose().start();
        Session s(server);
        s.cli.AuthType = smtpAuthLogin;
        EXPECT_EQ(s.run({Connect, Ehlo}), (Codes{0, 500}));
        EXPECT_EQ(s.cli.ErrorMessage(), "hello there");
        s.cli.Abort();
    }
    {
        // A server that resets the connection while the client waits for a reply.
        ScriptedServer server;
        server.send("220 hi\r\n").expect("EHLO").reset().start();
        Session s(server);
        EXPECT_EQ(s.run({Connect, Ehlo}), (Codes{0, 10004}));
        EXPECT_EQ(s.events[1].rfind("closed", 0), 0u);
    }
    {
        // A server that never answers: the caller gives up and aborts; one completion.
        ScriptedServer server;
        server.awaitClose().start();
        Session s(server);
        EXPECT_EQ(s.request(Connect, 200ms), -1);
        s.cli.Abort();
        EXPECT_TRUE(s.loop.runUntil([&] { return s.completions == 1; }, 5s));
        EXPECT_EQ(s.events, (Lines{"closed 0", "done 0 10004"}));
        EXPECT_EQ(s.cli.State(), smtpReady);
    }
}

TEST(SmtpClientTest, AConnectionLostDuringDataStopsThePump) {
    ScriptedServer server;
    server.send("220 hi\r\n").answer("HELO", "250 ok").answer("DATA", "354 go");
    server.expect("line").close().start();
    Session s(server);
    s.cli.OwnHeaders = true;
    int produced = 0;
    s.cli.OnGetData = [&](TCustomSmtpClient&, int n, std::string& line, int, bool& more) {
        ++produced;
        line = "line " + std::to_string(n) + std::string(500, 'x');
        more = n < 100000;
    };
    EXPECT_EQ(s.run({Connect, Helo, Data}), (Codes{0, 0, 10004}));
    int afterwards = produced;
    s.loop.runUntil([] { return false; }, 100ms);
    EXPECT_EQ(produced, afterwards);
    EXPECT_LT(produced, 100000);
}

TEST(SmtpClientTest, ABodyThatFailsHalfwayIsNeverDeliveredAsComplete) {
    ScriptedServer server;
    server.send("220 hi\r\n").answer("HELO", "250 ok").answer("DATA", "354 go");
    server.receiveMessage().start();
    Session s(server);
    s.cli.OwnHeaders = true;
    s.cli.OnGetData = [](TCustomSmtpClient&, int n, std::string& line, int, bool& more) {
        if (n == 2)
            throw std::runtime_error("attachment unreadable");
        line = "first";
        more = true;
    };
    EXPECT_EQ(s.run({Connect, Helo, Data}), (Codes{0, 0, 500}));
    EXPECT_EQ(s.cli.ErrorMessage(),
              "500 Message body could not be produced: attachment unreadable");
    EXPECT_EQ(server.problems(), Lines{"the message ended without \".\""});
}

// Without AUTH the automatic mode still greets with EHLO, to see an offer of STARTTLS; a server
// that does not know EHLO gets HELO within the same request. "none" greets with HELO as ever.
TEST(SmtpClientTest, TheAutomaticModeGreetsWithEhloAndFallsBackToHelo) {
    ScriptedServer server;
    server.send("220 hi\r\n")
        .answer("EHLO client.test", "502 what?")
        .answer("HELO client.test", "250 ok")
        .awaitClose()
        .start();
    Session s(server);
    s.cli.AuthType = smtpAuthNone;
    EXPECT_EQ(s.run({Open}), Codes{0});
    EXPECT_EQ(s.events, Lines{"done 8 0"});
    EXPECT_EQ(s.cli.ErrorMessage(), "");
    s.cli.Abort();
    EXPECT_EQ(server.problems(), Lines{});

    ScriptedServer old;
    old.send("220 hi\r\n").answer("HELO client.test", "250 ok").awaitClose().start();
    Session none(old);
    none.cli.Security = smtpSecurityNone;
    EXPECT_EQ(none.run({Open}), Codes{0});
    none.cli.Abort();
    EXPECT_EQ(old.problems(), Lines{});
}

// A name that cannot be found reports the lookup's error, even when the caller aborts the client
// on the close that comes with it (as the send driver does).
TEST(SmtpClientTest, AFailedNameLookupCompletesWithItsOwnError) {
    ScriptedServer unused;
    Session s(unused);
    s.cli.Host = "a..b"; // refused by the resolver without asking a name server
    s.cli.OnSessionClosed = [&](TCustomSmtpClient& cli, int error) {
        s.events.push_back("closed " + std::to_string(error));
        cli.Abort();
    };
    EXPECT_EQ(s.request(Connect), 11001);
    EXPECT_EQ(s.events, (Lines{"closed 11001", "done 0 11001"}));
    EXPECT_EQ(s.cli.LastResponse(), "500 Host not found (Winsock error #11001)");
}

TEST(SmtpClientTest, OpenFallsBackToHeloAndMailStopsAtTheFirstRefusal) {
    ScriptedServer server;
    server.send("220 hi\r\n")
        .answer("EHLO", "502 what?")
        .answer("HELO", "250 ok")
        .answer("MAIL FROM", "250 ok")
        .answer("RCPT TO", "550 unknown")
        .awaitClose()
        .start();
    Session s(server);
    s.cli.AuthType = smtpAuthLogin;
    s.cli.RcptName = {"lehrer@schule.test"};
    EXPECT_EQ(s.run({Open, Mail}), (Codes{0, 550}));
    EXPECT_EQ(s.events, (Lines{"done 8 0", "done 9 550"}));
    s.cli.Abort();
    EXPECT_EQ(server.problems(), Lines{});

    ScriptedServer mute;
    mute.awaitClose().start();
    Session aborted(mute);
    EXPECT_EQ(aborted.request(Open, 100ms), -1);
    aborted.cli.Abort();
    EXPECT_TRUE(aborted.loop.runUntil([&] { return aborted.completions == 1; }, 5s));
    EXPECT_EQ(aborted.events.back(), "done 8 426");
    EXPECT_EQ(aborted.cli.ErrorMessage(), "426 Operation aborted.");
}

} // namespace
} // namespace tafelbot
