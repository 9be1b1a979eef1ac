#include "smtp/TlsSession.h"

#include "smtp/WSocketResolve.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace tafelbot {

namespace {

// Texts are Windows-1252 bytes, like every text of the core.
const char* const textZertifikat = "Das Zertifikat des Servers ";

std::string verifyReason(long result) {
    return std::string(" (") + X509_verify_cert_error_string(result) + ")";
}

int problemCode(long result) {
    switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return tlsErrorExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return tlsErrorNameMismatch;
    default:
        return tlsErrorUntrusted;
    }
}

std::string problemText(long result, const std::string& hostName) {
    std::string text = textZertifikat;
    switch (problemCode(result)) {
    case tlsErrorExpired:
        text +=
            result == X509_V_ERR_CERT_NOT_YET_VALID ? "ist noch nicht g\xFCltig" : "ist abgelaufen";
        break;
    case tlsErrorNameMismatch:
        text += "ist nicht f\xFCr den Namen \"" + hostName + "\" ausgestellt";
        break;
    default:
        text += "ist nicht vertrauensw\xFCrdig";
        break;
    }
    return text + verifyReason(result);
}

} // namespace

void TlsSession::ContextFree::operator()(SSL_CTX* context) const {
    SSL_CTX_free(context);
}

void TlsSession::SslFree::operator()(SSL* ssl) const {
    SSL_free(ssl);
}

TlsSession::TlsSession(const TlsOptions& options) : options_(options) {
    ERR_clear_error();
    if (options_.hostName.empty())
        throw TlsSetupError("TLS ohne Servernamen ist nicht m\xF6glich");
    context_.reset(SSL_CTX_new(TLS_client_method()));
    if (!context_)
        throw TlsSetupError("TLS kann nicht eingerichtet werden");
    SSL_CTX* context = context_.get();
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION);
    // The system's store, or the one SSL_CERT_FILE and SSL_CERT_DIR name. A missing store
    // leaves nothing trusted, which every verification then reports.
    SSL_CTX_set_default_verify_paths(context);
    if (!options_.extraCaFile.empty() &&
        SSL_CTX_load_verify_locations(context, options_.extraCaFile.c_str(), nullptr) != 1) {
        ERR_clear_error();
        throw TlsSetupError("Die Datei der zus\xE4tzlichen Zertifizierungsstellen \"" +
                            options_.extraCaFile + "\" kann nicht gelesen werden");
    }
    // With the exception the chain is still checked, so that the warning can name the problem.
    SSL_CTX_set_verify(context, options_.acceptUnverified ? SSL_VERIFY_NONE : SSL_VERIFY_PEER,
                       nullptr);

    ssl_.reset(SSL_new(context));
    BIO* incoming = BIO_new(BIO_s_mem());
    BIO* outgoing = BIO_new(BIO_s_mem());
    if (!ssl_ || !incoming || !outgoing) {
        BIO_free(incoming);
        BIO_free(outgoing);
        ERR_clear_error();
        throw TlsSetupError("TLS kann nicht eingerichtet werden");
    }
    SSL* ssl = ssl_.get();
    SSL_set_bio(ssl, incoming, outgoing);
    SSL_set_connect_state(ssl);

    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    bool nameSet = false;
    if (WSocketIsDottedIP(options_.hostName)) {
        // An address is no name for SNI; the certificate must hold it as an IP address.
        nameSet = X509_VERIFY_PARAM_set1_ip_asc(param, options_.hostName.c_str()) == 1;
    } else {
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        // SSL_set_tlsext_host_name is a macro with a C cast; its function form keeps our casts
        // named.
        nameSet = SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                           const_cast<char*>(options_.hostName.c_str())) == 1 &&
                  X509_VERIFY_PARAM_set1_host(param, options_.hostName.c_str(), 0) == 1;
    }
    if (!nameSet) {
        ERR_clear_error();
        throw TlsSetupError("Der Servername \"" + options_.hostName +
                            "\" ist f\xFCr TLS nicht verwendbar");
    }
}

