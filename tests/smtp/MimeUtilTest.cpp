#include "smtp/MimeUtil.h"

#include "support/TestFiles.h"

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

// Decodes quoted-printable the way a mail reader does, soft breaks included.
std::string decodeQuotedPrintable(const std::string& item) {
    std::string out;
    for (std::size_t i = 0; i < item.size(); ++i) {
        if (item[i] != '=') {
            out += item[i];
        } else if (item.compare(i + 1, 2, "\r\n") == 0) {
            i += 2;
        } else {
            out += static_cast<char>(std::stoi(item.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
    }
    return out;
}

TEST(Base64Test, StandardVectorsBothWaysAndToleranceForWhatAPeerSends) {
    const std::vector<std::pair<std::string, std::string>> vectors = {{"", ""},
                                                                      {"f", "Zg=="},
                                                                      {"fo", "Zm8="},
                                                                      {"foo", "Zm9v"},
                                                                      {"foob", "Zm9vYg=="},
                                                                      {"fooba", "Zm9vYmE="},
                                                                      {"foobar", "Zm9vYmFy"}};
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
    EXPECT_EQ(quotedPrintableLine("a\tb "), "a=09b ");
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

TEST(QuotedPrintableTest, LongTextsComeBackWholeWithinTheLineLimit) {
    std::string mixed;
    for (int i = 0; i < 700; ++i)
        mixed += static_cast<char>(i % 3 == 0 ? 0xE4 : (i % 7 == 0 ? '=' : 'a' + i % 26));
    for (const std::string& text :
         {mixed, mixed + std::string(800, 'z'), std::string(1022, '\xFC')}) {
        std::string item = encodedBodyItem(text);
        for (const auto& line : splitCrLf(item))
            EXPECT_LE(line.size(), 76u);
        EXPECT_EQ(decodeQuotedPrintable(item), text);
    }
}

TEST(HeaderWordTest, PlainAsciiStaysAndEverythingElseBecomesEncodedWords) {
    EXPECT_EQ(encodeHeaderWord("Vertretungsplan vom 05.12."), "Vertretungsplan vom 05.12.");
    EXPECT_EQ(encodeHeaderWord("Plan f\xFCr M\xFCller"), "=?iso-8859-1?Q?Plan_f=FCr_M=FCller?=");
    EXPECT_EQ(encodeHeaderWord("\xE4_?=", "ISO-8859-15"), "=?ISO-8859-15?Q?=E4=5F=3F=3D?=");
    // A line break in a value must never start a header line of its own.
    EXPECT_EQ(encodeHeaderWord("a\r\nBcc: x"), "=?iso-8859-1?Q?a=0D=0ABcc=3A_x?=");
    EXPECT_EQ(encodeHeaderWord("=?x?Q?y?="), "=?iso-8859-1?Q?=3D=3Fx=3FQ=3Fy=3F=3D?=");
    EXPECT_EQ(encodeHeaderWord("5 \x80"), "=?windows-1252?Q?5_=80?=");

    std::string longValue;
    for (int i = 0; i < 60; ++i)
        longValue += "\xFC"
                     "b ";
    auto lines = splitCrLf(encodeHeaderWord(longValue));
    ASSERT_GT(lines.size(), 3u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), i == 0 ? 75u : 76u);
        EXPECT_EQ(lines[i].substr(i == 0 ? 0 : 1, 15), "=?iso-8859-1?Q?");
        EXPECT_EQ(lines[i].substr(lines[i].size() - 2), "?=");
    }
}

TEST(ContentTypeTest, FollowsTheExtensionOfTheNameWithoutItsDirectory) {
    const std::vector<std::pair<std::string, std::string>> table = {
        {"C:\\Bilder\\Logo.GIF", "image/gif"},
        {"/tmp/a.b/plan.htm", "text/html"},
        {"x.HTML", "text/html"},
        {"foto.jpeg", "image/jpeg"},
        {"foto.jpg", "image/jpeg"},
        {"bild.bmp", "image/bmp"},
        {"liesmich.txt", "text/plain"},
        {"archiv.txt.gz", "application/octet-stream"},
        {"/tmp/a.txt/Makefile", "application/octet-stream"}};
    for (const auto& [name, type] : table)
        EXPECT_EQ(contentTypeForFile(name), type) << name;
    EXPECT_EQ(fileNameOnly("C:\\Bilder/Logo.gif"), "Logo.gif");
}

TEST(Base64FileLinesTest, LinesOf72EndWhereAReadFallsShort) {
    testing::TempDir dir;
    auto linesOf = [&](const std::string& bytes) {
        testing::writeFile(dir.file("data.bin"), bytes);
        Base64FileLines reader;
        EXPECT_TRUE(reader.open(dir.file("data.bin")));
        std::vector<std::string> lines;
        while (!reader.exhausted() && lines.size() < 100)
            lines.push_back(reader.nextLine());
        return lines;
    };
    std::string data;
    for (int i = 0; i < 200; ++i)
        data += static_cast<char>(i * 7);
    auto lines = linesOf(data); // 54 + 54 + 54 + 38 bytes
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0] + lines[1] + lines[2] + lines[3], base64Encode(data));
    EXPECT_EQ(lines[3].size(), 52u);

    // A multiple of 54 bytes ends with one empty line.
    EXPECT_EQ(linesOf(data.substr(0, 108)),
              (std::vector<std::string>{base64Encode(data.substr(0, 54)),
                                        base64Encode(data.substr(54, 54)), ""}));
    EXPECT_EQ(linesOf(""), std::vector<std::string>{""});
    EXPECT_FALSE(Base64FileLines().open(dir.file("missing.bin")));
}

} // namespace
} // namespace tafelbot
