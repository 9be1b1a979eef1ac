#pragma once

// The token requests: form posts over HTTPS through libcurl, with the certificate checked against
// the system's trust store (SSL_CERT_FILE and SSL_CERT_DIR work as on the SMTP side). Plain http
// only to this machine, for tests.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tafelbot::oauth {

using FormFields = std::vector<std::pair<std::string, std::string>>;

struct HttpReply {
    long status = 0;
    std::string body;
};

// True for https:// anywhere and http:// to a loopback address; otherwise false with a German
// message that names the way out.
bool urlAllowed(const std::string& url, std::string* error);

// Posts `fields` as a form and waits at most `timeout` for the whole reply. nullopt with a German
// message when no reply came (refused address, no connection, certificate, time limit). The
// message never holds the fields: they carry the secrets.
std::optional<HttpReply> postForm(const std::string& url, const FormFields& fields,
                                  std::chrono::milliseconds timeout, std::string* error);

// "1 Sekunde", "90 Sekunden", "10 Minuten": a time limit as a message names it.
std::string durationText(std::chrono::milliseconds time);

// application/x-www-form-urlencoded, also used for the browser's address.
std::string formEncode(const FormFields& fields);
// The fields of a query string ("a=1&b=x%20y"); '+' reads as a blank.
FormFields formDecode(const std::string& query);

} // namespace tafelbot::oauth