TlsSession::~TlsSession() = default;

void TlsSession::putIncoming(const char* data, std::size_t size) {
    if (size > 0)
        BIO_write(SSL_get_rbio(ssl_.get()), data, static_cast<int>(size));
}

void TlsSession::takeOutgoing(std::string& into) {
    BIO* outgoing = SSL_get_wbio(ssl_.get());
    char buffer[4096];
    for (;;) {
        int n = BIO_read(outgoing, buffer, sizeof buffer);
        if (n <= 0)
            break;
        into.append(buffer, static_cast<std::size_t>(n));
    }
}

TlsSession::Result TlsSession::handshake() {
    if (failureCode_ != 0)
        return Result::Failed;
    ERR_clear_error();
    int result = SSL_do_handshake(ssl_.get());
    if (result == 1)
        return Result::Done;
    int error = SSL_get_error(ssl_.get(), result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
        return Result::NeedMore;
    long verifyResult = SSL_get_verify_result(ssl_.get());
    if (verifyResult != X509_V_OK && !options_.acceptUnverified)
        failFromVerification(verifyResult);
    else
        failFromErrorQueue("Handshake abgebrochen");
    return Result::Failed;
}

TlsSession::Result TlsSession::read(char* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    if (failureCode_ != 0)
        return Result::Failed;
    ERR_clear_error();
    if (SSL_read_ex(ssl_.get(), buffer, size, &got) == 1)
        return Result::Done;
    switch (SSL_get_error(ssl_.get(), 0)) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
        return Result::NeedMore;
    case SSL_ERROR_ZERO_RETURN:
        return Result::Closed;
    default:
        failFromErrorQueue("Lesefehler");
        return Result::Failed;
    }
}

bool TlsSession::write(std::string_view plain) {
    if (failureCode_ != 0)
        return false;
    while (!plain.empty()) {
        ERR_clear_error();
        std::size_t written = 0;
        if (SSL_write_ex(ssl_.get(), plain.data(), plain.size(), &written) != 1) {
            // Renegotiation is off: with memory buffers nothing else can make a write wait.
            failFromErrorQueue("Schreibfehler");
            return false;
        }
        plain.remove_prefix(written);
    }
    return true;
}

void TlsSession::shutdown() {
    if (failureCode_ == 0 && SSL_is_init_finished(ssl_.get()))
        SSL_shutdown(ssl_.get());
    ERR_clear_error();
}

TlsInfo TlsSession::info() const {
    TlsInfo info;
    SSL* ssl = ssl_.get();
    info.protocol = SSL_get_version(ssl);
    info.cipher = SSL_CIPHER_get_name(SSL_get_current_cipher(ssl));
    long result = SSL_get_verify_result(ssl);
    if (SSL_get0_peer_certificate(ssl) == nullptr && result == X509_V_OK)
        result = X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT;
    info.verified = result == X509_V_OK;
    if (!info.verified) {
        info.problem = problemCode(result);
        info.problemText = problemText(result, options_.hostName);
    }
    return info;
}

void TlsSession::fail(int code, const std::string& text) {
    if (failureCode_ != 0)
        return;
    failureCode_ = code;
    failureText_ = text;
}

void TlsSession::failFromVerification(long verifyResult) {
    ERR_clear_error();
    fail(problemCode(verifyResult), problemText(verifyResult, options_.hostName));
}

void TlsSession::failFromErrorQueue(const std::string& fallback) {
    std::string reason = fallback;
    if (unsigned long error = ERR_get_error(); error != 0) {
        if (const char* text = ERR_reason_error_string(error))
            reason = text;
    }
    ERR_clear_error();
    fail(tlsErrorProtocol, "Die verschl\xFCsselte Verbindung kam nicht zustande (" + reason + ")");
}

} // namespace tafelbot
