#pragma once

#include "platform/TlsPeerInfo.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

struct ssl_st;
struct ssl_session_st;

// TLS for FTP, on OpenSSL itself rather than QSslSocket. QSslSocket reads and writes its socket
// through Qt's own engine and notifiers, beside the event layer that already watches ours; and FTP
// needs what it does not offer: choosing which session a data connection resumes, a one-way
// close_notify followed by a lingering close, and telling close_notify from a cut stream.

// The TLS sessions one FTP session may resume, newest first. A server that demands reuse on its
// data connections (vsftpd's require_ssl_reuse) issues new tickets on every connection, control and
// data alike, and a TLS 1.3 ticket serves once: each data connection takes the newest.
class CTlsSessionCache {
public:
    CTlsSessionCache() = default;
    ~CTlsSessionCache();
    CTlsSessionCache(const CTlsSessionCache&) = delete;
    CTlsSessionCache& operator=(const CTlsSessionCache&) = delete;

    // Takes over one reference to the session.
    void Add(ssl_session_st* session);
    // The newest resumable session, with a reference for the caller; a TLS 1.3 one leaves the cache.
    ssl_session_st* TakeNewest();
    std::size_t Size() const { return m_sessions.size(); }

private:
    static constexpr std::size_t kKept = 4;
    std::deque<ssl_session_st*> m_sessions;
};

// What a TLS connection is told before its handshake: the host name (checked against the
// certificate, and sent as SNI unless it is an address) and the cache its sessions go to and come
// from (none: no resumption).
struct TlsParams {
    std::string hostName;
    std::shared_ptr<CTlsSessionCache> sessions;
};

// How a TLS step went.
enum class TlsStep {
    Ok,        // done; for reads and peeks: plain text is there
    WantRead,  // try again once the socket is readable
    WantWrite, // try again once the socket is writable
    Closed,    // the peer ended the stream with close_notify
    Truncated, // the stream ended without close_notify: what came may be cut short
    Failed,    // a protocol or socket failure; Error() tells which
};

// The client side of one TLS connection on a connected non-blocking socket it does not own. It
// writes with MSG_NOSIGNAL, so a peer gone away gives an error rather than SIGPIPE.
class CTlsStream {
public:
    // Null when OpenSSL cannot set the connection up.
    static std::unique_ptr<CTlsStream> Create(int fd, const TlsParams& params);
    ~CTlsStream();
    CTlsStream(const CTlsStream&) = delete;
    CTlsStream& operator=(const CTlsStream&) = delete;

    TlsStep Handshake();
    TlsStep Read(char* buffer, std::size_t len, std::size_t& got);
    // Whether plain text waits, reading records (and session tickets) as they come.
    TlsStep Peek();
    // With partial writes: `put` may be less than len. A write that wanted the socket must be
    // repeated with the same bytes at its start and at least as many of them.
    TlsStep Write(const char* data, std::size_t len, std::size_t& put);
    // Sends close_notify: Ok once both sides have sent theirs, WantRead when the peer's is still
    // to come, WantWrite when the socket has no room for it yet, Failed otherwise.
    TlsStep Shutdown();

    // Plain text that OpenSSL holds already, which the socket will never report as readable.
    bool HasPending() const;
    // The stream has ended (Closed, Truncated or Failed) and will say so again when asked.
    bool Ended() const { return m_ended != TlsStep::Ok; }
    bool HandshakeDone() const { return m_handshakeDone; }
    // The Windows Sockets number of the last failure (SocketError::TlsFailed for TLS's own).
    int Error() const { return m_error; }
    // OpenSSL's words for the last failure, for the log.
    const std::string& FailureText() const { return m_failureText; }
    TlsPeerInfo PeerInfo() const;

private:
    CTlsStream() = default;
    TlsStep Outcome(int result, int sslError, int savedErrno);

    ssl_st* m_ssl = nullptr;
    std::shared_ptr<CTlsSessionCache> m_sessions;
    bool m_handshakeDone = false;
    TlsStep m_ended = TlsStep::Ok;
    int m_error = 0;
    std::string m_failureText;

    friend int TlsNewSession(ssl_st*, ssl_session_st*);
};

// Trusts one more certificate (PEM) beside the system's store, for connections set up after the call.
bool TlsTrustCertificateFile(const std::string& path);
