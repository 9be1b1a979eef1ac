#include "smtp/SmtpText.h"

#include "smtp/SmtpTypes.h"

#include <cstdio>

namespace tafelbot {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string trimmed(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

// The text between the first "<" at or after `from` and the next ">" (or the end).
std::string angleAddress(std::string_view text, std::size_t from) {
    std::size_t open = text.find('<', from);
    if (open == std::string_view::npos)
        return {};
    std::size_t close = text.find('>', open + 1);
    return trimmed(text.substr(open + 1, close == std::string_view::npos ? std::string_view::npos
                                                                         : close - open - 1));
}

} // namespace

ParsedAddress ParseAddress(std::string_view text) {
    ParsedAddress parsed;
    std::size_t start = 0;
    while (start < text.size() && text[start] == ' ')
        ++start;
    std::string_view rest = text.substr(start);
    bool hasAngle = text.find('<') != std::string_view::npos;

    if (!rest.empty() && (rest[0] == '"' || rest[0] == '\'')) {
        std::size_t close = rest.find(rest[0], 1);
        if (close == std::string_view::npos) {
            parsed.displayName = std::string(rest.substr(1));
        } else {
            parsed.displayName = std::string(rest.substr(1, close - 1));
            parsed.address =
                hasAngle ? angleAddress(rest, close + 1) : trimmed(rest.substr(close + 1));
        }
    } else if (hasAngle) {
        std::size_t open = rest.find('<');
        parsed.displayName = trimmed(rest.substr(0, open));
        parsed.address = angleAddress(rest, open);
    } else {
        std::size_t space = rest.find(' ');
        parsed.displayName = std::string(rest.substr(0, space));
        if (space != std::string_view::npos)
            parsed.address = trimmed(rest.substr(space + 1));
    }
    if (parsed.address.empty() && parsed.displayName.find('@') != std::string::npos)
        parsed.address = parsed.displayName;
    return parsed;
}

std::vector<std::string> SplitAddressList(std::string_view text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    std::size_t i = 0;
    auto finishItem = [&](std::size_t end) {
        std::string item = trimmed(text.substr(start, end - start));
        if (!item.empty())
            items.push_back(std::move(item));
        start = end + 1;
    };
    while (i < text.size()) {
        char c = text[i];
        if (c == '"') {
            std::size_t close = text.find('"', i + 1);
            i = close == std::string_view::npos ? text.size() : close + 1;
            continue;
        }
        if (c == ',' || c == ';')
            finishItem(i);
        ++i;
    }
    if (start < text.size())
        finishItem(text.size());
    return items;
}

bool HoldsLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void CheckNoLineBreak(const std::string& value, const char* name) {
    if (HoldsLineBreakOrNul(value))
        throw SmtpException(std::string("Invalid character (CR, LF or NUL) in ") + name);
}

ReplyCode ParseReplyCode(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() &&
           (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    long value = 0;
    std::size_t digits = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 9) {
        value = value * 10 + (line[i] - '0');
        ++i;
        ++digits;
    }
    ReplyCode reply;
    if (digits == 0 || negative || value < 100 || value > 599)
        return reply; // not a reply: a final 500
    reply.code = static_cast<int>(value);
    reply.continuation = i < line.size() && line[i] == '-';
    return reply;
}

std::string DotStuffed(std::string_view item) {
    std::string out;
    out.reserve(item.size() + 8);
    bool lineStart = true;
    for (std::size_t i = 0; i < item.size(); ++i) {
        char c = item[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < item.size() && item[i + 1] == '\n')
                ++i;
            out += "\r\n";
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = false;
    }
    return out;
}

std::string SmtpDateText(const platform::CivilTime& utc) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = utc.weekday >= 0 && utc.weekday < 7 ? days[utc.weekday] : "Sun";
    const char* month = utc.month >= 1 && utc.month <= 12 ? months[utc.month - 1] : "Jan";
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %4d %02d:%02d:%02d GMT", day, utc.day, month,
                  utc.year, utc.hour, utc.minute, utc.second);
    return text;
}

std::string MakeMessageId(const std::string& randomBytes, const platform::CivilTime& utc,
                          const std::string& domain) {
    static const char hex[] = "0123456789abcdef";
    std::string id = "<";
    for (unsigned char byte : randomBytes) {
        id += hex[byte >> 4];
        id += hex[byte & 0x0F];
    }
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, ".%04d%02d%02d%02d%02d%02d@", utc.year, utc.month, utc.day,
                  utc.hour, utc.minute, utc.second);
    id += stamp;
    // Only what a domain may hold, so that an odd sender address cannot break the header.
    std::string cleanDomain;
    for (char c : domain)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '.' || c == '-')
            cleanDomain += c;
    id += cleanDomain.empty() ? "localhost" : cleanDomain;
    id += '>';
    return id;
}

} // namespace tafelbot
