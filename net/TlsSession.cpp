#include "TlsSession.h"

#include <algorithm>
#include <atomic>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace vendrix::net {

namespace {
std::atomic<uint64_t> gNextTag{1};
} // namespace

TTlsSession::TTlsSession(TTlsContext& ctx, TTlsResumption resume) : FFreshTag(gNextTag.fetch_add(1)) {
    ERR_clear_error();
    FSsl = SSL_new(ctx.Raw());
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    if (!FSsl || !in || !out) {
        BIO_free(in);
        BIO_free(out);
        SSL_free(FSsl);
        FSsl = nullptr;
        Fail("cannot make a TLS session");
        return;
    }
    // An empty input buffer means "more to come", never end of stream.
    BIO_set_mem_eof_return(in, -1);
    BIO_set_mem_eof_return(out, -1);
    SSL_set_bio(FSsl, in, out);
    SSL_set_app_data(FSsl, this);
    if (ctx.IsServer()) {
        SSL_set_accept_state(FSsl);
    } else {
        SSL_set_connect_state(FSsl);
        if (resume) SSL_set_session(FSsl, resume.get());
    }
}

TTlsSession::~TTlsSession() {
    // A connection cut without close_notify would otherwise void its session
    // for every later resumption: a data connection aborted mid-transfer
    // must not stop the next one from resuming the control session.
    if (FSsl && FStatus == tsEstablished) SSL_set_shutdown(FSsl, SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN);
    SSL_free(FSsl);
}

void TTlsSession::NoTickets() {
    if (FSsl) SSL_set_num_tickets(FSsl, 0);
}

void TTlsSession::Fail(const std::string& fallback) {
    FStatus = tsFailed;
    FError = TlsErrorText(fallback);
}

namespace {
// The session's memory buffer gets ciphertext in pieces of this size, when
// it holds less than one.
constexpr size_t kFeedPiece = 64 * 1024;
} // namespace

void TTlsSession::Feed(const char* data, int length) {
    if (!FSsl || length <= 0) return;
    FIn.emplace_back(data, size_t(length));
    Refill();
}

bool TTlsSession::MoreFed() {
    const size_t pieces = FIn.size(), before = FInPos;
    Refill();
    return FIn.size() != pieces || FInPos != before;
}

void TTlsSession::Refill() {
    BIO* bio = SSL_get_rbio(FSsl);
    while (!FIn.empty() && BIO_ctrl_pending(bio) < kFeedPiece) {
        const std::string& piece = FIn.front();
        const size_t n = std::min(kFeedPiece, piece.size() - FInPos);
        BIO_write(bio, piece.data() + FInPos, int(n));
        FInPos += n;
        if (FInPos == piece.size()) {
            FIn.pop_front();
            FInPos = 0;
        }
    }
}

TTlsSession::TStatus TTlsSession::Advance() {
    if (!FSsl || FStatus != tsHandshaking) return FStatus;
    int rc = 0;
    do {
        ERR_clear_error();
        rc = SSL_do_handshake(FSsl);
    } while (rc != 1 && SSL_get_error(FSsl, rc) == SSL_ERROR_WANT_READ && MoreFed());
    if (rc == 1) {
        FStatus = tsEstablished;
        // A TLS 1.2 session kept in the server's cache (no ticket) gets its
        // tag here; a ticket got it when it was made.
        SSL_SESSION* session = SSL_get0_session(FSsl);
        if (SSL_is_server(FSsl) && !SSL_session_reused(FSsl) && SessionTag(session) == 0)
            SetSessionTag(session, FFreshTag);
        return FStatus;
    }
    int err = SSL_get_error(FSsl, rc);
    if (err != SSL_ERROR_WANT_READ && err != SSL_ERROR_WANT_WRITE) Fail("TLS handshake failed");
    return FStatus;
}

