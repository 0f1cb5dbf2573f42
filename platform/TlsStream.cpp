#include "platform/TlsStream.h"

#include "platform/SocketError.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <sys/socket.h>

namespace {
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

int FdOf(BIO* bio) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

bool WouldBlock(int e) {
    return e == EAGAIN || e == EWOULDBLOCK || e == EINTR;
}

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE when the peer has gone; this
// one sends with MSG_NOSIGNAL and otherwise behaves the same, end of stream included.
int SocketWrite(BIO* bio, const char* data, int len) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(FdOf(bio), data, static_cast<std::size_t>(len), kSendFlags);
    if (n < 0 && WouldBlock(errno))
        BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int SocketRead(BIO* bio, char* data, int len) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::recv(FdOf(bio), data, static_cast<std::size_t>(len), 0);
    if (n == 0)
        BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
    else if (n < 0 && WouldBlock(errno))
        BIO_set_retry_read(bio);
    return static_cast<int>(n);
}

long SocketCtrl(BIO* bio, int cmd, long, void*) {
    switch (cmd) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0 ? 1 : 0;
    default:
        return 0;
    }
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "lumo socket");
        BIO_meth_set_write(m, SocketWrite);
        BIO_meth_set_read(m, SocketRead);
        BIO_meth_set_ctrl(m, SocketCtrl);
        return m;
    }();
    return method;
}

int StreamIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

std::string ErrorQueueText() {
    std::string text;
    while (const unsigned long e = ERR_get_error()) {
        char buf[256];
        ERR_error_string_n(e, buf, sizeof buf);
        if (!text.empty())
            text += "; ";
        text += buf;
    }
    return text;
}

std::string NameText(const X509_NAME* name) {
    BIO* bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long len = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<std::size_t>(len > 0 ? len : 0));
    BIO_free(bio);
    return text;
}

std::int64_t Seconds(const ASN1_TIME* t) {
    std::tm tm{};
    if (!t || ASN1_TIME_to_tm(t, &tm) != 1)
        return 0;
    return static_cast<std::int64_t>(timegm(&tm));
}

bool IsAddressLiteral(const std::string& host) {
    unsigned char buf[16];
    return ::inet_pton(AF_INET, host.c_str(), buf) == 1 || ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}
} // namespace

int TlsNewSession(SSL* ssl, SSL_SESSION* session) {
    auto* stream = static_cast<CTlsStream*>(SSL_get_ex_data(ssl, StreamIndex()));
    if (!stream || !stream->m_sessions)
        return 0;
    stream->m_sessions->Add(session);
    return 1;
}

