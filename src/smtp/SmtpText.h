#pragma once

// Text rules of the SMTP client that need no connection: address extraction, address lists,
// reply codes, dot-stuffing and the header's date and message identifier.

#include "platform/Platform.h"

#include <string>
#include <string_view>
#include <vector>

namespace tafelbot {

struct ParsedAddress {
    std::string displayName;
    std::string address;
};

// "Name <a@b>", "\"Name, Title\" <a@b>", "Name a@b" or "a@b": the address is what is sent.
ParsedAddress ParseAddress(std::string_view text);

// Items of a header-style address list: split at "," and ";" outside double quotes, trimmed,
// empty ones skipped.
std::vector<std::string> SplitAddressList(std::string_view text);

// True when the text holds CR, LF or NUL, which would let it break out of its command or
// header line.
bool HoldsLineBreakOrNul(std::string_view text);
// Throws SmtpException naming the property: a value that would end or split a command line.
void CheckNoLineBreak(const std::string& value, const char* name);

// The code of a reply line and whether more lines of the reply follow ("250-"). A line that
// does not start with a code from 100 to 599 counts as a final 500.
struct ReplyCode {
    int code = 500;
    bool continuation = false;
};
ReplyCode ParseReplyCode(std::string_view line);

// A body item as lines for DATA: every line break (CR LF, or a lone CR or LF) becomes CR LF and
// every line starting with "." gets one more in front.
std::string DotStuffed(std::string_view item);

// "Sat, 5 Dec 2026 08:22:26 GMT".
std::string SmtpDateText(const platform::CivilTime& utc);

// "<" + 16 hexadecimal digits + "." + YYYYMMDDhhmmss + "@" + domain + ">".
std::string MakeMessageId(const std::string& randomBytes, const platform::CivilTime& utc,
                          const std::string& domain);

} // namespace tafelbot
