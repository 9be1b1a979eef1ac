// The socket component on the poll loop against a scripted peer on 127.0.0.1.

#include "smtp/WSocket.h"

#include "ScriptedServer.h"
#include "smtp/PollEventLoop.h"
#include "smtp/SendBuffer.h"
#include "smtp/WSocketResolve.h"
#include "support/SmtpSession.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tafelbot {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedServer;

const auto thrownText = testing::thrownText<ESocketException>;

struct SocketFixture : ::testing::Test {
    PollEventLoop loop;
    TWSocket socket{loop};
    std::vector<std::string> events;
    std::string received;

    // A handler that notes the event with its error number.
    std::function<void(TWSocket&, int)> note(const std::string& event) {
        return
            [this, event](TWSocket&, int e) { events.push_back(event + " " + std::to_string(e)); };
    }

    SocketFixture() {
        socket.OnSessionConnected = note("connected");
        socket.OnSessionClosed = note("closed");
        socket.OnDataSent = note("sent");
        socket.OnDataAvailable = [&](TWSocket& s, int) {
            char buffer[100];
            int n = s.Receive(buffer, sizeof buffer);
            if (n > 0)
                received.append(buffer, static_cast<std::size_t>(n));
        };
    }

    void connectTo(ScriptedServer& server) {
        server.runOn(loop);
        socket.SetAddr("127.0.0.1");
        socket.SetPort(server.portText());
        socket.Connect();
    }

    long count(const std::string& event) const {
        return std::count(events.begin(), events.end(), event);
    }
    bool has(const std::string& event) const { return count(event) > 0; }
};

TEST(SendBufferTest, FillsChunksOf1460BytesAndFreesThemAsTheyAreSent) {
    SendBuffer buffer;
    buffer.Append(std::string(5000, 'a'));
    std::vector<std::size_t> chunks;
    for (std::string_view chunk : buffer.FrontChunks(10))
        chunks.push_back(chunk.size());
    EXPECT_EQ(chunks, (std::vector<std::size_t>{1460, 1460, 1460, 620}));
    // A write that took part of the chunks leaves the rest in front.
    buffer.Remove(3000);
    EXPECT_EQ(buffer.FrontChunks(1).at(0).size(), 1380u);
    buffer.Remove(2000);
    EXPECT_TRUE(buffer.Empty());

    // A partly sent chunk keeps its rest in front; new bytes queue behind.
    buffer.Append("hello");
    buffer.Remove(2);
    buffer.Append(" world");
    EXPECT_EQ(buffer.Front(), "llo world");
}

