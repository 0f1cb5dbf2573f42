#pragma once

#include "platform/NetAddress.h"

#include <cstdint>
#include <string>
#include <string_view>

// A socket as the engine sees it: a number, -1 for none.
using SocketId = int;
inline constexpr SocketId kNoSocket = -1;

// Owns one non-blocking TCP socket and closes it when it goes. Closing also drops the
// socket's event registration, so a number the system hands out again never inherits old events.
class Socket {
public:
    Socket() = default;
    explicit Socket(SocketId id) : m_id(id) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : m_id(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // A new non-blocking stream socket of the family; empty when the system refuses one.
    static Socket CreateTcp(NetAddress::Family family = NetAddress::Family::V4);

    SocketId id() const { return m_id; }
    bool valid() const { return m_id != kNoSocket; }
    bool operator==(SocketId id) const { return m_id == id; }
    SocketId release();

    // Closes at once; harmless when there is no socket.
    void close();
    // Shuts both directions down, then closes; a TLS connection sends close_notify first.
    void shutdownAndClose();

private:
    SocketId m_id = kNoSocket;
};

// An IPv4 address in network byte order from a dotted text, by the classic inet_addr rule
// (a, a.b, a.b.c and a.b.c.d forms, octal and hex parts); INADDR_NONE when it does not convert.
std::uint32_t InetAddr(const std::string& dotted);
std::string DottedAddress(std::uint32_t addressNetOrder);

// A listening socket on the given address and port, 0 for any free port.
Socket ListenTcp(const NetAddress& address, std::uint16_t port, int backlog = 1);
// The same on an IPv4 address in network order.
Socket ListenTcp(std::uint32_t addressNetOrder, std::uint16_t port, int backlog = 1);
// Accepts one pending connection as a non-blocking socket; empty when none waits. Callers that
// watch the listening socket for events use CSocketEvents::Accept, which also re-arms it.
Socket AcceptTcp(SocketId listening, NetAddress* peerAddress, std::uint16_t* peerPort = nullptr);
Socket AcceptTcp(SocketId listening, std::uint32_t* peerAddressNetOrder = nullptr,
                 std::uint16_t* peerPort = nullptr);
// The local address and port of a bound socket; false when the system cannot tell.
bool LocalAddress(SocketId id, NetAddress& address, std::uint16_t& port);
// The address and port of a connected socket's peer; false when the system cannot tell.
bool PeerAddress(SocketId id, NetAddress& address, std::uint16_t& port);
// The same for IPv4 sockets alone (false for IPv6), the address in network order.
bool LocalAddress(SocketId id, std::uint32_t& addressNetOrder, std::uint16_t& port);
bool PeerAddress(SocketId id, std::uint32_t& addressNetOrder, std::uint16_t& port);

// The system's form of an address and port, and back.
struct sockaddr_storage;
unsigned ToSockaddr(const NetAddress& address, std::uint16_t port, sockaddr_storage& sa);
bool FromSockaddr(const sockaddr_storage& sa, NetAddress& address, std::uint16_t& port);
