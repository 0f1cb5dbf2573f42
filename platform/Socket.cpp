#include "platform/Socket.h"

#include "platform/SocketEvents.h"
#include "platform/TlsLinger.h"

#include <arpa/inet.h>
#include <cstring>
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

Socket Socket::CreateTcp(NetAddress::Family family) {
    const int domain = family == NetAddress::Family::V6 ? AF_INET6 : AF_INET;
#ifdef SOCK_NONBLOCK
    return Prepare(::socket(domain, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
#else
    return Prepare(::socket(domain, SOCK_STREAM, IPPROTO_TCP));
#endif
}

unsigned ToSockaddr(const NetAddress& address, std::uint16_t port, sockaddr_storage& storage) {
    storage = {};
    if (address.isV6()) {
        auto& sa = reinterpret_cast<sockaddr_in6&>(storage);
        sa.sin6_family = AF_INET6;
        std::memcpy(&sa.sin6_addr, address.bytes.data(), 16);
        sa.sin6_scope_id = address.scopeId;
        sa.sin6_port = htons(port);
        return sizeof sa;
    }
    auto& sa = reinterpret_cast<sockaddr_in&>(storage);
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address.v4NetOrder();
    sa.sin_port = htons(port);
    return sizeof sa;
}

bool FromSockaddr(const sockaddr_storage& storage, NetAddress& address, std::uint16_t& port) {
    if (storage.ss_family == AF_INET6) {
        const auto& sa = reinterpret_cast<const sockaddr_in6&>(storage);
        address = {};
        address.family = NetAddress::Family::V6;
        std::memcpy(address.bytes.data(), &sa.sin6_addr, 16);
        address.scopeId = sa.sin6_scope_id;
        port = ntohs(sa.sin6_port);
        return true;
    }
    if (storage.ss_family == AF_INET) {
        const auto& sa = reinterpret_cast<const sockaddr_in&>(storage);
        address = NetAddress::FromV4(sa.sin_addr.s_addr);
        port = ntohs(sa.sin_port);
        return true;
    }
    return false;
}

Socket AcceptTcp(SocketId listening, std::uint32_t* peerAddressNetOrder, std::uint16_t* peerPort) {
    NetAddress peer;
    Socket s = AcceptTcp(listening, &peer, peerPort);
    if (s.valid() && peerAddressNetOrder)
        *peerAddressNetOrder = peer.v4NetOrder();
    return s;
}

Socket AcceptTcp(SocketId listening, NetAddress* peerAddress, std::uint16_t* peerPort) {
    sockaddr_storage sa{};
    socklen_t len = sizeof sa;
#ifdef SOCK_NONBLOCK
    Socket s =
        Prepare(::accept4(listening, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_NONBLOCK | SOCK_CLOEXEC));
#else
    Socket s = Prepare(::accept(listening, reinterpret_cast<sockaddr*>(&sa), &len));
#endif
    NetAddress peer;
    std::uint16_t port = 0;
    if (s.valid() && FromSockaddr(sa, peer, port)) {
        if (peerAddress)
            *peerAddress = peer;
        if (peerPort)
            *peerPort = port;
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

Socket ListenTcp(const NetAddress& address, std::uint16_t port, int backlog) {
    Socket s = Socket::CreateTcp(address.family);
    if (!s.valid())
        return s;
    int on = 1;
    ::setsockopt(s.id(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage sa{};
    const socklen_t len = ToSockaddr(address, port, sa);
    if (::bind(s.id(), reinterpret_cast<sockaddr*>(&sa), len) != 0 || ::listen(s.id(), backlog) != 0)
        s.close();
    return s;
}

Socket ListenTcp(std::uint32_t addressNetOrder, std::uint16_t port, int backlog) {
    return ListenTcp(NetAddress::FromV4(addressNetOrder), port, backlog);
}

bool LocalAddress(SocketId id, NetAddress& address, std::uint16_t& port) {
    sockaddr_storage sa{};
    socklen_t len = sizeof sa;
    return ::getsockname(id, reinterpret_cast<sockaddr*>(&sa), &len) == 0 && FromSockaddr(sa, address, port);
}

bool PeerAddress(SocketId id, NetAddress& address, std::uint16_t& port) {
    sockaddr_storage sa{};
    socklen_t len = sizeof sa;
    return ::getpeername(id, reinterpret_cast<sockaddr*>(&sa), &len) == 0 && FromSockaddr(sa, address, port);
}

bool LocalAddress(SocketId id, std::uint32_t& addressNetOrder, std::uint16_t& port) {
    NetAddress a;
    if (!LocalAddress(id, a, port) || a.isV6())
        return false;
    addressNetOrder = a.v4NetOrder();
    return true;
}

bool PeerAddress(SocketId id, std::uint32_t& addressNetOrder, std::uint16_t& port) {
    NetAddress a;
    if (!PeerAddress(id, a, port) || a.isV6())
        return false;
    addressNetOrder = a.v4NetOrder();
    return true;
}
