#include "platform/SocketEvents.h"

#include "platform/SocketError.h"
#include "platform/TlsStream.h"

#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

namespace {
std::vector<CSocketEvents*>& Instances() {
    static std::vector<CSocketEvents*> instances;
    return instances;
}

// While data that nobody reads blocks the view of the end of the stream, the peer's close is
// looked for this often.
constexpr int kCloseWatchMs = 100;

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL | MSG_DONTWAIT;
#else
// Where the flag is missing, the socket itself is told not to raise SIGPIPE when it is made.
constexpr int kSendFlags = MSG_DONTWAIT;
#endif

bool IsListening(SocketId s) {
    int on = 0;
    socklen_t len = sizeof on;
    return ::getsockopt(s, SOL_SOCKET, SO_ACCEPTCONN, &on, &len) == 0 && on != 0;
}
} // namespace

struct CSocketEvents::Entry {
    std::uint64_t serial = 0;
    int message = 0;
    std::uint32_t interest = 0;
    QSocketNotifier* reader = nullptr;
    QSocketNotifier* writer = nullptr;
    QTimer* closeWatch = nullptr;
    bool listening = false;
    bool connecting = false;
    bool readArmed = true;
    bool writeArmed = true;
    bool acceptArmed = true;
    bool closeArmed = true;
    // Data waits that the current registration does not want: the reader rests until a Receive
    // or a new registration, or it would fire without end.
    bool readerParked = false;
    // A socket whose connect or TLS handshake failed has nothing more to report.
    bool connectFailed = false;
    std::string out;
    // TLS on this socket: its handshake runs before any other event; reads and writes then pass
    // through it as plain text.
    std::unique_ptr<CTlsStream> tls;
    bool handshaking = false;
    // The last TLS step waits for the other direction of the socket.
    bool tlsWantsRead = false;
    bool tlsWantsWrite = false;
    bool tlsRecheckQueued = false;
};

CSocketEvents::CSocketEvents(QObject* parent) : QObject(parent) {
    Instances().push_back(this);
}

CSocketEvents::~CSocketEvents() {
    auto& all = Instances();
    std::erase(all, this);
}

void CSocketEvents::SocketClosing(SocketId s) {
    for (CSocketEvents* events : Instances())
        events->Forget(s);
}

CSocketEvents::Entry& CSocketEvents::EntryFor(SocketId s) {
    auto it = m_entries.find(s);
    if (it != m_entries.end())
        return *it->second;
    auto e = std::make_unique<Entry>();
    e->serial = ++m_serial;
    e->reader = new QSocketNotifier(s, QSocketNotifier::Read, this);
    e->writer = new QSocketNotifier(s, QSocketNotifier::Write, this);
    e->reader->setEnabled(false);
    e->writer->setEnabled(false);
    connect(e->reader, &QSocketNotifier::activated, this, [this, s] { OnReadable(s); });
    connect(e->writer, &QSocketNotifier::activated, this, [this, s] { OnWritable(s); });
    Entry& ref = *e;
    m_entries.emplace(s, std::move(e));
    return ref;
}

CSocketEvents::Entry* CSocketEvents::Find(SocketId s) const {
    auto it = m_entries.find(s);
    return it == m_entries.end() ? nullptr : it->second.get();
}

void CSocketEvents::Forget(SocketId s) {
    auto it = m_entries.find(s);
    if (it == m_entries.end())
        return;
    Entry& e = *it->second;
    // The notifiers may be the very ones whose signal is running now.
    e.reader->setEnabled(false);
    e.writer->setEnabled(false);
    e.reader->deleteLater();
    e.writer->deleteLater();
    if (e.closeWatch) {
        e.closeWatch->stop();
        e.closeWatch->deleteLater();
    }
    m_entries.erase(it);
}

int CSocketEvents::Message(SocketId s) const {
    Entry* e = Find(s);
    return e ? e->message : 0;
}

std::uint32_t CSocketEvents::Interest(SocketId s) const {
    Entry* e = Find(s);
    return e ? e->interest : 0;
}

std::size_t CSocketEvents::PendingSend(SocketId s) const {
    Entry* e = Find(s);
    return e ? e->out.size() : 0;
}

