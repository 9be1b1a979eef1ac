// The encodings every mail goes out in. The first byte picks the encoding, the rest is the
// text. Each must decode to exactly its input and stay inside what a mail may carry: no line
// longer than 76 characters, only the bytes its form allows.

#include "FuzzSupport.h"
#include "smtp/MimeUtil.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

using namespace tafelbot;

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The lines of a text split at CR LF; a lone CR or LF is a fault of the encoder.
std::vector<std::string_view> crlfLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 2;
    }
    for (std::string_view line : lines)
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
    return lines;
}

// "=XX" escapes as RFC 2045 and 2047 write them (upper-case digits); `underscore` is what "_"
// stands for.
std::string unescape(std::string_view text, char underscore) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=') {
            FUZZ_CHECK(i + 2 < text.size());
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            FUZZ_CHECK(high >= 0 && low >= 0);
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i] == '_' ? underscore : text[i];
        }
    }
    return out;
}

void base64(std::string_view data) {
    const std::string encoded = base64Encode(data);
    FUZZ_CHECK(encoded.size() == (data.size() + 2) / 3 * 4);
    FUZZ_CHECK(encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                         "0123456789+/=") == std::string::npos);
    FUZZ_CHECK(base64Decode(encoded) == data);
    base64Decode(data); // a peer's garbage decodes to something, safely
}

// A body line: soft breaks ("=" at the end of a line) join the lines again; no line ends in a
// blank, which a mail system may strip (RFC 2045, 6.7 rule 3).
void quotedPrintable(std::string_view data) {
    const std::string encoded = encodedBodyItem(data);
    const auto lines = crlfLines(encoded);
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        FUZZ_CHECK(line.size() <= 76);
        for (unsigned char c : line)
            FUZZ_CHECK(c >= 32 && c <= 126);
        if (i + 1 < lines.size()) {
            FUZZ_CHECK(line.ends_with('='));
            line.remove_suffix(1);
        }
        FUZZ_CHECK(!line.ends_with(' ') && !line.ends_with('\t'));
        joined += line;
    }
    FUZZ_CHECK(unescape(joined, '_') == data);
}

// A header value: printable ASCII without "=?" stays as it is; anything else becomes encoded
// words of at most 75 characters, folded with CR LF SP, each holding only what RFC 2047 allows
// in a phrase.
void headerWord(std::string_view data) {
    const std::string encoded = encodeHeaderWord(data);
    bool plain = data.find("=?") == std::string_view::npos;
    for (unsigned char c : data)
        plain = plain && ((c >= 0x20 && c <= 0x7E) || c == '\t');
    if (plain) {
        FUZZ_CHECK(encoded == data);
        return;
    }
    std::string decoded;
    bool first = true;
    for (std::string_view word : crlfLines(encoded)) {
        if (!first) {
            FUZZ_CHECK(word.starts_with(' '));
            word.remove_prefix(1);
        }
        first = false;
        FUZZ_CHECK(word.size() <= 75);
        std::string_view prefix =
            word.starts_with("=?windows-1252?Q?") ? "=?windows-1252?Q?" : "=?iso-8859-1?Q?";
        FUZZ_CHECK(word.starts_with(prefix) && word.ends_with("?="));
        word = word.substr(prefix.size(), word.size() - prefix.size() - 2);
        FUZZ_CHECK(word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789!*+-/=_") == std::string_view::npos);
        decoded += unescape(word, ' ');
    }
    FUZZ_CHECK(decoded == data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        base64(text);
        break;
    case 1:
        quotedPrintable(text);
        break;
    default:
        headerWord(text);
        break;
    }
    return 0;
}
