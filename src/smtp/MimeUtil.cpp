#include "smtp/MimeUtil.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tafelbot {

namespace {

constexpr std::string_view base64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view hexDigits = "0123456789ABCDEF";

constexpr std::size_t softBreakWidth = 76;
constexpr std::size_t maxEncodedWord = 75;

void appendBase64Group(std::string& out, const unsigned char* bytes, std::size_t count) {
    unsigned value = static_cast<unsigned>(bytes[0]) << 16;
    if (count > 1)
        value |= static_cast<unsigned>(bytes[1]) << 8;
    if (count > 2)
        value |= bytes[2];
    out += base64Alphabet[(value >> 18) & 0x3F];
    out += base64Alphabet[(value >> 12) & 0x3F];
    out += count > 1 ? base64Alphabet[(value >> 6) & 0x3F] : '=';
    out += count > 2 ? base64Alphabet[value & 0x3F] : '=';
}

int base64Value(char c) {
    auto pos = base64Alphabet.find(c);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

void appendHexEscape(std::string& out, unsigned char byte) {
    out += '=';
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0x0F];
}

bool isPlainHeaderText(std::string_view value) {
    for (unsigned char c : value)
        if ((c < 0x20 || c > 0x7E) && c != '\t')
            return false;
    // A literal "=?" could be taken for the start of an encoded word by a reader.
    return value.find("=?") == std::string_view::npos;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string declaredHeaderCharset(std::string_view value, std::string_view charset) {
    bool holdsC1Range = std::any_of(value.begin(), value.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte >= 0x80 && byte <= 0x9F;
    });
    if (holdsC1Range && equalsIgnoringCase(charset, "iso-8859-1"))
        return "windows-1252";
    return std::string(charset);
}

// Q encoding restricted to the characters that RFC 2047 allows in a phrase, so the same word
// fits a subject and a display name.
std::string qEncoded(unsigned char byte) {
    if (std::isalnum(byte) && byte < 0x80)
        return std::string(1, static_cast<char>(byte));
    switch (byte) {
    case '!':
    case '*':
    case '+':
    case '-':
    case '/':
        return std::string(1, static_cast<char>(byte));
    case ' ':
        return "_";
    default: {
        std::string escape;
        appendHexEscape(escape, byte);
        return escape;
    }
    }
}

} // namespace

std::string base64Encode(std::string_view data) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    for (std::size_t i = 0; i < data.size(); i += 3)
        appendBase64Group(out, bytes + i, std::min<std::size_t>(3, data.size() - i));
    return out;
}

std::string base64Decode(std::string_view text) {
    std::string out;
    unsigned bits = 0;
    int sextets = 0;
    auto flushPartialGroup = [&] {
        // Two sextets carry one byte, three carry two; a lone sextet carries nothing.
        if (sextets >= 2)
            out += static_cast<char>((bits >> (sextets * 6 - 8)) & 0xFF);
        if (sextets == 3)
            out += static_cast<char>((bits >> 2) & 0xFF);
        bits = 0;
        sextets = 0;
    };
    for (char c : text) {
        if (c == '=') {
            flushPartialGroup();
            continue;
        }
        int value = base64Value(c);
        if (value < 0)
            continue;
        bits = (bits << 6) | static_cast<unsigned>(value);
        if (++sextets == 4) {
            out += static_cast<char>((bits >> 16) & 0xFF);
            out += static_cast<char>((bits >> 8) & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            sextets = 0;
        }
    }
    flushPartialGroup();
    return out;
}

std::string quotedPrintableLine(std::string_view line) {
    std::string out;
    out.reserve(line.size() * 3);
    for (char c : line) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte <= 126 && byte != '=')
            out += c;
        else
            appendHexEscape(out, byte);
    }
    // RFC 2045 6.7 (3): a blank at the end of an encoded line may be stripped on the way.
    if (!out.empty() && out.back() == ' ') {
        out.pop_back();
        appendHexEscape(out, ' ');
    }
    return out;
}

std::string softLineBreaks(std::string_view encoded) {
    if (encoded.size() <= softBreakWidth)
        return std::string(encoded);
    std::string out;
    std::size_t start = 0;
    std::size_t end = softBreakWidth - 1;
    for (;;) {
        if (encoded[end - 1] == '=')
            end -= 1;
        else if (encoded[end - 2] == '=')
            end -= 2;
        out.append(encoded.substr(start, end - start));
        out += "=\r\n";
        start = end;
        end = start + softBreakWidth - 1;
        if (encoded.size() <= end) {
            out.append(encoded.substr(start));
            return out;
        }
    }
}

std::string encodedBodyItem(std::string_view line) {
    return softLineBreaks(quotedPrintableLine(line));
}

std::string encodeHeaderWord(std::string_view value, std::string_view charset) {
    if (isPlainHeaderText(value))
        return std::string(value);
    std::string prefix = "=?" + declaredHeaderCharset(value, charset) + "?Q?";
    const std::string suffix = "?=";
    // A charset name too long for the limit still gets one character per word.
    std::size_t room = maxEncodedWord > prefix.size() + suffix.size() + 3
                           ? maxEncodedWord - prefix.size() - suffix.size()
                           : 3;
    std::string out;
    std::string word;
    auto finishWord = [&] {
        if (!out.empty())
            out += "\r\n ";
        out += prefix + word + suffix;
        word.clear();
    };
    for (char c : value) {
        std::string token = qEncoded(static_cast<unsigned char>(c));
        if (word.size() + token.size() > room)
            finishWord();
        word += token;
    }
    if (!word.empty())
        finishWord();
    return out;
}

std::string fileNameOnly(std::string_view path) {
    auto separator = path.find_last_of("/\\");
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string contentTypeForFile(std::string_view fileName) {
    std::string name = fileNameOnly(fileName);
    auto dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "htm" || extension == "html")
        return "text/html";
    if (extension == "gif")
        return "image/gif";
    if (extension == "bmp")
        return "image/bmp";
    if (extension == "jpg" || extension == "jpeg")
        return "image/jpeg";
    if (extension == "txt")
        return "text/plain";
    return "application/octet-stream";
}

bool Base64FileLines::open(const std::string& path) {
    close();
    file_.open(path, std::ios::binary);
    exhausted_ = false;
    return file_.is_open();
}

void Base64FileLines::close() {
    if (file_.is_open())
        file_.close();
    file_.clear();
}

std::string Base64FileLines::nextLine() {
    constexpr std::size_t lineWidth = 72;
    std::string line;
    std::array<char, 3> group{};
    while (line.size() < lineWidth) {
        file_.read(group.data(), group.size());
        auto count = static_cast<std::size_t>(file_.gcount());
        if (count > 0)
            appendBase64Group(line, reinterpret_cast<const unsigned char*>(group.data()), count);
        if (count < group.size()) {
            exhausted_ = true;
            break;
        }
    }
    return line;
}

} // namespace tafelbot
