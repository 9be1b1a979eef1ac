#pragma once

#include <string>
#include <string_view>

namespace tafelbot {

// True for a mailbox as RFC 5321 (4.1.2) defines it: a dot-string or quoted local part, "@",
// and a domain or an address literal; ASCII only, nothing the envelope could read as a
// parameter or a second command.
bool istMailbox(std::string_view text);

// True when a teacher's address field can go into the envelope and the To: header as it is:
// every item of the list ("," or ";") is a mailbox, or a display name without angle brackets
// or an open quote followed by "<" mailbox ">", and the client would extract exactly that
// mailbox; no control character anywhere.
bool istAdressliste(std::string_view text);

// The text with control characters shown as "<CR>", "<LF>", "<NUL>" or "<0xNN>", so that a box
// or a terminal line can name a broken address without being broken by it.
std::string sichtbar(std::string_view text);

} // namespace tafelbot
