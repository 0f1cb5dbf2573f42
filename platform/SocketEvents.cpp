#include "platform/SocketEvents.h"

#include "platform/SocketError.h"

#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
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
    // A socket whose connect failed has nothing more to report.
    bool connectFailed = false;
    std::string out;
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
    if (s == kNoSocket)
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
    e.reader->setEnabled(wantRead);
    e.writer->setEnabled(wantWrite);

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
    char probe;
    ssize_t n = ::recv(s, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
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
    int error = n == 0 ? 0 : MapSocketError(errno);
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
    if (!e->out.empty()) {
        ssize_t n = ::send(s, e->out.data(), e->out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            e->out.erase(0, static_cast<std::size_t>(n));
        else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
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
    if (s == kNoSocket)
        return;
    Entry& e = EntryFor(s);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = addressNetOrder;
    sa.sin_port = htons(port);
    int r = ::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
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
    ssize_t n = ::recv(s, buffer, len, MSG_DONTWAIT);
    if (Entry* e = Find(s)) {
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
    if (e.out.empty() && !e.connecting) {
        ssize_t n = ::send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return false;
            n = 0;
        }
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
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    int fd = ::accept4(listening, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (Entry* e = Find(listening)) {
        e->acceptArmed = true;
        Update(listening, *e);
    }
    if (fd < 0)
        return Socket();
    if (peerAddressNetOrder)
        *peerAddressNetOrder = sa.sin_addr.s_addr;
    if (peerPort)
        *peerPort = ntohs(sa.sin_port);
    return Socket(fd);
}
