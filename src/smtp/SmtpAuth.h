#pragma once

// The answers of the AUTH exchanges, built without any connection.

#include <string>

namespace tafelbot {

// AUTH PLAIN: Base64 of NUL + user + NUL + password (RFC 4616 with an empty authorisation
// identity). The older form that puts the sender address first asks the server to act on
// behalf of that address, which servers refuse unless the account may; with it empty the
// server simply checks the password of the account.
std::string AuthPlainResponse(const std::string& username, const std::string& password);

// CRAM-MD5 / CRAM-SHA1 (RFC 2195): Base64 of user + " " + the lower-case hexadecimal HMAC of
// the decoded challenge, keyed with the password.
std::string CramResponse(const std::string& username, const std::string& password,
                         const std::string& challenge, bool sha1);

// Lower-case hexadecimal HMAC-MD5 or HMAC-SHA1 (RFC 2104).
std::string HmacHex(const std::string& key, const std::string& data, bool sha1);

} // namespace tafelbot