void CSocketEvents::Select(SocketId s, int message, std::uint32_t interest) {
    // A handler may register the socket it was called for after its step closed the session.
    if (s == kNoSocket || ::fcntl(s, F_GETFD) == -1)
        return;
    Entry& e = EntryFor(s);
    e.message = message;
    e.interest = interest;
    e.readArmed = e.writeArmed = e.acceptArmed = e.closeArmed = true;
    e.readerParked = false;
    if (interest & SocketEvent::Accept)
        e.listening = IsListening(s);
    Update(s, e);
}

void CSocketEvents::Update(SocketId s, Entry& e) {
    if (e.handshaking) {
        e.reader->setEnabled(e.tlsWantsRead);
        e.writer->setEnabled(e.tlsWantsWrite);
        return;
    }
    bool wantRead = false;
    if (!e.connecting && !e.readerParked && !e.connectFailed) {
        if (e.listening)
            wantRead = (e.interest & SocketEvent::Accept) && e.acceptArmed;
        else
            wantRead = ((e.interest & SocketEvent::Read) && e.readArmed) ||
                       ((e.interest & SocketEvent::Close) && e.closeArmed);
    }
    bool wantWrite =
        e.connecting ||
        (!e.connectFailed && (!e.out.empty() || ((e.interest & SocketEvent::Write) && e.writeArmed)));
    wantRead = wantRead || e.tlsWantsRead;
    wantWrite = wantWrite || e.tlsWantsWrite;
    e.reader->setEnabled(wantRead);
    e.writer->setEnabled(wantWrite);
    // Plain text that OpenSSL holds already, or the end it has seen, never makes the socket readable.
    if (wantRead && e.tls && !e.tlsRecheckQueued && (e.tls->HasPending() || e.tls->Ended()))
        QueueTlsRecheck(s, e);

    bool watchClose = e.readerParked && (e.interest & SocketEvent::Close) && e.closeArmed;
    if (watchClose && !e.closeWatch) {
        e.closeWatch = new QTimer(this);
        e.closeWatch->setInterval(kCloseWatchMs);
        connect(e.closeWatch, &QTimer::timeout, this, [this, s] { OnCloseWatch(s); });
    }
    if (e.closeWatch) {
        if (watchClose && !e.closeWatch->isActive())
            e.closeWatch->start();
        else if (!watchClose)
            e.closeWatch->stop();
    }
}

void CSocketEvents::Deliver(SocketId s, std::uint32_t kind, int error) {
    Entry* e = Find(s);
    if (!e)
        return;
    emit Event(e->message, static_cast<qintptr>(s), MakeEventWord(kind, error));
}

void CSocketEvents::OnReadable(SocketId s) {
    Entry* e = Find(s);
    if (!e)
        return;
    if (e->listening) {
        if ((e->interest & SocketEvent::Accept) && e->acceptArmed) {
            e->acceptArmed = false;
            Update(s, *e);
            Deliver(s, SocketEvent::Accept, 0);
        }
        return;
    }
    if (e->handshaking) {
        StepHandshake(s, *e);
        return;
    }
    if (e->tlsWantsRead) {
        e->tlsWantsRead = false;
        OnWritable(s);
        if (!(e = Find(s)))
            return;
    }
    ssize_t n;
    int error = 0;
    if (e->tls) {
        switch (e->tls->Peek()) {
        case TlsStep::Ok:
            n = 1;
            break;
        case TlsStep::WantRead:
            // Only part of a record, or a record without text (a session ticket), came.
            return;
        case TlsStep::WantWrite:
            e->tlsWantsWrite = true;
            Update(s, *e);
            return;
        case TlsStep::Closed:
            n = 0;
            break;
        default:
            n = -1;
            error = e->tls->Error();
            break;
        }
    } else {
        char probe;
        n = ::recv(s, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (n < 0)
            error = MapSocketError(errno);
    }
    if (n > 0) {
        if ((e->interest & SocketEvent::Read) && e->readArmed) {
            e->readArmed = false;
            Update(s, *e);
            Deliver(s, SocketEvent::Read, 0);
        } else {
            e->readerParked = true;
            Update(s, *e);
        }
        return;
    }
    if ((e->interest & SocketEvent::Close) && e->closeArmed) {
        e->closeArmed = false;
        Update(s, *e);
        Deliver(s, SocketEvent::Close, error);
    } else {
        e->readerParked = true;
        Update(s, *e);
    }
}

void CSocketEvents::OnCloseWatch(SocketId s) {
    Entry* e = Find(s);
    if (!e)
        return;
    pollfd p{};
    p.fd = s;
#ifdef POLLRDHUP
    p.events = POLLRDHUP;
#endif
    if (::poll(&p, 1, 0) <= 0 || !(p.revents & (POLLHUP | POLLERR
#ifdef POLLRDHUP
                                                | POLLRDHUP
#endif
                                                )))
        return;
    int error = 0;
    if (p.revents & POLLERR) {
        socklen_t len = sizeof error;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &len);
        error = MapSocketError(error);
    }
    e->closeArmed = false;
    Update(s, *e);
    Deliver(s, SocketEvent::Close, error);
}

