#pragma once

// Socket errors are reported to the engine by their Windows Sockets numbers, because the engine's
// texts and checks are written against those (10013 is "permission denied"). Every translation from
// the host system's error codes happens here.
namespace SocketError {
inline constexpr int None = 0;
inline constexpr int WouldBlock = 10035;
inline constexpr int InProgress = 10036;
inline constexpr int AccessDenied = 10013;
inline constexpr int InvalidArgument = 10022;
inline constexpr int NotSocket = 10038;
inline constexpr int AddressInUse = 10048;
inline constexpr int AddressNotAvailable = 10049;
inline constexpr int NetworkDown = 10050;
inline constexpr int NetworkUnreachable = 10051;
inline constexpr int ConnectionAborted = 10053;
inline constexpr int ConnectionReset = 10054;
inline constexpr int NoBuffers = 10055;
inline constexpr int NotConnected = 10057;
inline constexpr int Shutdown = 10058;
inline constexpr int TimedOut = 10060;
inline constexpr int ConnectionRefused = 10061;
inline constexpr int HostUnreachable = 10065;
inline constexpr int HostNotFound = 11001;
inline constexpr int TryAgain = 11002;
inline constexpr int NoRecovery = 11003;
// TLS has no Windows Sockets numbers; these are lumo's own, above theirs.
inline constexpr int TlsFailed = 12001;    // the handshake or the protocol failed
inline constexpr int TlsTruncated = 12002; // the stream ended without close_notify
} // namespace SocketError

// The Windows Sockets number for an errno value; unknown values map to a generic failure that is
// never 0, so that an error stays an error.
int MapSocketError(int posixError);
