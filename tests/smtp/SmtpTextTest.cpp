// Text rules of the SMTP client: addresses, recipient lists, reply codes, dot-stuffing, the
// domain of the message identifier. (The AUTH answers: the real-server tests.)

#include "smtp/SmtpText.h"

#include "smtp/CustomSmtpClient.h"
#include "smtp/PollEventLoop.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

TEST(SmtpTextTest, ExtractsTheAddressFromEveryFormTheSettingsMayHold) {
    struct Case {
        const char* text;
        const char* name;
        const char* address;
    };
    // clang-format off
    const Case cases[] = {
        {"a@b.de", "a@b.de", "a@b.de"}, {"  Hans Meier <hm@b.de>", "Hans Meier", "hm@b.de"},
        {"\"Meier, Hans\" <hm@b.de>", "Meier, Hans", "hm@b.de"},
        {"'Meier' hm@b.de", "Meier", "hm@b.de"}, {"Hans hm@b.de", "Hans", "hm@b.de"},
        {"<hm@b.de>", "", "hm@b.de"}, {"Hans <hm@b.de", "Hans", "hm@b.de"},
        {"Hans", "Hans", ""}, {"", "", ""}};
    // clang-format on
    for (const auto& c : cases) {
        ParsedAddress parsed = ParseAddress(c.text);
        EXPECT_EQ(parsed.displayName, c.name) << c.text;
        EXPECT_EQ(parsed.address, c.address) << c.text;
    }
}

TEST(SmtpTextTest, RecipientListsSplitOutsideQuotesAndKeepEachItemWhole) {
    EXPECT_EQ(SplitAddressList(" a@x.de; \"Meier, Hans\" <hm@x.de> ,, b@x.de;"),
              (std::vector<std::string>{"a@x.de", "\"Meier, Hans\" <hm@x.de>", "b@x.de"}));
    EXPECT_EQ(SplitAddressList("\"unclosed, quote"), std::vector<std::string>{"\"unclosed, quote"});

    PollEventLoop loop;
    TCustomSmtpClient cli(loop);
    cli.RcptName = {"first@x.de"};
    cli.AddRecipientLists("to@x.de", "", "Kopie <bcc@x.de>; second@x.de");
    EXPECT_EQ(cli.RcptName, (std::vector<std::string>{"first@x.de", "to@x.de", "Kopie <bcc@x.de>",
                                                      "second@x.de"}));
}

TEST(SmtpTextTest, ReplyCodesAndContinuationLines) {
    // Plain replies, continuation lines and plain text: the engine's dialogues.
    EXPECT_EQ(ParseReplyCode(" \t+354 go ahead").code, 354);
    // Anything that is not a reply must never count as accepted.
    for (const char* line : {"0 OK", "-250 OK", "99999999999999 OK"})
        EXPECT_EQ(ParseReplyCode(line).code, 500) << line;
    EXPECT_FALSE(ParseReplyCode("garbage-").continuation);
}

TEST(SmtpTextTest, DotStuffingDoublesEveryLeadingDotAndEndsLinesWithCrLf) {
    EXPECT_EQ(DotStuffed("."), "..");
    EXPECT_EQ(DotStuffed(".a\r\n.b\r\nc.d"), "..a\r\n..b\r\nc.d");
    // A bare line feed can not smuggle an end of message past the server.
    EXPECT_EQ(DotStuffed("x\n.\nQUIT"), "x\r\n..\r\nQUIT");
    EXPECT_EQ(DotStuffed("x\r.y"), "x\r\n..y");
    EXPECT_EQ(DotStuffed(""), "");
}

// The date, and the identifier in its place: the header test (SmtpSocketTest).
TEST(SmtpTextTest, MessageIdsHaveAUsableDomain) {
    const platform::CivilTime t{2026, 12, 5, 8, 22, 26, 0, 6};
    EXPECT_EQ(MakeMessageId(std::string("\x01\xAB\xFF", 3), t, "schule.de"),
              "<01abff.20261205082226@schule.de>");
    EXPECT_EQ(MakeMessageId("", t, "we ird>@"), "<.20261205082226@weird>");
    EXPECT_EQ(MakeMessageId("", t, ""), "<.20261205082226@localhost>");
}

} // namespace
} // namespace tafelbot
