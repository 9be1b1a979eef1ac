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

HtmlMailBody::Input htmlInput(std::vector<std::string> plain, std::vector<std::string> html) {
    HtmlMailBody::Input input;
    input.plainText = std::move(plain);
    input.htmlText = std::move(html);
    input.charset = input.htmlCharset = "iso-8859-1";
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
    std::string line;
    bool more = true;
    body.produceLine(21, line, more);
    EXPECT_FALSE(more);
}

TEST(HtmlMailBodyTest, ImagesThenFilesFollowAsBase64Parts) {
    testing::TempDir dir;
    std::string imageBytes; // a multiple of 54 bytes: full lines, then one empty line
    for (int i = 0; i < 108; ++i)
        imageBytes += static_cast<char>(i * 7);
    testing::writeFile(dir.file("logo.GIF"), imageBytes);
    testing::writeFile(dir.file("plan.txt"), "Plan\n");
    HtmlMailBody body;
    auto input = htmlInput({"p"}, {"<img src=\"cid:IMAGE1\">"});
    input.images = {dir.file("logo.GIF")};
    input.files = {dir.file("plan.txt")};
    body.start(input, outer, inner);
    auto items = wholeBody(body);
    const std::vector<std::string> expected = {
        "--" + outer,
        "Content-Type: image/gif;\r\n\tname=\"logo.GIF\"",
        "Content-Transfer-Encoding: base64",
        "Content-Disposition: inline;\r\n\tfilename=\"logo.GIF\"",
        "Content-ID: <IMAGE1>",
        "",
        base64Encode(imageBytes.substr(0, 54)),
        base64Encode(imageBytes.substr(54)),
        "",
        "",
        "--" + outer,
        "Content-Type: text/plain;\r\n\tname=\"plan.txt\"",
        "Content-Transfer-Encoding: base64",
        "Content-Disposition: attachment;\r\n\tfilename=\"plan.txt\"",
        "X-File-ID: <FILE1>",
        "",
        base64Encode("Plan\n"),
        "",
        "--" + outer + "--"};
    EXPECT_EQ(std::vector<std::string>(items.begin() + 19, items.end()), expected);

    // A file that vanished before its turn ends the body with an error, never silently.
    input.files = {dir.file("weg.pdf")};
    EXPECT_THROW(checkReadable(input.files), AttachmentUnreadable);
    body.start(input, outer, inner);
    EXPECT_THROW(wholeBody(body), AttachmentUnreadable);
}

} // namespace
} // namespace tafelbot
