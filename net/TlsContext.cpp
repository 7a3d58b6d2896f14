#include "TlsContext.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

namespace vendrix::net {

namespace {
constexpr unsigned char kSessionContext[] = "vendrix-ftp";

SSL_CTX* NewContext(const SSL_METHOD* method, int maxVersion) {
    SSL_CTX* ctx = SSL_CTX_new(method);
    if (!ctx) return nullptr;
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(ctx, maxVersion ? maxVersion : TLS1_3_VERSION);
    // Renegotiation only costs a server CPU on a client's say.
    SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION);
    return ctx;
}
} // namespace

std::string TlsErrorText(const std::string& fallback) {
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return fallback;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

TTlsContext::~TTlsContext() {
    SSL_CTX_free(FCtx);
}

std::unique_ptr<TTlsContext> TTlsContext::Server(const std::string& certChainPem, const std::string& keyPem,
                                                 std::string& error) {
    ERR_clear_error();
    std::unique_ptr<TTlsContext> result(new TTlsContext(NewContext(TLS_server_method(), 0), true));
    SSL_CTX* ctx = result->FCtx;
    if (!ctx) {
        error = TlsErrorText("cannot make a TLS context");
        return nullptr;
    }
    BIO* certs = BIO_new_mem_buf(certChainPem.data(), int(certChainPem.size()));
    X509* leaf = certs ? PEM_read_bio_X509(certs, nullptr, nullptr, nullptr) : nullptr;
    bool ok = leaf && SSL_CTX_use_certificate(ctx, leaf) == 1;
    X509_free(leaf);
    while (ok) {
        X509* extra = PEM_read_bio_X509(certs, nullptr, nullptr, nullptr);
        if (!extra) break;
        if (SSL_CTX_add0_chain_cert(ctx, extra) != 1) {
            X509_free(extra);
            ok = false;
        }
    }
    BIO_free(certs);
    ERR_clear_error(); // the end of the chain reads as an error
    if (!ok) {
        error = "no usable certificate";
        return nullptr;
    }
    BIO* keyBio = BIO_new_mem_buf(keyPem.data(), int(keyPem.size()));
    EVP_PKEY* key = keyBio ? PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(keyBio);
    if (!key) {
        error = "no usable private key";
        ERR_clear_error();
        return nullptr;
    }
    ok = SSL_CTX_use_PrivateKey(ctx, key) == 1 && SSL_CTX_check_private_key(ctx) == 1;
    EVP_PKEY_free(key);
    if (!ok) {
        error = "the private key does not match the certificate";
        ERR_clear_error();
        return nullptr;
    }
    SSL_CTX_set_session_id_context(ctx, kSessionContext, sizeof kSessionContext - 1);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_SERVER);
    return result;
}

std::unique_ptr<TTlsContext> TTlsContext::Client(std::string& error, int maxVersion) {
    ERR_clear_error();
    SSL_CTX* ctx = NewContext(TLS_client_method(), maxVersion);
    if (!ctx) {
        error = TlsErrorText("cannot make a TLS context");
        return nullptr;
    }
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    return std::unique_ptr<TTlsContext>(new TTlsContext(ctx, false));
}

} // namespace vendrix::net
