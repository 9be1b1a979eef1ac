// The produced bodies must parse without defects in a real mail parser (Python's email
// package, run by tests/integration/check_mime.py) and decode back to the texts given.

#include "settings/Cp1252.h"
#include "smtp/MimeBody.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace tafelbot {
namespace {

std::string joinedText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += cp1252ToUtf8(line) + "\n";
    return text;
}

int runChecker(const testing::TempDir& dir, const std::string& extraArguments) {
    std::string command = std::string(TAFELBOT_SYSTEM_PYTHON) + " " + TAFELBOT_SOURCE_DIR +
                          "/tests/integration/check_mime.py " + dir.file("mail.eml") + " " +
                          extraArguments + " > " + dir.file("report.json") + " 2>&1";
    int status = std::system(command.c_str());
    if (status != 0)
        ADD_FAILURE() << testing::readFile(dir.file("report.json"));
    return status;
}

TEST(MimeParseCheckTest, AnHtmlMailWithImageAndFileParsesWithoutDefects) {
    testing::TempDir dir;
    // Long enough to need several encoded words.
    const std::string subject = "Vertretungsplan f\xFCr Herrn M\xFCller, Stra\xDF"
                                "enbahnhaltestelle \xC4u\xDF"
                                "ere Gr\xFCnstra\xDF"
                                "e, Stand 05.12.2026";
    const std::vector<std::string> plain = {"Vertretungsplan f\xFCr Herrn M\xFCller",
                                            "",
                                            "Stunde:   3 = dritte",
                                            ".ein Punkt am Anfang",
                                            "Tabulator\tund Leerzeichen am Ende ",
                                            std::string(300, '\xE4') + " lang"};
    const std::vector<std::string> html = {"<html><body><table>",
                                           "<tr><td>Gr\xFC\xDF"
                                           "e</td><td>a=b</td></tr>",
                                           std::string(1200, 'x') + "\xDF",
                                           "<img src=\"cid:IMAGE1\"></body></html>"};
    std::string imageBytes;
    for (int i = 0; i < 540; ++i)
        imageBytes += static_cast<char>(i * 31);
    testing::writeFile(dir.file("bild.gif"), imageBytes);
    testing::writeFile(dir.file("liste.txt"), "eins\r\nzwei\r\n");

    HtmlMailBody body;
    HtmlMailBody::Input input;
    input.plainText = plain;
    input.htmlText = html;
    input.images = {dir.file("bild.gif")};
    input.files = {dir.file("liste.txt")};
    input.charset = input.htmlCharset = "iso-8859-1";
    const std::string outer = "----=_NextPart_000_00FF1234_0.7FFFFFFE";
    body.start(input, outer, "----=_NextPart_000_00FF1234_1.7FFFFFFE");

    std::string mail = "From: schulleitung@schule.example\r\n"
                       "To: mueller@schule.example\r\n"
                       "Subject: " +
                       encodeHeaderWord(subject) +
                       "\r\n"
                       "Mime-Version: 1.0\r\n"
                       "Content-Type: multipart/related; type=\"multipart/alternative\"; "
                       "boundary=\"" +
                       outer + "\"\r\n\r\n";
    bool more = true;
    for (int lineNum = 1; more && lineNum < 10000; ++lineNum) {
        std::string line;
        body.produceLine(lineNum, line, more);
        if (more)
            mail += line + "\r\n";
    }
    testing::writeFile(dir.file("mail.eml"), mail);
    testing::writeFile(dir.file("plain.txt"), joinedText(plain));
    testing::writeFile(dir.file("html.txt"), joinedText(html));

    EXPECT_EQ(runChecker(dir, "--expect-plain " + dir.file("plain.txt") + " --expect-html " +
                                  dir.file("html.txt") + " --expect-subject '" +
                                  cp1252ToUtf8(subject) + "'"),
              0);
    std::string report = testing::readFile(dir.file("report.json"));
    EXPECT_NE(report.find("\"content_id\": \"<IMAGE1>\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"hex\": \"65696e730d0a7a7765690d0a\""), std::string::npos) << report;
}

} // namespace
} // namespace tafelbot
