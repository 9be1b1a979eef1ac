#include "smtp/MimeBody.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

const std::string outer = "----=_NextPart_000_0000ABCD_0.12345678";
const std::string inner = "----=_NextPart_000_0000ABCD_1.12345678";

std::vector<std::string> wholeBody(HtmlMailBody& body) {
    std::vector<std::string> items;
    bool more = true;
    for (int lineNum = 1; lineNum < 100000; ++lineNum) {
        std::string line;
        body.produceLine(lineNum, line, more);
        if (!more)
            return items;
        items.push_back(line);
    }
    ADD_FAILURE() << "the body never ends";
    return items;
}

std::vector<std::string> wholeBody(PlainMailBody& body) {
    std::vector<std::string> lines;
    std::string line;
    while (lines.size() < 100000 && body.nextLine(line, 1023))
        lines.push_back(line);
    return lines;
}

HtmlMailBody::Input htmlInput(std::vector<std::string> plain, std::vector<std::string> html) {
    HtmlMailBody::Input input;
    input.plainText = std::move(plain);
    input.htmlText = std::move(html);
    input.charset = "iso-8859-1";
    input.htmlCharset = "iso-8859-1";
    return input;
}

TEST(HtmlMailBodyTest, OnePlainAndOneHtmlLineGiveTheCompleteSkeleton) {
    HtmlMailBody body;
    body.start(htmlInput({"Gr\xFC\xDF"
                          "e = 1"},
                         {"<p>Plan</p>"}),
               outer, inner);
    const std::vector<std::string> expected = {"This is a multipart MIME formatted message.",
                                               "",
                                               "--" + outer,
                                               "Content-Type: multipart/alternative; boundary=\"" +
                                                   inner + "\"",
                                               "",
                                               "--" + inner,
                                               "Content-Type: text/plain; charset=\"iso-8859-1\"",
                                               "Content-Transfer-Encoding: quoted-printable",
                                               "",
                                               "Gr=FC=DFe =3D 1",
                                               "",
                                               "--" + inner,
                                               "Content-Type: text/html; charset=\"iso-8859-1\"",
                                               "Content-Transfer-Encoding: quoted-printable",
                                               "",
                                               "<p>Plan</p>",
                                               "",
                                               "--" + inner + "--",
                                               "",
                                               "--" + outer + "--"};
    EXPECT_EQ(wholeBody(body), expected);
    EXPECT_EQ(body.mimeState(), 4);

    // Finished means finished: a further call produces nothing.
    std::string line = "x";
    bool more = true;
    body.produceLine(21, line, more);
    EXPECT_FALSE(more);
}

TEST(HtmlMailBodyTest, TextsAreEncodedItemsAndEmptyListsStillFormTheSkeleton) {
    HtmlMailBody body;
    std::string longLine(200, 'x');
    body.start(htmlInput({".Punkt am Anfang", "", longLine}, {}), outer, inner);
    auto items = wholeBody(body);
    ASSERT_EQ(items.size(), 21u);
    // The generator leaves the leading full stop; the transfer doubles it.
    EXPECT_EQ(items[9], ".Punkt am Anfang");
    EXPECT_EQ(items[10], "");
    EXPECT_EQ(items[11], std::string(75, 'x') + "=\r\n" + std::string(75, 'x') + "=\r\n" +
                             std::string(50, 'x'));
    EXPECT_EQ(items[12], "");
    EXPECT_EQ(items[13], "--" + inner);
    EXPECT_EQ(items[17], "");
    EXPECT_EQ(items[18], "--" + inner + "--");
    EXPECT_EQ(items[20], "--" + outer + "--");

    // A new message starts over with its own boundaries.
    body.start(htmlInput({"a"}, {"b"}), "O2", "I2");
    auto second = wholeBody(body);
    ASSERT_EQ(second.size(), 20u);
    EXPECT_EQ(second[2], "--O2");
    EXPECT_EQ(second[9], "a");
}

