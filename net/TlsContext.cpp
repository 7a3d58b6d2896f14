#include "TlsContext.h"

#include "TlsSession.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

namespace vendrix::net {

namespace {
constexpr unsigned char kSessionContext[] = "vendrix-ftp";

// A session lives as long as an FTP session may: a data connection opened
// hours after the login must still resume the control connection's session.
constexpr long kSessionSeconds = 24 * 3600;

// A ticket of a fresh session gets the connection's new tag; one issued on
// a resumed connection keeps the tag of the session it resumed (OpenSSL's
// copy of the session for the ticket carries it), so a data connection that
// resumed its control connection's session hands out tickets of the same
// owner, and one that did not cannot.
int StampTicket(SSL* ssl, void*) {
    auto* tls = static_cast<TTlsSession*>(SSL_get_app_data(ssl));
    SSL_SESSION* session = SSL_get0_session(ssl);
    if (tls && SessionTag(session) == 0) SetSessionTag(session, tls->FreshTag());
    return 1;
}

// OpenSSL's own choices for a ticket, which the callback pair replaces.
SSL_TICKET_RETURN UseTicket(SSL*, SSL_SESSION*, const unsigned char*, size_t, SSL_TICKET_STATUS status,
                            void*) {
    switch (status) {
    case SSL_TICKET_SUCCESS:
        return SSL_TICKET_RETURN_USE;
    case SSL_TICKET_SUCCESS_RENEW:
        return SSL_TICKET_RETURN_USE_RENEW;
    case SSL_TICKET_NONE:
    case SSL_TICKET_EMPTY:
    case SSL_TICKET_NO_DECRYPT:
        return SSL_TICKET_RETURN_IGNORE_RENEW;
    default:
        return SSL_TICKET_RETURN_ABORT;
    }
}

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

void SetSessionTag(SSL_SESSION* session, uint64_t tag) {
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<unsigned char>(tag >> (8 * i));
    if (session) SSL_SESSION_set1_ticket_appdata(session, bytes, sizeof bytes);
}

uint64_t SessionTag(SSL_SESSION* session) {
    void* data = nullptr;
    size_t length = 0;
    if (!session || SSL_SESSION_get0_ticket_appdata(session, &data, &length) != 1 || length != 8) return 0;
    uint64_t tag = 0;
    for (int i = 0; i < 8; ++i)
        tag |= uint64_t(static_cast<const unsigned char*>(data)[i]) << (8 * i);
    return tag;
}

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
    SSL_CTX_set_timeout(ctx, kSessionSeconds);
    SSL_CTX_set_session_ticket_cb(ctx, StampTicket, UseTicket, nullptr);
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