void CSocketEvents::OnWritable(SocketId s) {
    Entry* e = Find(s);
    if (!e)
        return;
    if (e->connecting) {
        int error = 0;
        socklen_t len = sizeof error;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &len);
        e->connecting = false;
        e->connectFailed = error != 0;
        Update(s, *e);
        if (e->interest & SocketEvent::Connect)
            Deliver(s, SocketEvent::Connect, MapSocketError(error));
        return;
    }
    if (e->handshaking) {
        StepHandshake(s, *e);
        return;
    }
    if (e->tlsWantsWrite) {
        e->tlsWantsWrite = false;
        OnReadable(s);
        if (!(e = Find(s)))
            return;
    }
    if (!e->out.empty()) {
        const long n = SendSome(*e, s, e->out.data(), e->out.size());
        if (n > 0)
            e->out.erase(0, static_cast<std::size_t>(n));
        else if (n < 0)
            e->out.clear();
        Update(s, *e);
        if (!e->out.empty())
            return;
    }
    if ((e->interest & SocketEvent::Write) && e->writeArmed) {
        e->writeArmed = false;
        Update(s, *e);
        Deliver(s, SocketEvent::Write, 0);
    } else {
        Update(s, *e);
    }
}

void CSocketEvents::Connect(SocketId s, std::uint32_t addressNetOrder, std::uint16_t port) {
    Connect(s, NetAddress::FromV4(addressNetOrder), port);
}

void CSocketEvents::Connect(SocketId s, const NetAddress& address, std::uint16_t port) {
    if (s == kNoSocket)
        return;
    Entry& e = EntryFor(s);
    sockaddr_storage sa{};
    const socklen_t len = ToSockaddr(address, port, sa);
    int r = ::connect(s, reinterpret_cast<sockaddr*>(&sa), len);
    e.connectFailed = false;
    if (r == 0 || errno == EINPROGRESS || errno == EINTR) {
        e.connecting = true;
        Update(s, e);
        return;
    }
    // Failed at once: still reported as a connect event, after the caller has returned.
    int error = MapSocketError(errno);
    e.connectFailed = true;
    Update(s, e);
    std::uint64_t serial = e.serial;
    QMetaObject::invokeMethod(
        this,
        [this, s, serial, error] {
            Entry* now = Find(s);
            if (now && now->serial == serial && (now->interest & SocketEvent::Connect))
                Deliver(s, SocketEvent::Connect, error);
        },
        Qt::QueuedConnection);
}

long CSocketEvents::Receive(SocketId s, char* buffer, std::size_t len) {
    Entry* e = Find(s);
    ssize_t n;
    if (e && e->tls) {
        std::size_t got = 0;
        const TlsStep step = e->tls->Read(buffer, len, got);
        n = step == TlsStep::Ok ? static_cast<ssize_t>(got) : step == TlsStep::Closed ? 0 : -1;
        if (step == TlsStep::WantWrite)
            e->tlsWantsWrite = true;
    } else {
        n = ::recv(s, buffer, len, MSG_DONTWAIT);
    }
    if (e) {
        e->readArmed = true;
        e->readerParked = false;
        Update(s, *e);
    }
    if (n > 0)
        return static_cast<long>(n);
    return n == 0 ? 0 : -1;
}

