// The TLS settings a socket's TLS mode works with: one server or client
// context, its certificate and key, TLS 1.2 and 1.3 only, OpenSSL's default
// secure ciphers, and the server's session cache and tickets that let a data
// connection resume the session of its control connection.
//
// Loop thread only, like the sockets that use it. A context outlives every
// socket that was started with it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct ssl_ctx_st;
struct ssl_session_st;

namespace vendrix::net {

class TTlsContext {
public:
    ~TTlsContext();
    TTlsContext(const TTlsContext&) = delete;
    TTlsContext& operator=(const TTlsContext&) = delete;

    // A server context from a PEM certificate chain (leaf first) and a PEM
    // private key; nullptr with `error` set when either is missing, unreadable
    // or does not match the other.
    static std::unique_ptr<TTlsContext> Server(const std::string& certChainPem, const std::string& keyPem,
                                               std::string& error);
    // A client context that does not verify the server (the tests' peer, and
    // a client that pins the fingerprint itself). `maxVersion` limits the
    // highest protocol version (0: TLS 1.3).
    static std::unique_ptr<TTlsContext> Client(std::string& error, int maxVersion = 0);

    bool IsServer() const { return FServer; }
    ssl_ctx_st* Raw() const { return FCtx; }

private:
    TTlsContext(ssl_ctx_st* ctx, bool server) : FCtx(ctx), FServer(server) {}
    ssl_ctx_st* FCtx;
    bool FServer;
};

// Writes `tag` into a session (it travels inside the session's tickets and
// stays with it in the server's cache), and reads it back (0: none).
void SetSessionTag(ssl_session_st* session, uint64_t tag);
uint64_t SessionTag(ssl_session_st* session);

// The text of OpenSSL's oldest queued error (the queue is emptied), or
// `fallback` when none is queued.
std::string TlsErrorText(const std::string& fallback);

} // namespace vendrix::net
