#include "smtp/MimeUtil.h"

#include "settings/Cp1252.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <sstream>
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
            continue;
        }
        if (item.compare(i + 1, 2, "\r\n") == 0) {
            i += 2;
            continue;
        }
        out += static_cast<char>(std::stoi(item.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

TEST(Base64Test, MatchesTheStandardVectorsBothWays) {
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
    // An AUTH PLAIN answer carries NUL separators.
    EXPECT_EQ(base64Encode(std::string("\0user\0pw", 8)), "AHVzZXIAcHc=");
}

TEST(Base64Test, DecodingToleratesWhatAPeerMaySend) {
    EXPECT_EQ(base64Decode("Zm9v\r\nYmFy"), "foobar");
    EXPECT_EQ(base64Decode("Zg==Zm8="), "ffo"); // "=" ends a group, decoding goes on
    EXPECT_EQ(base64Decode("Zm9"), "fo");       // a missing pad
    EXPECT_EQ(base64Decode("Z"), "");
    EXPECT_EQ(base64Decode("!!**"), "");
}

TEST(QuotedPrintableTest, EscapesEverythingOutsidePrintableAsciiAndTheEqualsSign) {
    EXPECT_EQ(quotedPrintableLine("gr\xFC"
                                  "n=1"),
              "gr=FCn=3D1");
    EXPECT_EQ(quotedPrintableLine("a\tb "), "a=09b ");
    EXPECT_EQ(quotedPrintableLine(""), "");
    EXPECT_EQ(quotedPrintableLine("~ !\x7F\x80\xFF"), "~ !=7F=80=FF");
    EXPECT_EQ(quotedPrintableLine("Stra\xDF"
                                  "e"),
              "Stra=DFe");
}

TEST(QuotedPrintableTest, LongLinesBreakAt76WithoutTearingAnEscape) {
    std::string line200(200, 'x');
    auto lines = splitCrLf(encodedBodyItem(line200));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 76u);
    EXPECT_EQ(lines[1].size(), 76u);
    EXPECT_EQ(lines[2].size(), 200u - 75 - 75);
    EXPECT_EQ(lines[0].back(), '=');
    EXPECT_EQ(lines[1].back(), '=');

    EXPECT_EQ(encodedBodyItem(std::string(76, 'y')), std::string(76, 'y'));

    // An escape that would start at the last or the next-to-last place of a chunk moves whole.
    for (std::size_t before : {73u, 74u}) {
        std::string text = std::string(before, 'a') + "\xFC" + std::string(20, 'b');
        auto broken = splitCrLf(encodedBodyItem(text));
        ASSERT_EQ(broken.size(), 2u) << before;
        EXPECT_EQ(broken[0], std::string(before, 'a') + "=") << before;
        EXPECT_EQ(broken[1].substr(0, 3), "=FC") << before;
    }
    // The same at the second chunk's end.
    std::string second = std::string(75 + 74, 'c') + "=" + std::string(10, 'd');
    auto secondLines = splitCrLf(encodedBodyItem(second));
    ASSERT_EQ(secondLines.size(), 3u);
    EXPECT_EQ(secondLines[1], std::string(74, 'c') + "=");
    EXPECT_EQ(secondLines[2].substr(0, 3), "=3D");
}

TEST(QuotedPrintableTest, EveryTextComesBackWholeAndWithinTheLineLimit) {
    std::string mixed;
    for (int i = 0; i < 700; ++i)
        mixed += static_cast<char>(i % 3 == 0 ? 0xE4 : (i % 7 == 0 ? '=' : 'a' + i % 26));
    std::string text1500 = mixed + std::string(800, 'z');
    for (const std::string& text : {mixed, text1500, std::string(1022, '\xFC'), "  .x"_cp}) {
        std::string item = encodedBodyItem(text);
        for (const auto& line : splitCrLf(item))
            EXPECT_LE(line.size(), 76u);
        EXPECT_EQ(decodeQuotedPrintable(item), text);
    }
}

TEST(HeaderWordTest, LeavesPlainAsciiAloneAndEncodesTheRest) {
    EXPECT_EQ(encodeHeaderWord("Vertretungsplan vom 05.12."), "Vertretungsplan vom 05.12.");
    EXPECT_EQ(encodeHeaderWord(""), "");
    EXPECT_EQ(encodeHeaderWord("Plan f\xFCr M\xFCller"), "=?iso-8859-1?Q?Plan_f=FCr_M=FCller?=");
    EXPECT_EQ(encodeHeaderWord("\xE4_?=", "ISO-8859-15"), "=?ISO-8859-15?Q?=E4=5F=3F=3D?=");
    // A line break in a value must never start a header line of its own.
    EXPECT_EQ(encodeHeaderWord("a\r\nBcc: x"), "=?iso-8859-1?Q?a=0D=0ABcc=3A_x?=");
    EXPECT_EQ(encodeHeaderWord("=?x?Q?y?="), "=?iso-8859-1?Q?=3D=3Fx=3FQ=3Fy=3F=3D?=");
    // Bytes 0x80..0x9F are Windows-1252 characters; their honest label is that charset.
    EXPECT_EQ(encodeHeaderWord("5 \x80"), "=?windows-1252?Q?5_=80?=");
}

TEST(HeaderWordTest, LongValuesBecomeFoldedWordsOfAtMost75Characters) {
    std::string value;
    for (int i = 0; i < 60; ++i)
        value += "\xFC"
                 "b ";
    std::string encoded = encodeHeaderWord(value);
    auto lines = splitCrLf(encoded);
    ASSERT_GT(lines.size(), 3u);
    std::string payload;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string word = i == 0 ? lines[i] : lines[i].substr(1);
        if (i > 0) {
            EXPECT_EQ(lines[i][0], ' ');
        }
        EXPECT_LE(word.size(), 75u);
        ASSERT_EQ(word.substr(0, 15), "=?iso-8859-1?Q?");
        ASSERT_EQ(word.substr(word.size() - 2), "?=");
        payload += word.substr(15, word.size() - 17);
    }
    std::string decoded;
    for (std::size_t i = 0; i < payload.size(); ++i) {
        if (payload[i] == '_') {
            decoded += ' ';
        } else if (payload[i] == '=') {
            decoded += static_cast<char>(std::stoi(payload.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += payload[i];
        }
    }
    EXPECT_EQ(decoded, value);
}

TEST(ContentTypeTest, FollowsTheExtensionTable) {
    EXPECT_EQ(contentTypeForFile("C:\\Bilder\\Logo.GIF"), "image/gif");
    EXPECT_EQ(contentTypeForFile("/tmp/a.b/plan.htm"), "text/html");
    EXPECT_EQ(contentTypeForFile("x.HTML"), "text/html");
    EXPECT_EQ(contentTypeForFile("foto.jpeg"), "image/jpeg");
    EXPECT_EQ(contentTypeForFile("foto.jpg"), "image/jpeg");
    EXPECT_EQ(contentTypeForFile("bild.bmp"), "image/bmp");
    EXPECT_EQ(contentTypeForFile("liesmich.txt"), "text/plain");
    EXPECT_EQ(contentTypeForFile("archiv.txt.gz"), "application/octet-stream");
    EXPECT_EQ(contentTypeForFile("/tmp/a.txt/Makefile"), "application/octet-stream");
    EXPECT_EQ(fileNameOnly("C:\\Bilder/Logo.gif"), "Logo.gif");
    EXPECT_EQ(fileNameOnly("Logo.gif"), "Logo.gif");
}

std::vector<std::string> base64LinesOf(const std::string& bytes) {
    testing::TempDir dir;
    testing::writeFile(dir.file("data.bin"), bytes);
    Base64FileLines reader;
    EXPECT_TRUE(reader.open(dir.file("data.bin")));
    std::vector<std::string> lines;
    while (!reader.exhausted() && lines.size() < 1000)
        lines.push_back(reader.nextLine());
    reader.close();
    return lines;
}

TEST(Base64FileLinesTest, WritesLinesOf72AndEndsWhereAReadFallsShort) {
    std::string bytes54(54, '\x01');
    auto lines = base64LinesOf(bytes54 + bytes54);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 72u);
    EXPECT_EQ(lines[1].size(), 72u);
    EXPECT_EQ(lines[2], "");

    std::string data;
    for (int i = 0; i < 200; ++i)
        data += static_cast<char>(i * 7);
    auto dataLines = base64LinesOf(data);
    ASSERT_EQ(dataLines.size(), 4u); // 54 + 54 + 54 + 38 bytes
    std::string joined;
    for (const auto& line : dataLines)
        joined += line;
    EXPECT_EQ(joined, base64Encode(data));
    EXPECT_EQ(dataLines.back().size(), 52u);

    EXPECT_EQ(base64LinesOf(""), std::vector<std::string>{""});
    EXPECT_FALSE(Base64FileLines().open("/nonexistent/file.bin"));
}

} // namespace
} // namespace tafelbot
