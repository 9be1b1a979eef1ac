// The mail clients' part of DATA driven without a network: the hooks the pump calls, in the
// order it calls them.

#include "smtp/HtmlSmtpCli.h"

#include "platform/Platform.h"
#include "smtp/PollEventLoop.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <regex>

namespace tafelbot {
namespace {

class FixedClock : public platform::Clock {
public:
    platform::CivilTime localNow() override { return {2026, 12, 5, 8, 22, 26, 0, 6}; }
    std::optional<platform::CivilTime> utcNow() override { return localNow(); }
    std::uint32_t tickCount() override { return 0x00ABCDEF; }
};

class ProbeClient : public THtmlSmtpCli {
public:
    using THtmlSmtpCli::PrepareEmail;
    using THtmlSmtpCli::THtmlSmtpCli;

    // The header as the pump sends it, from the lines Data built.
    std::vector<std::string> header(std::vector<std::string> lines) {
        TriggerProcessHeader(lines);
        for (auto& line : lines)
            TriggerHeaderLine(line);
        return lines;
    }
    std::vector<std::string> body() {
        std::vector<std::string> items;
        bool more = true;
        for (int lineNum = 1; lineNum < 10000; ++lineNum) {
            std::string line;
            TriggerGetData(lineNum, line, 1023, more);
            if (!more)
                break;
            items.push_back(line);
        }
        return items;
    }
};

const std::vector<std::string> builtHeader = {"Subject: Plan", "Mime-Version: 1.0",
                                              "Content-Type: text/html; charset=\"iso-8859-1\"",
                                              "X-Note: content-type: stays"};

class HtmlSmtpCliTest : public ::testing::Test {
protected:
    HtmlSmtpCliTest() { platform::setClockForTesting(&clock); }
    ~HtmlSmtpCliTest() override { platform::setClockForTesting(nullptr); }