TEST(HtmlMailBodyTest, ImagesThenFilesFollowAsBase64Parts) {
    testing::TempDir dir;
    std::string imageBytes(54, '\x89'); // a multiple of 54 bytes: one empty line at the end
    std::string fileBytes = "Vertretungsplan\n";
    testing::writeFile(dir.file("logo.GIF"), imageBytes);
    testing::writeFile(dir.file("plan.txt"), fileBytes);

    HtmlMailBody body;
    auto input = htmlInput({"p"}, {"<img src=\"cid:IMAGE1\">"});
    input.images = {dir.file("logo.GIF")};
    input.files = {dir.file("plan.txt")};
    body.start(input, outer, inner);
    auto items = wholeBody(body);

    const std::vector<std::string> parts(items.begin() + 19, items.end());
    const std::vector<std::string> expected = {
        "--" + outer,
        "Content-Type: image/gif;\r\n\tname=\"logo.GIF\"",
        "Content-Transfer-Encoding: base64",
        "Content-Disposition: inline;\r\n\tfilename=\"logo.GIF\"",
        "Content-ID: <IMAGE1>",
        "",
        base64Encode(imageBytes),
        "",
        "",
        "--" + outer,
        "Content-Type: text/plain;\r\n\tname=\"plan.txt\"",
        "Content-Transfer-Encoding: base64",
        "Content-Disposition: attachment;\r\n\tfilename=\"plan.txt\"",
        "X-File-ID: <FILE1>",
        "",
        base64Encode(fileBytes),
        "",
        "--" + outer + "--"};
    EXPECT_EQ(parts, expected);
}

TEST(HtmlMailBodyTest, AFileThatVanishedBeforeItsTurnIsReportedNotSkipped) {
    testing::TempDir dir;
    HtmlMailBody body;
    auto input = htmlInput({}, {});
    input.files = {dir.file("weg.pdf")};
    EXPECT_THROW(checkReadable(input.files), AttachmentUnreadable);
    body.start(input, outer, inner);
    EXPECT_THROW(wholeBody(body), AttachmentUnreadable);
}

PlainMailBody::Input plainInput(std::vector<std::string> plain,
                                std::vector<std::string> files = {}) {
    PlainMailBody::Input input;
    input.mailMessage = {"Zeile aus MailMessage"};
    input.plainText = std::move(plain);
    input.files = std::move(files);
    input.contentTypeText = "text/plain";
    input.charset = "iso-8859-1";
    return input;
}

TEST(PlainMailBodyTest, WithoutFilesTheTextGoesOutUnencoded) {
    PlainMailBody body;
    std::string tooLong(1500, 'l');
    body.prepare(plainInput({"Gr\xFC\xDF"
                             "e = 1",
                             ".", tooLong}),
                 "1205260822");
    EXPECT_EQ(body.boundary(), "");
    auto lines = wholeBody(body);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Zeile aus MailMessage");
    EXPECT_EQ(lines[1], "Gr\xFC\xDF"
                        "e = 1");
    EXPECT_EQ(lines[2], ".");
    EXPECT_EQ(lines[3], std::string(1022, 'l'));
}

TEST(PlainMailBodyTest, FilesMakeAMultipartMixedMessage) {
    testing::TempDir dir;
    std::string data(108, 'A');
    testing::writeFile(dir.file("liste.csv"), data);
    PlainMailBody body;
    body.prepare(plainInput({"Text"}, {dir.file("liste.csv")}), "1205260822");
    const std::string boundary = "= Multipart Boundary 1205260822";
    EXPECT_EQ(body.boundary(), boundary);
    const std::vector<std::string> expected = {"This is a multipart MIME message.",
                                               "",
                                               "--" + boundary,
                                               "Content-Type: text/plain; charset=\"iso-8859-1\"",
                                               "Content-Transfer-Encoding: 7bit",
                                               "",
                                               "Zeile aus MailMessage",
                                               "Text",
                                               "",
                                               "--" + boundary,
                                               "Content-Type: application/octet-stream;",
                                               "\tname=\"liste.csv\"",
                                               "Content-Transfer-Encoding: base64",
                                               "Content-Disposition: attachment;",
                                               "\tfilename=\"liste.csv\"",
                                               "",
                                               base64Encode(data.substr(0, 54)),
                                               base64Encode(data.substr(54)),
                                               "",
                                               "",
                                               "--" + boundary + "--"};
    EXPECT_EQ(wholeBody(body), expected);

    // The next message without files must not inherit the boundary.
    body.prepare(plainInput({"Text"}), "1205260823");
    EXPECT_EQ(body.boundary(), "");
    EXPECT_EQ(wholeBody(body).size(), 2u);
}

} // namespace
} // namespace tafelbot