namespace {
SSL_CTX* Context() {
    static SSL_CTX* ctx = [] {
        SSL_CTX* c = SSL_CTX_new(TLS_client_method());
        if (!c)
            return c;
        SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
        SSL_CTX_set_options(c, SSL_OP_NO_RENEGOTIATION);
        SSL_CTX_set_mode(c, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        // The handshake never stops at a certificate: OpenSSL still checks the chain and the host
        // and keeps the result, and the session decides with the user before it logs in.
        SSL_CTX_set_verify(c, SSL_VERIFY_NONE, nullptr);
        SSL_CTX_set_default_verify_paths(c);
        SSL_CTX_set_session_cache_mode(c, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
        SSL_CTX_sess_set_new_cb(c, TlsNewSession);
        return c;
    }();
    return ctx;
}
} // namespace

bool TlsTrustCertificateFile(const std::string& path) {
    SSL_CTX* ctx = Context();
    return ctx && SSL_CTX_load_verify_locations(ctx, path.c_str(), nullptr) == 1;
}

CTlsSessionCache::~CTlsSessionCache() {
    for (SSL_SESSION* s : m_sessions)
        SSL_SESSION_free(s);
}

void CTlsSessionCache::Add(SSL_SESSION* session) {
    m_sessions.push_front(session);
    while (m_sessions.size() > kKept) {
        SSL_SESSION_free(m_sessions.back());
        m_sessions.pop_back();
    }
}

SSL_SESSION* CTlsSessionCache::TakeNewest() {
    while (!m_sessions.empty()) {
        SSL_SESSION* s = m_sessions.front();
        if (!SSL_SESSION_is_resumable(s)) {
            m_sessions.pop_front();
            SSL_SESSION_free(s);
            continue;
        }
        // TLS 1.3 tickets serve once; an older session may be resumed again and again.
        if (SSL_SESSION_get_protocol_version(s) >= TLS1_3_VERSION)
            m_sessions.pop_front();
        else
            SSL_SESSION_up_ref(s);
        return s;
    }
    return nullptr;
}

std::unique_ptr<CTlsStream> CTlsStream::Create(int fd, const TlsParams& params) {
    SSL_CTX* ctx = Context();
    if (!ctx)
        return nullptr;
    std::unique_ptr<CTlsStream> stream(new CTlsStream);
    stream->m_ssl = SSL_new(ctx);
    BIO* bio = stream->m_ssl ? BIO_new(SocketMethod()) : nullptr;
    if (!bio) {
        ERR_clear_error();
        return nullptr;
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    BIO_set_init(bio, 1);
    SSL_set_bio(stream->m_ssl, bio, bio);
    SSL_set_ex_data(stream->m_ssl, StreamIndex(), stream.get());
    stream->m_sessions = params.sessions;

    std::string host = params.hostName;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    X509_VERIFY_PARAM* check = SSL_get0_param(stream->m_ssl);
    if (IsAddressLiteral(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(check, host.c_str());
    } else if (!host.empty()) {
        SSL_set_tlsext_host_name(stream->m_ssl, host.c_str());
        X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(check, host.c_str(), 0);
    }
    if (params.sessions) {
        if (SSL_SESSION* s = params.sessions->TakeNewest()) {
            SSL_set_session(stream->m_ssl, s);
            SSL_SESSION_free(s);
        }
    }
    SSL_set_connect_state(stream->m_ssl);
    ERR_clear_error();
    return stream;
}

CTlsStream::~CTlsStream() {
    if (m_ssl) {
        // OpenSSL marks the session of a connection freed without close_notify as never to be
        // resumed again. A cancelled transfer is no fault of the session, and a server that demands
        // reuse would refuse every later data connection; only a broken connection spoils it.
        if (m_handshakeDone && (m_ended == TlsStep::Ok || m_ended == TlsStep::Closed))
            SSL_set_shutdown(m_ssl, SSL_get_shutdown(m_ssl) | SSL_SENT_SHUTDOWN);
        SSL_set_ex_data(m_ssl, StreamIndex(), nullptr);
        SSL_free(m_ssl);
    }
}

TlsStep CTlsStream::Outcome(int result, int sslError, int savedErrno) {
    switch (sslError) {
    case SSL_ERROR_NONE:
        return TlsStep::Ok;
    case SSL_ERROR_WANT_READ:
        return TlsStep::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return TlsStep::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        m_ended = TlsStep::Closed;
        break;
    case SSL_ERROR_SSL:
        if (ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
            m_ended = TlsStep::Truncated;
            m_error = SocketError::TlsTruncated;
        } else {
            m_ended = TlsStep::Failed;
            m_error = SocketError::TlsFailed;
        }
        m_failureText = ErrorQueueText();
        break;
    case SSL_ERROR_SYSCALL:
        // Without an errno the socket simply ended, which TLS calls a truncation.
        if (savedErrno == 0 && result == 0) {
            m_ended = TlsStep::Truncated;
            m_error = SocketError::TlsTruncated;
        } else {
            m_ended = TlsStep::Failed;
            m_error = savedErrno != 0 ? MapSocketError(savedErrno) : SocketError::TlsFailed;
        }
        m_failureText = ErrorQueueText();
        break;
    default:
        m_ended = TlsStep::Failed;
        m_error = SocketError::TlsFailed;
        m_failureText = ErrorQueueText();
        break;
    }
    ERR_clear_error();
    return m_ended;
}

TlsStep CTlsStream::Handshake() {
    if (m_handshakeDone)
        return TlsStep::Ok;
    if (Ended())
        return TlsStep::Failed;
    ERR_clear_error();
    errno = 0;
    const int r = SSL_connect(m_ssl);
    const int saved = errno;
    if (r == 1) {
        m_handshakeDone = true;
        return TlsStep::Ok;
    }
    const TlsStep step = Outcome(r, SSL_get_error(m_ssl, r), saved);
    if (step == TlsStep::WantRead || step == TlsStep::WantWrite)
        return step;
    // Whatever ended it, a handshake that did not finish is one failure to the session.
    if (m_failureText.empty() && saved != 0)
        m_failureText = std::strerror(saved);
    m_ended = TlsStep::Failed;
    m_error = SocketError::TlsFailed;
    return TlsStep::Failed;
}

TlsStep CTlsStream::Read(char* buffer, std::size_t len, std::size_t& got) {
    got = 0;
    if (Ended())
        return m_ended;
    ERR_clear_error();
    errno = 0;
    const int r = SSL_read_ex(m_ssl, buffer, len, &got);
    const int saved = errno;
    return r == 1 ? TlsStep::Ok : Outcome(r, SSL_get_error(m_ssl, r), saved);
}

TlsStep CTlsStream::Peek() {
    if (Ended())
        return m_ended;
    char c;
    std::size_t got = 0;
    ERR_clear_error();
    errno = 0;
    const int r = SSL_peek_ex(m_ssl, &c, 1, &got);
    const int saved = errno;
    return r == 1 ? TlsStep::Ok : Outcome(r, SSL_get_error(m_ssl, r), saved);
}

TlsStep CTlsStream::Write(const char* data, std::size_t len, std::size_t& put) {
    put = 0;
    if (m_ended == TlsStep::Failed || m_ended == TlsStep::Truncated)
        return m_ended;
    ERR_clear_error();
    errno = 0;
    const int r = SSL_write_ex(m_ssl, data, len, &put);
    const int saved = errno;
    return r == 1 ? TlsStep::Ok : Outcome(r, SSL_get_error(m_ssl, r), saved);
}

TlsStep CTlsStream::Shutdown() {
    if (!m_handshakeDone || m_ended == TlsStep::Failed || m_ended == TlsStep::Truncated)
        return TlsStep::Failed;
    ERR_clear_error();
    const int r = SSL_shutdown(m_ssl);
    if (r == 1)
        return TlsStep::Ok;
    if (r == 0)
        return TlsStep::WantRead;
    const int e = SSL_get_error(m_ssl, r);
    ERR_clear_error();
    if (e == SSL_ERROR_WANT_WRITE)
        return TlsStep::WantWrite;
    if (e == SSL_ERROR_WANT_READ)
        return TlsStep::WantRead;
    return TlsStep::Failed;
}

bool CTlsStream::HasPending() const {
    return SSL_pending(m_ssl) > 0;
}

TlsPeerInfo CTlsStream::PeerInfo() const {
    TlsPeerInfo info;
    info.protocol = SSL_get_version(m_ssl);
    if (const char* cipher = SSL_get_cipher_name(m_ssl))
        info.cipher = cipher;
    info.resumed = SSL_session_reused(m_ssl) == 1;
    X509* cert = SSL_get0_peer_certificate(m_ssl);
    if (!cert)
        return info;
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (X509_digest(cert, EVP_sha256(), md, &n) == 1) {
        static const char kHex[] = "0123456789ABCDEF";
        for (unsigned int i = 0; i < n; ++i) {
            info.sha256Hex += kHex[md[i] >> 4];
            info.sha256Hex += kHex[md[i] & 15];
        }
    }
    info.subject = NameText(X509_get_subject_name(cert));
    info.issuer = NameText(X509_get_issuer_name(cert));
    info.notBefore = Seconds(X509_get0_notBefore(cert));
    info.notAfter = Seconds(X509_get0_notAfter(cert));
    info.verifyCode = SSL_get_verify_result(m_ssl);
    info.verifyText = X509_verify_cert_error_string(info.verifyCode);
    ERR_clear_error();
    return info;
}