    FixedClock clock;
    PollEventLoop loop;
    ProbeClient client{loop};
    testing::TempDir dir;
};

TEST_F(HtmlSmtpCliTest, HtmlMailGetsARelatedHeaderFreshBoundariesAndOnGetData) {
    EXPECT_EQ(client.ContentType(), smtpHtml);
    client.PlainText = {"Gr\xFC\xDF"
                        "e"};
    std::vector<std::string> seenByHandler;
    client.OnProcessHeader = [&](TCustomSmtpClient&, std::vector<std::string>& lines) {
        seenByHandler = lines;
    };
    client.OnGetData = [&](TCustomSmtpClient&, int lineNum, std::string& line, int, bool&) {
        if (lineNum == 1)
            line = "Vorspann";
    };
    std::vector<std::string> outers;
    for (int message = 0; message < 3; ++message) {
        platform::seedRandomForTesting(7); // the same clock and random sequence every time
        client.PrepareEmail();
        auto header = client.header(builtHeader);
        auto expectedHeader = builtHeader;
        expectedHeader[2] = "Content-Type: multipart/related; type=\"multipart/alternative\"; "
                            "boundary=\"" +
                            client.OuterBoundary() + "\"";
        EXPECT_EQ(header, expectedHeader);
        EXPECT_EQ(seenByHandler, expectedHeader);
        auto body = client.body();
        ASSERT_EQ(body.size(), 19u);
        EXPECT_EQ(body[0], "Vorspann");
        EXPECT_EQ(body[2], "--" + client.OuterBoundary());
        EXPECT_EQ(body[9], "Gr=FC=DFe");
        outers.push_back(client.OuterBoundary());
    }
    EXPECT_NE(outers[0], outers[1]);
    EXPECT_NE(outers[1], outers[2]);

    const std::regex form("----=_NextPart_000_00ABCDEF_([01])\\.([0-9A-F]{8})");
    std::smatch outer, inner;
    ASSERT_TRUE(std::regex_match(client.OuterBoundary(), outer, form)) << client.OuterBoundary();
    ASSERT_TRUE(std::regex_match(client.InnerBoundary(), inner, form)) << client.InnerBoundary();
    EXPECT_EQ(outer[1].str() + inner[1].str(), "01");
    EXPECT_EQ(outer[2], inner[2]);
    EXPECT_LT(std::stoul(outer[2], nullptr, 16), 2147483647u);
}

TEST_F(HtmlSmtpCliTest, PlainTextModeSendsTheTextUnencodedAndFilesAsMultipartMixed) {
    client.SetContentType(smtpPlainText);
    client.MailMessage = {"Aus MailMessage"};
    client.PlainText = {"Gr\xFC\xDF"
                        "e = 1",
                        ".Punkt", std::string(1500, 'l')};
    client.PrepareEmail();
    EXPECT_EQ(client.header(builtHeader), builtHeader);
    EXPECT_EQ(client.body(), (std::vector<std::string>{"Aus MailMessage",
                                                       "Gr\xFC\xDF"
                                                       "e = 1",
                                                       ".Punkt", std::string(1022, 'l')}));

    testing::writeFile(dir.file("plan.txt"), "Plan");
    client.PlainText = {"Text"};
    client.SetEmailFiles({dir.file("plan.txt")});
    client.PrepareEmail();
    const std::string boundary = "= Multipart Boundary 1205260822";
    EXPECT_EQ(client.header(builtHeader)[2],
              "Content-Type: multipart/mixed;\r\n\tboundary=\"" + boundary + "\"");
    const std::vector<std::string> expected = {"This is a multipart MIME message.",
                                               "",
                                               "--" + boundary,
                                               "Content-Type: text/plain; charset=\"iso-8859-1\"",
                                               "Content-Transfer-Encoding: 7bit",
                                               "",
                                               "Aus MailMessage",
                                               "Text",
                                               "",
                                               "--" + boundary,
                                               "Content-Type: text/plain;",
                                               "\tname=\"plan.txt\"",
                                               "Content-Transfer-Encoding: base64",
                                               "Content-Disposition: attachment;",
                                               "\tfilename=\"plan.txt\"",
                                               "",
                                               base64Encode("Plan"),
                                               "",
                                               "--" + boundary + "--"};
    EXPECT_EQ(client.body(), expected);

    // The next mails, plain without files and HTML, must not inherit that boundary.
    client.SetEmailFiles({});
    client.PrepareEmail();
    EXPECT_EQ(client.header(builtHeader), builtHeader);
    client.SetContentType(smtpHtml);
    client.PrepareEmail();
    EXPECT_NE(client.header(builtHeader)[2].find("multipart/related"), std::string::npos);
}

TEST_F(HtmlSmtpCliTest, FileListsKeepTrimmedExistingNamesAndUnreadableOnesRefuseTheMessage) {
    testing::writeFile(dir.file("a.gif"), "GIF89a");
    const std::string missing = dir.file("fehlt.gif");
    try {
        client.SetEmailImages(
            {"  " + dir.file("a.gif") + " ", "", " ", missing, dir.file("a.gif")});
        ADD_FAILURE() << "no exception";
    } catch (const SmtpException& e) {
        EXPECT_EQ(std::string(e.what()), "File not found '" + missing + "'");
    }
    EXPECT_EQ(client.EmailImages(), std::vector<std::string>{dir.file("a.gif")});
    EXPECT_THROW(client.SetEmailFiles({missing}), SmtpException);
    EXPECT_TRUE(client.EmailFiles().empty());

    // Gone between the assignment and the sending: refused before anything goes out.
    std::remove(dir.file("a.gif").c_str());
    EXPECT_THROW(client.PrepareEmail(), AttachmentUnreadable);
    testing::writeFile(dir.file("liste.txt"), "x");
    client.SetEmailImages({});
    client.SetEmailFiles({dir.file("liste.txt")});
    std::remove(dir.file("liste.txt").c_str());
    client.SetContentType(smtpPlainText);
    EXPECT_THROW(client.PrepareEmail(), AttachmentUnreadable);
}

} // namespace
} // namespace tafelbot
