// One connection's TLS state over memory buffers: ciphertext from the peer
// goes in with Feed, ciphertext for the peer comes out of TakeOutput, and
// plaintext is read and written in between. It knows nothing of sockets, so
// the socket decides when bytes move and every event stays on the loop.
//
// Loop thread only.
#pragma once

#include "TlsContext.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

struct ssl_st;
struct ssl_session_st;

namespace vendrix::net {

// A session a client offers to resume, or a server's session to compare.
using TTlsResumption = std::shared_ptr<ssl_session_st>;

class TTlsSession {
public:
    enum TStatus { tsHandshaking, tsEstablished, tsFailed };

    // `resume` (client only) is offered to the server for resumption.
    TTlsSession(TTlsContext& ctx, TTlsResumption resume = {});
    ~TTlsSession();
    TTlsSession(const TTlsSession&) = delete;
    TTlsSession& operator=(const TTlsSession&) = delete;

    bool Valid() const { return FSsl != nullptr; }
    // Server side, before the handshake: no session tickets after it (TLS
    // 1.3; a TLS 1.2 ticket is part of the handshake and still goes).
    void NoTickets();
    TStatus Status() const { return FStatus; }
    const std::string& Error() const { return FError; }

    // Ciphertext received from the peer.
    void Feed(const char* data, int length);
    // Moves the handshake on as far as the bytes fed allow; the status says
    // where it stands.
    TStatus Advance();
    // Plaintext read: > 0 bytes, 0 when the peer has ended the session
    // (close_notify), -1 when more ciphertext is needed or the session failed
    // (Status() says which).
    int Read(char* buffer, int size);
    // Encrypts all of the plaintext; false when the session has failed.
    bool Write(const char* data, int length);
    // Queues the close_notify alert.
    void Shutdown();
    // Ciphertext waiting to go to the peer (the buffer is emptied).
    std::string TakeOutput();
    bool HasOutput() const;
    // Bytes fed or decrypted that Read has not returned yet.
    bool HasPending() const;

    // The peer has sent its close_notify: the session ended in order.
    bool PeerEnded() const;
    // Our close_notify is queued or sent.
    bool SentShutdown() const;

    // Established sessions only.
    bool Reused() const;
    TTlsResumption Session() const;
    std::string Version() const;
    std::string Cipher() const;
    // Server side. Every session a server connection makes carries a tag,
    // new and unique in the process for a fresh session and inherited by
    // the tickets of a resumed one, so a later connection can tell whose
    // session it resumed. The tag of this connection's session, the tag of
    // the session it resumed (0 when it resumed none), and the tag a fresh
    // session of this connection gets.
    uint64_t Tag() const;
    uint64_t ResumedTag() const;
    uint64_t FreshTag() const { return FFreshTag; }

private:
    void Fail(const std::string& fallback);
    // Moves ciphertext from FIn to the session's memory buffer while that
    // holds little. Every write to that buffer moves what it still holds to
    // its front, so it is kept small: an upload fed there as fast as it came
    // piled up megabytes and spent its time copying them.
    void Refill();
    // Refill; true when it moved any bytes.
    bool MoreFed();

    // Ciphertext fed and not handed to the session yet: the pieces as they
    // came, the first from FInPos on (no piece is moved once stored).
    std::deque<std::string> FIn;
    size_t FInPos = 0;
    // Read took bytes and then the peer's close_notify: its next call
    // reports the end.
    bool FEndToReport = false;

    ssl_st* FSsl = nullptr;
    TStatus FStatus = tsHandshaking;
    std::string FError;
    uint64_t FFreshTag = 0;
};

} // namespace vendrix::net
