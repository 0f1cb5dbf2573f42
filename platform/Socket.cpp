#include "platform/Socket.h"

#include "platform/SocketEvents.h"
#include "platform/TlsLinger.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        m_id = other.release();
    }
    return *this;
}

namespace {
// Every socket of the program is non-blocking, closed on exec, and never raises SIGPIPE.
Socket Prepare(int fd) {
    if (fd < 0)
        return Socket();
#ifndef SOCK_NONBLOCK
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#endif
#ifdef SO_NOSIGPIPE
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    return Socket(fd);
}
} // namespace

Socket Socket::CreateTcp() {
#ifdef SOCK_NONBLOCK
    return Prepare(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
#else
    return Prepare(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
#endif
}

Socket AcceptTcp(SocketId listening, std::uint32_t* peerAddressNetOrder, std::uint16_t* peerPort) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
#ifdef SOCK_NONBLOCK
    Socket s =
        Prepare(::accept4(listening, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_NONBLOCK | SOCK_CLOEXEC));
#else
    Socket s = Prepare(::accept(listening, reinterpret_cast<sockaddr*>(&sa), &len));
#endif
    if (s.valid()) {
        if (peerAddressNetOrder)
            *peerAddressNetOrder = sa.sin_addr.s_addr;
        if (peerPort)
            *peerPort = ntohs(sa.sin_port);
    }
    return s;
}

SocketId Socket::release() {
    SocketId id = m_id;
    m_id = kNoSocket;
    return id;
}

void Socket::close() {
    if (m_id == kNoSocket)
        return;
    CSocketEvents::SocketClosing(m_id);
    ::close(m_id);
    m_id = kNoSocket;
}

void Socket::shutdownAndClose() {
    if (m_id == kNoSocket)
        return;
    // A TLS connection ends with close_notify and a lingering close of its own; close() alone
    // drops it without one, as a cancelled transfer must.
    if (std::unique_ptr<CTlsStream> tls = CSocketEvents::TakeTls(m_id)) {
        CTlsLinger::Close(release(), std::move(tls));
        return;
    }
    ::shutdown(m_id, SHUT_RDWR);
    close();
}

std::uint32_t InetAddr(const std::string& dotted) {
    return ::inet_addr(dotted.c_str());
}

std::string DottedAddress(std::uint32_t addressNetOrder) {
    in_addr a{};
    a.s_addr = addressNetOrder;
    char buf[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}

Socket ListenTcp(std::uint32_t addressNetOrder, std::uint16_t port, int backlog) {
    Socket s = Socket::CreateTcp();
    if (!s.valid())
        return s;
    int on = 1;
    ::setsockopt(s.id(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = addressNetOrder;
    sa.sin_port = htons(port);
    if (::bind(s.id(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(s.id(), backlog) != 0)
        s.close();
    return s;
}

bool LocalAddress(SocketId id, std::uint32_t& addressNetOrder, std::uint16_t& port) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(id, reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
        return false;
    addressNetOrder = sa.sin_addr.s_addr;
    port = ntohs(sa.sin_port);
    return true;
}

bool PeerAddress(SocketId id, std::uint32_t& addressNetOrder, std::uint16_t& port) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getpeername(id, reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
        return false;
    addressNetOrder = sa.sin_addr.s_addr;
    port = ntohs(sa.sin_port);
    return true;
}
