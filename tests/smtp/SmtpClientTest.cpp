// The client face over its socket: the header it builds and what only a real connection shows.
// The protocol itself is the engine's, tested by transcripts (SmtpEngineTest).

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
    Lines lines;
    {
        testing::FixedClock clock({2026, 12, 5, 8, 22, 26, 0, 6}, 1000);
        lines = cli.MessageLines();
    }
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
    EXPECT_THROW(cli.Data(), SmtpException); // not connected either: nothing goes out
}

// What only a socket shows: a refused connect, a server that never answers and a request that
// completes later, never inside the call.
TEST(SmtpClientTest, ConnectionsThatFailCompleteOnceAndLater) {
    using testing::thrownText;
    {
        PollEventLoop loop;
        TCustomSmtpClient cli(loop);
        EXPECT_EQ(thrownText([&] { cli.Connect(); }), "DNS lookup: invalid host name.");
        EXPECT_EQ(cli.State(), smtpReady);
        bool done = false;
        cli.OnRequestDone = [&](TCustomSmtpClient&, TSmtpRequest rq, std::uint16_t code) {
            done = rq == smtpQuit && code == 0;
        };
        cli.Quit(); // not connected: completes with 0, but later
        EXPECT_FALSE(done);
        EXPECT_TRUE(loop.runUntil([&] { return done; }, 5s));
    }
    {
        ScriptedServer unused;
        Session s(unused);
        s.cli.Port = ScriptedServer::unusedPort();
        EXPECT_EQ(s.request(Connect), 10061);
        EXPECT_EQ(s.cli.LastResponse(), "500 Connection refused (Winsock error #10061)");
        EXPECT_EQ(s.cli.State(), smtpReady);
    }
    {
        // A server that never answers: the caller gives up and aborts; one completion.
        ScriptedServer server([](auto& peer) { peer.awaitClose(); });
        Session s(server);
        s.cli.Connect();
        s.cli.Abort();
        EXPECT_TRUE(s.loop.runUntil([&] { return s.completions == 1; }, 5s));
        EXPECT_EQ(s.events, (Lines{"closed 0", "done 0 10004"}));
        EXPECT_EQ(s.cli.State(), smtpReady);
        EXPECT_TRUE(server.finish());
    }
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

} // namespace
} // namespace tafelbot
