#include "oauth/Http.h"

#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <openssl/ssl.h>

namespace tafelbot::oauth {

namespace {

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
    void operator()(char* text) const { curl_free(text); }
};

template <typename T>
using CurlPtr = std::unique_ptr<T, CurlDeleter>;

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string urlPart(CURLU* url, CURLUPart part) {
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, 0) != CURLUE_OK)
        return {};
    CurlPtr<char> text(raw);
    return text.get();
}

// 127.0.0.0/8 written as four numbers; "127.0.0.1.example.org" is a name like any other.
bool loopbackHost(const std::string& host) {
    if (host == "localhost" || host == "[::1]")
        return true;
    int parts = 0;
    std::size_t start = 0;
    for (std::size_t dot = 0; dot != std::string::npos; start = dot + 1, ++parts) {
        dot = host.find('.', start);
        const std::string part = host.substr(start, dot == std::string::npos ? dot : dot - start);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != part.npos)
            return false;
    }
    return parts == 4 && host.rfind("127.", 0) == 0;
}

// curl's own CA bundle plus the system's default paths, so that SSL_CERT_FILE and SSL_CERT_DIR
// name further trusted CAs exactly as for the SMTP connection.
CURLcode addDefaultVerifyPaths(CURL*, void* context, void*) {
    SSL_CTX_set_default_verify_paths(static_cast<SSL_CTX*>(context));
    return CURLE_OK;
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

std::string failureText(CURLcode code, const std::string& host, std::chrono::milliseconds timeout,
                        const char* detail) {
    const std::string dienst = "Der Anmeldedienst " + host;
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return dienst + " hat nicht innerhalb von " + durationText(timeout) +
               " geantwortet. Bitte sp\xE4ter noch einmal versuchen.";
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CONNECT_ERROR:
        return dienst +
               " ist nicht sicher erreichbar: Sein Zertifikat konnte nicht gepr\xFC"
               "ft werden (" +
               detail + ").";
    default:
        return dienst + " ist nicht erreichbar: " + detail +
               ". Bitte die Internetverbindung pr\xFC"
               "fen.";
    }
}

} // namespace

bool urlAllowed(const std::string& url, std::string* error) {
    initialiseOnce();
    CurlPtr<CURLU> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        *error = "Die Adresse \"" + url + "\" des Anmeldedienstes ist ung\xFCltig.";
        return false;
    }
    const std::string scheme = urlPart(parsed.get(), CURLUPART_SCHEME);
    if (scheme == "https")
        return true;
    if (scheme == "http" && loopbackHost(urlPart(parsed.get(), CURLUPART_HOST)))
        return true;
    *error = "Die Adresse \"" + url +
             "\" des Anmeldedienstes wird abgelehnt: Anmeldedaten gehen "
             "nur verschl\xFCsselt (https://) \xFC"
             "ber das Netz, unverschl\xFCsselt (http://) nur an diesen Rechner (127.0.0.1).";
    return false;
}

std::optional<HttpReply> postForm(const std::string& url, const FormFields& fields,
                                  std::chrono::milliseconds timeout, std::string* error) {
    if (!urlAllowed(url, error))
        return std::nullopt;
    CurlPtr<CURL> curl(curl_easy_init());
    CurlPtr<CURLU> parsed(curl_url());
    curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0);
    const std::string host = "\"" + urlPart(parsed.get(), CURLUPART_HOST) + "\"";
    if (!curl) {
        *error = "Der Anmeldedienst " + host + " ist nicht erreichbar: libcurl startet nicht.";
        return std::nullopt;
    }
    const std::string body = formEncode(fields);
    CurlPtr<curl_slist> headers(curl_slist_append(nullptr, "Accept: application/json"));
    HttpReply reply;
    char detail[CURL_ERROR_SIZE] = "";
    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L); // a redirect could lead to plain http
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_SSL_CTX_FUNCTION, addDefaultVerifyPaths);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_USERAGENT, "Tafelbot");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, detail);
    const CURLcode code = curl_easy_perform(h);
    if (code != CURLE_OK) {
        *error = failureText(code, host, timeout, detail[0] ? detail : curl_easy_strerror(code));
        return std::nullopt;
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply.status);
    return reply;
}

std::string durationText(std::chrono::milliseconds time) {
    const long long seconds = (time.count() + 999) / 1000;
    if (seconds >= 120)
        return std::to_string((seconds + 59) / 60) + " Minuten";
    return seconds == 1 ? "1 Sekunde" : std::to_string(seconds) + " Sekunden";
}

std::string formEncode(const FormFields& fields) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const auto& [name, value] : fields) {
        if (!out.empty())
            out += '&';
        for (const std::string* part : {&name, &value}) {
            for (unsigned char c : *part) {
                if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.' || c == '_' || c == '~') {
                    out += static_cast<char>(c);
                } else {
                    out += '%';
                    out += hex[c >> 4];
                    out += hex[c & 0x0F];
                }
            }
            if (part == &name)
                out += '=';
        }
    }
    return out;
}

FormFields formDecode(const std::string& query) {
    auto hexValue = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    auto decode = [&](const std::string& text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '+') {
                out += ' ';
            } else if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                       hexValue(text[i + 2]) >= 0) {
                out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
                i += 2;
            } else {
                out += text[i];
            }
        }
        return out;
    };
    FormFields fields;
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        const std::string pair = query.substr(start, end - start);
        if (!pair.empty()) {
            const std::size_t eq = pair.find('=');
            fields.emplace_back(decode(pair.substr(0, eq)),
                                eq == std::string::npos ? "" : decode(pair.substr(eq + 1)));
        }
        start = end + 1;
    }
    return fields;
}

} // namespace tafelbot::oauth
