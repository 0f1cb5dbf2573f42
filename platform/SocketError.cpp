#include "platform/SocketError.h"

#include <cerrno>

int MapSocketError(int e) {
    switch (e) {
    case 0:
        return SocketError::None;
    case EACCES:
    case EPERM:
        return SocketError::AccessDenied;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        return SocketError::WouldBlock;
    case EINPROGRESS:
    case EALREADY:
        return SocketError::InProgress;
    case EINVAL:
        return SocketError::InvalidArgument;
    case EBADF:
    case ENOTSOCK:
        return SocketError::NotSocket;
    case EADDRINUSE:
        return SocketError::AddressInUse;
    case EADDRNOTAVAIL:
        return SocketError::AddressNotAvailable;
    case ENETDOWN:
        return SocketError::NetworkDown;
    case ENETUNREACH:
        return SocketError::NetworkUnreachable;
    case ECONNABORTED:
        return SocketError::ConnectionAborted;
    case ECONNRESET:
    case EPIPE:
        return SocketError::ConnectionReset;
    case ENOBUFS:
    case ENOMEM:
        return SocketError::NoBuffers;
    case ENOTCONN:
        return SocketError::NotConnected;
    case ESHUTDOWN:
        return SocketError::Shutdown;
    case ETIMEDOUT:
        return SocketError::TimedOut;
    case ECONNREFUSED:
        return SocketError::ConnectionRefused;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return SocketError::HostUnreachable;
    default:
        return SocketError::NetworkDown;
    }
}
