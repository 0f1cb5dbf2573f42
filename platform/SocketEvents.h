#pragma once

#include "platform/Socket.h"
#include "platform/TlsStream.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>

// Event kinds, as bits of an interest set and in the low half of an event word.
namespace SocketEvent {
inline constexpr std::uint32_t Read = 1;
inline constexpr std::uint32_t Write = 2;
inline constexpr std::uint32_t Accept = 8;
inline constexpr std::uint32_t Connect = 16;
inline constexpr std::uint32_t Close = 32;
// The TLS handshake that StartTls began has ended (error 0) or failed; delivered whatever the interest.
inline constexpr std::uint32_t Tls = 64;
} // namespace SocketEvent

// An event word carries the kind in its low 16 bits and the error number in its high 16 bits.
inline std::uint32_t MakeEventWord(std::uint32_t kind, int error) {
    return (static_cast<std::uint32_t>(error) << 16) | (kind & 0xFFFFu);
}
inline std::uint32_t EventKind(std::uint32_t word) {
    return word & 0xFFFFu;
}
inline int EventError(std::uint32_t word) {
    return static_cast<int>(word >> 16);
}

// Readiness notification for non-blocking sockets on the thread that owns this object.
//
// Each socket has one registration at a time: a message number and an interest set. Registering
// replaces the previous registration; an empty set cancels notification. Each ready event of the
// set is delivered once through Event(); a delivered kind is reported again only after the call
// that consumes it (Receive for read, Send that could not finish for write, Accept for accept) or
// after the next registration:
//  - write interest on a connected socket with room to send is reported at once;
//  - read interest is reported while data waits, again after each Receive that leaves data;
//  - a finished connect is reported once as a connect event carrying its error (0 = success);
//  - a pending incoming connection on a listening socket is reported as an accept event;
//  - the peer's orderly close (error 0) or a reset (its error) is reported as a close event.
// Errors are Windows Sockets numbers (platform/SocketError.h).
//
// A socket may carry TLS (StartTls): read, write and close then speak of the plain text, close
// telling close_notify (error 0) from a stream cut short (SocketError::TlsTruncated).
class CSocketEvents : public QObject {
    Q_OBJECT
public:
    explicit CSocketEvents(QObject* parent = nullptr);
    ~CSocketEvents() override;

    void Select(SocketId s, int message, std::uint32_t interest);
    int Message(SocketId s) const;
    std::uint32_t Interest(SocketId s) const;

    // Starts a non-blocking connect (the socket of the address's family); the outcome arrives as a
    // connect event when the socket is registered for it.
    void Connect(SocketId s, const NetAddress& address, std::uint16_t port);
    // The same to an IPv4 address in network order.
    void Connect(SocketId s, std::uint32_t addressNetOrder, std::uint16_t port);

    // Receives up to len bytes: the count, 0 when the peer has closed, -1 when nothing waits or
    // on an error.
    long Receive(SocketId s, char* buffer, std::size_t len);

    // Hands the whole text to the socket: what the system does not take at once is kept and sent
    // as room appears, before any later write event is reported, so a line never goes out by
    // halves. False when the socket has failed.
    bool Send(SocketId s, std::string_view bytes);
    std::size_t PendingSend(SocketId s) const;

    // Accepts one pending connection as a non-blocking socket; empty when none waits.
    Socket Accept(SocketId listening, NetAddress* peerAddress, std::uint16_t* peerPort = nullptr);
    Socket Accept(SocketId listening, std::uint32_t* peerAddressNetOrder = nullptr,
                  std::uint16_t* peerPort = nullptr);

    // Called when a socket number is about to be closed: every instance forgets it.
    static void SocketClosing(SocketId s);

    // Starts the client side of a TLS handshake on a connected socket. Until its Tls event the
    // registration's other events wait; false when TLS cannot be set up at all.
    bool StartTls(SocketId s, const TlsParams& params);
    // The socket's TLS connection (peer certificate, failure text), or null.
    const CTlsStream* Tls(SocketId s) const;
    // Takes a socket's finished TLS connection for its orderly close, forgetting the socket.
    static std::unique_ptr<CTlsStream> TakeTls(SocketId s);

signals:
    void Event(int message, qintptr socket, quint32 word);

private:
    struct Entry;
    Entry& EntryFor(SocketId s);
    Entry* Find(SocketId s) const;
    void Forget(SocketId s);
    void Update(SocketId s, Entry& e);
    void OnReadable(SocketId s);
    void OnWritable(SocketId s);
    void OnCloseWatch(SocketId s);
    void Deliver(SocketId s, std::uint32_t kind, int error);
    // Sends what the socket takes now: the count, 0 when it would block, -1 when it has failed.
    long SendSome(Entry& e, SocketId s, const char* data, std::size_t len);
    void StepHandshake(SocketId s, Entry& e);
    void QueueTlsRecheck(SocketId s, Entry& e);

    std::unordered_map<SocketId, std::unique_ptr<Entry>> m_entries;
    std::uint64_t m_serial = 0;
};
