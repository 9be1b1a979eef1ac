#include "smtp/MimeUtil.h"

#include <gtest/gtest.h>
#include <vector>

namespace tafelbot {
namespace {

// Encoding, and decoding what a well-behaved server sends, are the real-server tests' (AUTH,
// CRAM challenges, attachments read back by a mail parser).
TEST(Base64Test, DecodingToleratesWhatAPeerMaySend) {
    EXPECT_EQ(base64Decode("Zm9v\r\nYmFy"), "foobar");
    EXPECT_EQ(base64Decode("Zg==Zm8="), "ffo"); // "=" ends a group, decoding goes on
    EXPECT_EQ(base64Decode("Zm9"), "fo");
    EXPECT_EQ(base64Decode("Z"), "");
    EXPECT_EQ(base64Decode("!!**"), "");
}

// Umlauts and the equals sign: the HTML client's test.
TEST(QuotedPrintableTest, EscapesEverythingOutsidePrintableAsciiAndTheEqualsSign) {
    // No line ends in a bare blank or tab, which a gateway may strip (RFC 2045 6.7, rule 3).
    EXPECT_EQ(quotedPrintableLine("a\tb "), "a=09b=20");
    EXPECT_EQ(quotedPrintableLine("Klasse:  \t"), "Klasse:  =09");
    EXPECT_EQ(encodedBodyItem(std::string(80, 'x') + " "), std::string(75, 'x') + "=\r\nxxxxx=20");
    EXPECT_EQ(quotedPrintableLine(""), "");
    EXPECT_EQ(quotedPrintableLine("~ !\x7F\x80\xFF"), "~ !=7F=80=FF");
}

TEST(QuotedPrintableTest, LongLinesBreakAt76WithoutTearingAnEscape) {
    const std::string x75 = std::string(75, 'x');
    EXPECT_EQ(encodedBodyItem(std::string(200, 'x')),
              x75 + "=\r\n" + x75 + "=\r\n" + std::string(50, 'x'));
    EXPECT_EQ(encodedBodyItem(std::string(76, 'y')), std::string(76, 'y'));

    // An escape starting at the last or next-to-last place of a chunk moves on whole.
    for (std::size_t before : {73u, 74u})
        EXPECT_EQ(encodedBodyItem(std::string(before, 'a') + "\xFC" + "bbbb"),
                  std::string(before, 'a') + "=\r\n=FCbbbb");
    EXPECT_EQ(encodedBodyItem(std::string(149, 'c') + "=dd"),
              std::string(75, 'c') + "=\r\n" + std::string(74, 'c') + "=\r\n=3Ddd");
}

TEST(HeaderWordTest, PlainAsciiStaysAndEverythingElseBecomesEncodedWords) {
    // Plain ASCII staying plain: the HTML client's test (its subject); umlauts: the header test.
    EXPECT_EQ(encodeHeaderWord("\xE4_?=", "ISO-8859-15"), "=?ISO-8859-15?Q?=E4=5F=3F=3D?=");
    // A line break in a value must never start a header line of its own.
    EXPECT_EQ(encodeHeaderWord("a\r\nBcc: x"), "=?iso-8859-1?Q?a=0D=0ABcc=3A_x?=");
    EXPECT_EQ(encodeHeaderWord("=?x?Q?y?="), "=?iso-8859-1?Q?=3D=3Fx=3FQ=3Fy=3F=3D?=");
    EXPECT_EQ(encodeHeaderWord("5 \x80"), "=?windows-1252?Q?5_=80?=");
}

TEST(ContentTypeTest, FollowsTheExtensionOfTheNameWithoutItsDirectory) {
    // clang-format off
    const std::pair<std::string, std::string> table[] = {
        {"C:\\Bilder\\Logo.GIF", "image/gif"}, {"/tmp/a.b/plan.htm", "text/html"},
        {"x.HTML", "text/html"}, {"foto.jpeg", "image/jpeg"}, {"foto.jpg", "image/jpeg"},
        {"bild.bmp", "image/bmp"}, {"liesmich.txt", "text/plain"},
        {"archiv.txt.gz", "application/octet-stream"},
        {"/tmp/a.txt/Makefile", "application/octet-stream"}};
    // clang-format on
    for (const auto& [name, type] : table)
        EXPECT_EQ(contentTypeForFile(name), type) << name;
    EXPECT_EQ(fileNameOnly("C:\\Bilder/Logo.gif"), "Logo.gif");
}

} // namespace
} // namespace tafelbot