TEST(WSocketResolveTest, TellsDottedAddressesAndResolvesPortsAndProtocols) {
    for (const char* text : {"127.0.0.1", "  255.255.255.255  "})
        EXPECT_TRUE(WSocketIsDottedIP(text)) << text;
    for (const char* text : {".1.2.3", "1.2.3", "1.2.3.256", "1.2.3.4.5", "localhost"})
        EXPECT_FALSE(WSocketIsDottedIP(text)) << text;
    EXPECT_EQ(WSocketDottedText(WSocketResolveHost("010.0.0.001")), "10.0.0.1");

    EXPECT_EQ(WSocketResolvePort("2525", "tcp"), 2525);
    EXPECT_EQ(WSocketResolvePort("smtp", "tcp"), 25);
    EXPECT_THROW(WSocketResolvePort("65536", "tcp"), ESocketException);
    EXPECT_THROW(WSocketResolvePort("25x", "tcp"), ESocketException);
    EXPECT_EQ(WSocketResolveProto("TCP"), 6);
    EXPECT_EQ(WSocketResolveProto("udp"), 17);
    EXPECT_EQ(WSocketResolveProto("255"), 255);
    EXPECT_EQ(thrownText([&] { WSocketResolveHost(""); }),
              "WSocketResolveHost: '' Invalid Hostname.");
    EXPECT_EQ(thrownText([&] { WSocketResolvePort("", "tcp"); }),
              "WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(WSocketErrorDesc(12345), "Not a WinSock error");
}

TEST_F(SocketFixture, DottedAddressesAreFoundInsideTheCallNamesLaterAndMisuseRaises) {
    int result = -1;
    socket.OnDnsLookupDone = [&](TWSocket&, int e) { result = e; };
    socket.DnsLookup(" 127.000.0.1 ");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
    EXPECT_EQ(socket.DnsResultList(), std::vector<std::string>{"127.0.0.1"});

    result = -1;
    socket.DnsLookup("localhost");
    EXPECT_EQ(result, -1) << "a name lookup must not complete inside the call";
    EXPECT_TRUE(socket.DnsResult().empty());
    ASSERT_TRUE(loop.runUntil([&] { return result != -1; }, 10s));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(socket.DnsResult().rfind("127.", 0), 0u);

    // Misuse raises the exact texts, or goes to OnError where that is set.
    EXPECT_EQ(thrownText([&] { socket.DnsLookup("   "); }), "DNS lookup: invalid host name.");
    EXPECT_EQ(thrownText([&] { socket.SendStr("x"); }),
              "Error 10057 in function Send\r\nSocket is not connected");
    socket.SetPort("25");                             // without it: the close test
    EXPECT_THROW(socket.Connect(), ESocketException); // no address

    int errors = 0;
    socket.OnError = [&](TWSocket&) { ++errors; };
    EXPECT_EQ(socket.SendStr("x"), -1);
    EXPECT_EQ(socket.LastError(), 10057);
    socket.DnsLookup("");
    EXPECT_EQ(result, 10022);
    EXPECT_EQ(errors, 2);
}

TEST_F(SocketFixture, DataGoesBothWaysAndAPeerThatClosesGivesOneCloseAndTheDefaultsBack) {
    std::string payload, text(3000, 'z');
    for (int i = 0; i < 5000; ++i)
        payload += static_cast<char>('a' + i % 26);
    ScriptedServer server({"read 5000", "+ " + text, "close"});
    socket.OnSessionConnected = [&](TWSocket& s, int e) {
        events.push_back("connected " + std::to_string(e));
        EXPECT_EQ(s.SendStr(payload), 5000);
        EXPECT_FALSE(has("sent 0")) << "OnDataSent ran inside Send";
    };
    std::vector<std::pair<TSocketState, TSocketState>> changes;
    socket.OnChangeState = [&](TWSocket&, TSocketState from, TSocketState to) {
        changes.push_back({from, to});
    };
    socket.SetProto(" udp ");
    EXPECT_EQ(socket.Proto(), "udp");
    socket.SetProto("tcp");
    socket.LingerOnOff = wsLingerOff;
    connectTo(server);
    EXPECT_EQ(socket.State(), wsConnecting);
    EXPECT_EQ(thrownText([&] { socket.SetAddr("10.0.0.1"); }), "Cannot change Addr if not closed");
    EXPECT_THROW(socket.SetLocalAddr("127.0.0.1"), ESocketException);
    ASSERT_TRUE(loop.runUntil([&] { return has("closed 0"); }, 5s));
    EXPECT_EQ(server.received(), payload);
    EXPECT_EQ(received, text);
    EXPECT_EQ(count("sent 0"), 1);
    EXPECT_EQ(events.back(), "closed 0");
    EXPECT_EQ(changes,
              (std::vector<std::pair<TSocketState, TSocketState>>{{wsClosed, wsOpened},
                                                                  {wsOpened, wsConnecting},
                                                                  {wsConnecting, wsConnected},
                                                                  {wsConnected, wsClosed}}));

    // Close forgets the peer (Addr and Port must be set again) and resets the rest.
    EXPECT_EQ(socket.Addr(), "127.0.0.1");
    EXPECT_EQ(thrownText([&] { socket.Connect(); }), "Connect: No Port Specified");
    EXPECT_EQ(socket.LingerOnOff, wsLingerOn);
    EXPECT_EQ(socket.LocalAddr(), "0.0.0.0");
    socket.Close(); // one close reported, also after a second one
    EXPECT_EQ(count("closed 0"), 1);
}

TEST_F(SocketFixture, AResetPeerReportsItsErrorNumber) {
    ScriptedServer server({"read 2", "reset"});
    connectTo(server);
    ASSERT_TRUE(loop.runUntil([&] { return has("connected 0"); }, 5s));
    socket.SendStr("hi");
    ASSERT_TRUE(loop.runUntil(
        [&] { return !events.empty() && events.back().rfind("closed", 0) == 0; }, 5s));
    EXPECT_EQ(events.back(), "closed 10054");
}

// Lines split across reads are the splitter's (SmtpEngineTest, "replies together or in pieces").
TEST_F(SocketFixture, LineModeEditsEchoesWatchesTheLimitAndAThrowingHandlerEndsInAnAbort) {
    const std::string typed = "ab\bc\r\none\r\n" + std::string(40, 'x');
    ScriptedServer server({"+ " + typed, "read 51", "> boom"}); // the echo, then boom
    std::vector<std::string> lines;
    std::vector<int> exceeded;
    socket.SetLineMode(true);
    socket.LineEdit = true;
    socket.LineEcho = true;
    socket.LineLimit = 30;
    socket.OnDataAvailable = [&](TWSocket& s, int) {
        lines.push_back(s.ReceiveStr());
        if (lines.back() == "boom\r\n")
            throw std::runtime_error("handler failed");
    };
    socket.OnLineLimitExceeded = [&](TWSocket&, int length, bool& clear) {
        exceeded.push_back(length);
        clear = true;
    };
    std::string caught;
    socket.OnBgException = [&](TWSocket&, const std::exception& e, bool& canClose) {
        caught = e.what();
        EXPECT_TRUE(canClose);
    };
    connectTo(server);
    ASSERT_TRUE(loop.runUntil([&] { return has("closed 0"); }, 5s));
    EXPECT_EQ(lines, (std::vector<std::string>{"ac\r\n", "one\r\n", "boom\r\n"}));
    EXPECT_EQ(exceeded, std::vector<int>{40});
    EXPECT_EQ(caught, "handler failed");
    EXPECT_EQ(socket.State(), wsClosed);
    EXPECT_EQ(server.received(), typed);
}

// Tasks from other threads: the name lookup's helper posts its result (the lookup test above).
TEST(PollEventLoopTest, PostedTasksRunLaterInOrderAndTimersCanBeCancelled) {
    PollEventLoop loop;
    std::vector<std::string> order;
    loop.post([&] {
        order.push_back("first");
        loop.post([&] { order.push_back("posted by first"); });
    });
    loop.post([&] { order.push_back("second"); });
    EXPECT_TRUE(order.empty());
    auto cancelled = loop.startTimer(1ms, [&] { order.push_back("cancelled timer"); });
    loop.startTimer(20ms, [&] { order.push_back("timer"); });
    loop.cancelTimer(cancelled);
    ASSERT_TRUE(loop.runUntil([&] { return order.size() == 4; }, 5s));
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "posted by first", "timer"}));
}

} // namespace
} // namespace tafelbot
