// The HTML mail client's messages as they would go out, without a network: the MIME body line by
// line, the Content-Type it puts in the header, and the hooks it calls.

#include "smtp/HtmlSmtpCli.h"

#include "smtp/PollEventLoop.h"
#include "support/FixedClock.h"
#include "support/SmtpSession.h"
#include "support/TestFiles.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <regex>

namespace tafelbot {
namespace {

using Lines = std::vector<std::string>;

const std::string greeting = std::string("Gr\xFC\xDF") + "e = 1";

class HtmlSmtpCliTest : public ::testing::Test {
protected:
    testing::FixedClock clock{{2026, 12, 5, 8, 22, 26, 0, 6}, 0x00ABCDEF};
    PollEventLoop loop;
    THtmlSmtpCli client{loop};
    testing::TempDir dir;
    Lines header; // of the last message

    // Only a line that starts with it is the Content-Type header.
    HtmlSmtpCliTest() { client.HdrSubject = "content-type: stays"; }

    // The last message's body; its header goes to `header`.
    Lines body() {
        Lines lines = client.MessageLines();
        auto blank = std::find(lines.begin(), lines.end(), "");
        header.assign(lines.begin(), blank);
        EXPECT_EQ(header.at(0), "Subject: content-type: stays");
        return Lines(blank + 1, lines.end());
    }
    std::string contentType() const {
        return *std::find_if(header.begin(), header.end(), [](const std::string& line) {
            return line.rfind("Content-Type:", 0) == 0;
        });
    }
};

TEST_F(HtmlSmtpCliTest, HtmlMailIsTheRelatedSkeletonWithBase64PartsFreshBoundariesAndHooksLast) {
    std::string imageBytes; // a multiple of 54 bytes: full lines, then one empty line
    for (int i = 0; i < 108; ++i)
        imageBytes += static_cast<char>(i * 7);
    testing::writeFile(dir.file("logo.GIF"), imageBytes);
    testing::writeFile(dir.file("plan.txt"), "Plan\n");
    client.PlainText = {greeting};
    client.HtmlText = {"<img src=\"cid:IMAGE1\">"};
    client.SetEmailImages({dir.file("logo.GIF")});
    client.SetEmailFiles({dir.file("plan.txt")});
    Lines seenByHandler;
    client.OnProcessHeader = [&](TCustomSmtpClient&, Lines& lines) { seenByHandler = lines; };
    client.OnGetData = [&](TCustomSmtpClient&, int lineNum, std::string& line, int, bool&) {
        if (lineNum == 1)
            line += " Vorspann";
    };
    Lines outers;
    for (int message = 0; message < 2; ++message) {
        platform::seedRandomForTesting(7); // the same clock and random sequence every time
        const Lines got = body();
        const std::string outer = client.OuterBoundary();
        const std::string inner = client.InnerBoundary();
        EXPECT_EQ(contentType(), "Content-Type: multipart/related; "
                                 "type=\"multipart/alternative\"; boundary=\"" +
                                     outer + "\"");
        EXPECT_EQ(seenByHandler, header);
        const std::string qp = "Content-Transfer-Encoding: quoted-printable";
        const std::string b64 = "Content-Transfer-Encoding: base64";
        // clang-format off
        EXPECT_EQ(got, (Lines{
            "This is a multipart MIME formatted message. Vorspann", "",
            "--" + outer, "Content-Type: multipart/alternative; boundary=\"" + inner + "\"", "",
            "--" + inner, "Content-Type: text/plain; charset=\"iso-8859-1\"", qp, "",
            "Gr=FC=DFe =3D 1", "",
            "--" + inner, "Content-Type: text/html; charset=\"iso-8859-1\"", qp, "",
            "<img src=3D\"cid:IMAGE1\">", "",
            "--" + inner + "--", "",
            "--" + outer, "Content-Type: image/gif;\r\n\tname=\"logo.GIF\"", b64,
            "Content-Disposition: inline;\r\n\tfilename=\"logo.GIF\"", "Content-ID: <IMAGE1>", "",
            base64Encode(imageBytes.substr(0, 54)), base64Encode(imageBytes.substr(54)), "", "",
            "--" + outer, "Content-Type: text/plain;\r\n\tname=\"plan.txt\"", b64,
            "Content-Disposition: attachment;\r\n\tfilename=\"plan.txt\"", "X-File-ID: <FILE1>", "",
            base64Encode("Plan\n"), "",
            "--" + outer + "--"}));
        // clang-format on
        outers.push_back(outer);
    }
    EXPECT_NE(outers[0], outers[1]);

    const std::regex form("----=_NextPart_000_00ABCDEF_([01])\\.([0-9A-F]{8})");
    std::smatch outer, inner;
    ASSERT_TRUE(std::regex_match(client.OuterBoundary(), outer, form)) << client.OuterBoundary();
    ASSERT_TRUE(std::regex_match(client.InnerBoundary(), inner, form)) << client.InnerBoundary();
    EXPECT_EQ(outer[1].str() + inner[1].str(), "01");
    EXPECT_EQ(outer[2], inner[2]);
    EXPECT_LT(std::stoul(outer[2], nullptr, 16), 2147483647u);

    // Gone after the check before sending: the body ends with an error, never silently.
    client.OnGetData = [&](TCustomSmtpClient&, int, std::string&, int, bool&) {
        std::remove(dir.file("plan.txt").c_str());
    };
    EXPECT_THROW(body(), AttachmentUnreadable);
}

TEST_F(HtmlSmtpCliTest, PlainTextModeSendsTheTextUnencodedAndFilesAsMultipartMixed) {
    client.SetContentType(smtpPlainText);
    client.MailMessage = {"Aus MailMessage"};
    client.PlainText = {greeting, ".Punkt", std::string(1500, 'l')};
    EXPECT_EQ(body(), (Lines{"Aus MailMessage", greeting, ".Punkt", std::string(1022, 'l')}));

    testing::writeFile(dir.file("plan.txt"), "Plan");
    client.PlainText = {"Text"};
    client.SetEmailFiles({dir.file("plan.txt")});
    const std::string boundary = "= Multipart Boundary 1205260822";
    // clang-format off
    const Lines expected = {
        "This is a multipart MIME message.", "",
        "--" + boundary, "Content-Type: text/plain; charset=\"iso-8859-1\"",
        "Content-Transfer-Encoding: 7bit", "", "Aus MailMessage", "Text", "",
        "--" + boundary, "Content-Type: text/plain;", "\tname=\"plan.txt\"",
        "Content-Transfer-Encoding: base64", "Content-Disposition: attachment;",
        "\tfilename=\"plan.txt\"", "", base64Encode("Plan"), "",
        "--" + boundary + "--"};
    // clang-format on
    EXPECT_EQ(body(), expected);
    EXPECT_EQ(contentType(), "Content-Type: multipart/mixed;\r\n\tboundary=\"" + boundary + "\"");

    // The next mails, plain without files and HTML, must not inherit that boundary.
    client.SetEmailFiles({});
    body();
    EXPECT_EQ(contentType(), "Content-Type: text/plain; charset=\"iso-8859-1\"");
    client.SetContentType(smtpHtml);
    body();
    EXPECT_NE(contentType().find("multipart/related"), std::string::npos);
}

TEST_F(HtmlSmtpCliTest, FileListsKeepTrimmedExistingNamesAndUnreadableOnesRefuseTheMessage) {
    testing::writeFile(dir.file("a.gif"), "GIF89a");
    const std::string missing = dir.file("fehlt.gif");
    EXPECT_EQ(testing::thrownText<SmtpException>([&] {
                  client.SetEmailImages(
                      {"  " + dir.file("a.gif") + " ", "", " ", missing, dir.file("a.gif")});
              }),
              "File not found '" + missing + "'");
    EXPECT_EQ(client.EmailImages(), std::vector<std::string>{dir.file("a.gif")});
    EXPECT_THROW(client.SetEmailFiles({missing}), SmtpException);
    EXPECT_TRUE(client.EmailFiles().empty());

    // Gone between the assignment and the sending: refused before anything goes out.
    std::remove(dir.file("a.gif").c_str());
    EXPECT_THROW(body(), AttachmentUnreadable);
    testing::writeFile(dir.file("liste.txt"), "x");
    client.SetEmailImages({});
    client.SetEmailFiles({dir.file("liste.txt")});
    std::remove(dir.file("liste.txt").c_str());
    client.SetContentType(smtpPlainText);
    EXPECT_THROW(body(), AttachmentUnreadable);
}

} // namespace
} // namespace tafelbot
