#include "smtp/MimeUtil.h"

#include <gtest/gtest.h>
#include <vector>

namespace tafelbot {
namespace {

std::vector<std::string> splitCrLf(const std::string& item) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto pos = item.find("\r\n"); pos != std::string::npos; pos = item.find("\r\n", start)) {
        lines.push_back(item.substr(start, pos - start));
        start = pos + 2;
    }
    lines.push_back(item.substr(start));
    return lines;
}

TEST(Base64Test, StandardVectorsBothWaysAndToleranceForWhatAPeerSends) {
    // clang-format off
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    // clang-format on
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(base64Encode(plain), encoded) << plain;
        EXPECT_EQ(base64Decode(encoded), plain) << encoded;
    }
    std::string allBytes;
    for (int b = 0; b < 256; ++b)
        allBytes += static_cast<char>(b);
    EXPECT_EQ(base64Decode(base64Encode(allBytes)), allBytes);

    EXPECT_EQ(base64Decode("Zm9v\r\nYmFy"), "foobar");
    EXPECT_EQ(base64Decode("Zg==Zm8="), "ffo"); // "=" ends a group, decoding goes on
    EXPECT_EQ(base64Decode("Zm9"), "fo");
    EXPECT_EQ(base64Decode("Z"), "");
    EXPECT_EQ(base64Decode("!!**"), "");
}

TEST(QuotedPrintableTest, EscapesEverythingOutsidePrintableAsciiAndTheEqualsSign) {
    EXPECT_EQ(quotedPrintableLine("gr\xFCn=1"), "gr=FCn=3D1");
    // No line ends in a bare blank or tab, which a gateway may strip (RFC 2045 6.7, rule 3).
    EXPECT_EQ(quotedPrintableLine("a\tb "), "a=09b=20");
    EXPECT_EQ(quotedPrintableLine("Klasse:  \t"), "Klasse:  =09");
    EXPECT_EQ(encodedBodyItem(std::string(80, 'x') + " "), std::string(75, 'x') + "=\r\nxxxxx=20");
    EXPECT_EQ(quotedPrintableLine(""), "");
    EXPECT_EQ(quotedPrintableLine("~ !\x7F\x80\xFF"), "~ !=7F=80=FF");
}

TEST(QuotedPrintableTest, LongLinesBreakAt76WithoutTearingAnEscape) {
    auto lines = splitCrLf(encodedBodyItem(std::string(200, 'x')));
    EXPECT_EQ(lines, (std::vector<std::string>{std::string(75, 'x') + "=",
                                               std::string(75, 'x') + "=", std::string(50, 'x')}));
    EXPECT_EQ(encodedBodyItem(std::string(76, 'y')), std::string(76, 'y'));

    // An escape starting at the last or next-to-last place of a chunk moves on whole.
    for (std::size_t before : {73u, 74u}) {
        auto broken = splitCrLf(encodedBodyItem(std::string(before, 'a') + "\xFC" + "bbbb"));
        EXPECT_EQ(broken, (std::vector<std::string>{std::string(before, 'a') + "=", "=FCbbbb"}));
    }
    auto third = splitCrLf(encodedBodyItem(std::string(149, 'c') + "=" + "dd"));
    ASSERT_EQ(third.size(), 3u);
    EXPECT_EQ(third[1], std::string(74, 'c') + "=");
    EXPECT_EQ(third[2], "=3Ddd");
}

TEST(HeaderWordTest, PlainAsciiStaysAndEverythingElseBecomesEncodedWords) {
    EXPECT_EQ(encodeHeaderWord("Vertretungsplan vom 05.12."), "Vertretungsplan vom 05.12.");
    EXPECT_EQ(encodeHeaderWord("Plan f\xFCr M\xFCller"), "=?iso-8859-1?Q?Plan_f=FCr_M=FCller?=");
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
