#include "TlsCertificate.h"

#include "TlsContext.h"

#include <ctime>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace vendrix::net {

namespace {
template <typename T, void (*Free)(T*)> struct TFree {
    void operator()(T* p) const { Free(p); }
};
using TKey = std::unique_ptr<EVP_PKEY, TFree<EVP_PKEY, EVP_PKEY_free>>;
using TCert = std::unique_ptr<X509, TFree<X509, X509_free>>;
using TBio = std::unique_ptr<BIO, TFree<BIO, BIO_free_all>>;

std::string BioText(BIO* bio) {
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    return n > 0 ? std::string(data, size_t(n)) : std::string();
}
} // namespace

bool MakeSelfSignedCertificate(const std::string& commonName, int days, std::string& certPem,
                               std::string& keyPem, std::string& error) {
    TKey key(EVP_EC_gen("P-256"));
    TCert cert(X509_new());
    TBio certOut(BIO_new(BIO_s_mem()));
    TBio keyOut(BIO_new(BIO_s_mem()));
    bool ok = key && cert && certOut && keyOut;
    if (ok) {
        X509_NAME* name = X509_get_subject_name(cert.get());
        const auto* cn = reinterpret_cast<const unsigned char*>(commonName.c_str());
        ok = X509_set_version(cert.get(), 2) == 1 &&
             ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), long(time(nullptr))) == 1 &&
             X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) &&
             X509_gmtime_adj(X509_getm_notAfter(cert.get()), long(days) * 24 * 3600) &&
             X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, cn, -1, -1, 0) == 1 &&
             X509_set_issuer_name(cert.get(), name) == 1 && X509_set_pubkey(cert.get(), key.get()) == 1 &&
             X509_sign(cert.get(), key.get(), EVP_sha256()) > 0 &&
             PEM_write_bio_X509(certOut.get(), cert.get()) == 1 &&
             PEM_write_bio_PrivateKey(keyOut.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    }
    if (!ok) {
        error = TlsErrorText("cannot make a self-signed certificate");
        return false;
    }
    certPem = BioText(certOut.get());
    keyPem = BioText(keyOut.get());
    return true;
}

std::string CertificateFingerprint(const std::string& certPem) {
    TBio in(BIO_new_mem_buf(certPem.data(), int(certPem.size())));
    TCert cert(in ? PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr) : nullptr);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!cert || X509_digest(cert.get(), EVP_sha256(), digest, &length) != 1) {
        TlsErrorText("");
        return "";
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i) text += ':';
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

} // namespace vendrix::net