int TTlsSession::Read(char* buffer, int size) {
    if (!FSsl || FStatus != tsEstablished || size <= 0) return -1;
    // One SSL_read gives one record (16 KiB at most): a large buffer is
    // filled from as many records as are there, so an upload moves in
    // large reads and the ciphertext waiting in memory stays small. What
    // ends the loop after some bytes (no more records, the peer's
    // close_notify, a failure) is reported by the next call.
    if (FEndToReport) {
        FEndToReport = false;
        return 0;
    }
    int total = 0;
    int rc = 0;
    for (;;) {
        Refill();
        ERR_clear_error();
        rc = SSL_read(FSsl, buffer + total, size - total);
        if (rc <= 0) {
            if (SSL_get_error(FSsl, rc) == SSL_ERROR_WANT_READ && MoreFed()) continue;
            break;
        }
        total += rc;
        if (total == size) return total;
    }
    if (total > 0) {
        // The close_notify behind these bytes is read already: the caller
        // hears of it at its next call, which HasPending asks for.
        FEndToReport = SSL_get_error(FSsl, rc) == SSL_ERROR_ZERO_RETURN;
        ERR_clear_error();
        return total;
    }
    int err = SSL_get_error(FSsl, rc);
    if (err == SSL_ERROR_ZERO_RETURN) {
        // The peer's close_notify gets ours: a client that waits for it
        // before closing (as one that unwraps its data connection does)
        // must not wait in vain.
        ERR_clear_error();
        return 0;
    }
    if (err != SSL_ERROR_WANT_READ && err != SSL_ERROR_WANT_WRITE) Fail("TLS record error");
    return -1;
}

bool TTlsSession::Write(const char* data, int length) {
    if (!FSsl || FStatus != tsEstablished) return false;
    // Memory buffers never block, so a write takes everything at once.
    while (length > 0) {
        ERR_clear_error();
        int rc = SSL_write(FSsl, data, length);
        if (rc <= 0) {
            Fail("TLS write failed");
            return false;
        }
        data += rc;
        length -= rc;
    }
    return true;
}

void TTlsSession::Shutdown() {
    if (FSsl && FStatus == tsEstablished && !(SSL_get_shutdown(FSsl) & SSL_SENT_SHUTDOWN)) {
        SSL_shutdown(FSsl);
        ERR_clear_error();
    }
}

std::string TTlsSession::TakeOutput() {
    std::string out;
    if (!FSsl) return out;
    BIO* bio = SSL_get_wbio(FSsl);
    size_t n = BIO_ctrl_pending(bio);
    out.resize(n);
    if (n > 0) out.resize(size_t(std::max(0, BIO_read(bio, out.data(), int(n)))));
    return out;
}

bool TTlsSession::HasOutput() const {
    return FSsl && BIO_ctrl_pending(SSL_get_wbio(FSsl)) > 0;
}

bool TTlsSession::HasPending() const {
    return FSsl && FStatus == tsEstablished &&
           (SSL_pending(FSsl) > 0 || SSL_has_pending(FSsl) == 1 || BIO_ctrl_pending(SSL_get_rbio(FSsl)) > 0 ||
            !FIn.empty() || FEndToReport);
}

bool TTlsSession::PeerEnded() const {
    return FSsl && (SSL_get_shutdown(FSsl) & SSL_RECEIVED_SHUTDOWN) != 0;
}

bool TTlsSession::SentShutdown() const {
    return FSsl && (SSL_get_shutdown(FSsl) & SSL_SENT_SHUTDOWN) != 0;
}

bool TTlsSession::Reused() const {
    return FSsl && FStatus == tsEstablished && SSL_session_reused(FSsl) == 1;
}

TTlsResumption TTlsSession::Session() const {
    if (!FSsl || FStatus != tsEstablished) return {};
    SSL_SESSION* s = SSL_get1_session(FSsl);
    if (!s) return {};
    return TTlsResumption(s, SSL_SESSION_free);
}

uint64_t TTlsSession::Tag() const {
    uint64_t resumed = ResumedTag();
    return resumed ? resumed : FFreshTag;
}

uint64_t TTlsSession::ResumedTag() const {
    return Reused() ? SessionTag(SSL_get0_session(FSsl)) : 0;
}

std::string TTlsSession::Version() const {
    return FSsl ? SSL_get_version(FSsl) : "";
}

std::string TTlsSession::Cipher() const {
    return FSsl ? SSL_get_cipher_name(FSsl) : "";
}

} // namespace vendrix::net