bool CSocketEvents::Send(SocketId s, std::string_view bytes) {
    if (s == kNoSocket)
        return false;
    Entry& e = EntryFor(s);
    if (e.out.empty() && !e.connecting && !e.handshaking) {
        const long n = SendSome(e, s, bytes.data(), bytes.size());
        if (n < 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (!bytes.empty()) {
        e.out.append(bytes);
        e.writeArmed = true;
    }
    Update(s, e);
    return true;
}

Socket CSocketEvents::Accept(SocketId listening, std::uint32_t* peerAddressNetOrder,
                             std::uint16_t* peerPort) {
    NetAddress peer;
    Socket s = Accept(listening, &peer, peerPort);
    if (s.valid() && peerAddressNetOrder)
        *peerAddressNetOrder = peer.v4NetOrder();
    return s;
}

Socket CSocketEvents::Accept(SocketId listening, NetAddress* peerAddress, std::uint16_t* peerPort) {
    Socket s = AcceptTcp(listening, peerAddress, peerPort);
    if (Entry* e = Find(listening)) {
        e->acceptArmed = true;
        Update(listening, *e);
    }
    return s;
}

long CSocketEvents::SendSome(Entry& e, SocketId s, const char* data, std::size_t len) {
    if (len == 0)
        return 0;
    if (!e.tls) {
        const ssize_t n = ::send(s, data, len, kSendFlags);
        if (n >= 0)
            return static_cast<long>(n);
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    }
    // A write that waits is repeated from e.out, which starts with the same bytes and is no shorter.
    std::size_t put = 0;
    switch (e.tls->Write(data, len, put)) {
    case TlsStep::Ok:
        return static_cast<long>(put);
    case TlsStep::WantWrite:
        return 0;
    case TlsStep::WantRead:
        e.tlsWantsRead = true;
        return 0;
    default:
        return -1;
    }
}

bool CSocketEvents::StartTls(SocketId s, const TlsParams& params) {
    if (s == kNoSocket)
        return false;
    Entry& e = EntryFor(s);
    e.tls = CTlsStream::Create(s, params);
    if (!e.tls)
        return false;
    e.handshaking = true;
    // The ClientHello goes out on the first writability, after the caller has returned.
    e.tlsWantsRead = false;
    e.tlsWantsWrite = true;
    Update(s, e);
    return true;
}

void CSocketEvents::StepHandshake(SocketId s, Entry& e) {
    const TlsStep step = e.tls->Handshake();
    e.tlsWantsRead = step == TlsStep::WantRead;
    e.tlsWantsWrite = step == TlsStep::WantWrite;
    if (e.tlsWantsRead || e.tlsWantsWrite) {
        Update(s, e);
        return;
    }
    e.handshaking = false;
    e.connectFailed = step != TlsStep::Ok;
    Update(s, e);
    Deliver(s, SocketEvent::Tls, step == TlsStep::Ok ? 0 : e.tls->Error());
}

void CSocketEvents::QueueTlsRecheck(SocketId s, Entry& e) {
    e.tlsRecheckQueued = true;
    const std::uint64_t serial = e.serial;
    QMetaObject::invokeMethod(
        this,
        [this, s, serial] {
            Entry* now = Find(s);
            if (!now || now->serial != serial)
                return;
            now->tlsRecheckQueued = false;
            if (now->reader->isEnabled())
                OnReadable(s);
        },
        Qt::QueuedConnection);
}

const CTlsStream* CSocketEvents::Tls(SocketId s) const {
    Entry* e = Find(s);
    return e ? e->tls.get() : nullptr;
}

std::unique_ptr<CTlsStream> CSocketEvents::TakeTls(SocketId s) {
    for (CSocketEvents* events : Instances()) {
        Entry* e = events->Find(s);
        if (e && e->tls && e->tls->HandshakeDone()) {
            std::unique_ptr<CTlsStream> tls = std::move(e->tls);
            events->Forget(s);
            return tls;
        }
    }
    return nullptr;
}
