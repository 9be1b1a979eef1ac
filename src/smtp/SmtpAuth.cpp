#include "smtp/SmtpAuth.h"

#include "smtp/MimeUtil.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <stdexcept>

namespace tafelbot {

std::string AuthPlainResponse(const std::string& username, const std::string& password) {
    std::string message;
    message += '\0';
    message += username;
    message += '\0';
    message += password;
    return base64Encode(message);
}

std::string HmacHex(const std::string& key, const std::string& data, bool sha1) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (HMAC(sha1 ? EVP_sha1() : EVP_md5(), key.data(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest,
             &length) == nullptr)
        throw std::runtime_error("HMAC not available");
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 0x0F];
    }
    return text;
}

std::string CramResponse(const std::string& username, const std::string& password,
                         const std::string& challenge, bool sha1) {
    return base64Encode(username + " " + HmacHex(password, challenge, sha1));
}

} // namespace tafelbot
