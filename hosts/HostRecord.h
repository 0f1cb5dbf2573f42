#pragma once

#include <string>
#include <vector>

// One registered host. Field names are the names of the stored values; texts are kept as bytes.
struct HostRecord {
    std::string Name;
    std::string Adr;
    int Port = 21;
    int Hide = 0;
    std::string User;
    std::string Pass;
    int anonymous = 0;
    int Firewall = 0;
    int Pasv = 0;
    std::string UpPath;
    // The remote folder a session opens after the login (text as typed); empty for the login folder.
    std::string RemotePath;
    std::string DownPath;
    std::string Indexhtml = "index.html";
    int icon = 0;
    // The character set of the server's names (RemoteCharset; 0 is 自動).
    int charset = 0;
    // How the session is protected (HostSecurity); stores from before TLS read as none.
    int Security = 0;
    // The SHA-256 of the certificate the user accepted for this host (64 hex digits), empty for none.
    std::string TlsPin;
    // How many sessions transfer a run of many files (TransferSessionsFor): 1 to 10, or 0 for the
    // options' count; stores from before the value read 0.
    int Sessions = 0;
    // The time zone of the server's LIST dates (ServerZone.h): "" for this computer's.
    std::string ServerZone;
    // The names a mirror pair of this host leaves alone until the pair gets a list of its own: one
    // glob per line (MirrorExclusions::Parse reads them); stores from before the list read none.
    std::string MirrorExcludes;

    bool operator==(const HostRecord&) const = default;
};

// The values of a host's Security.
namespace HostSecurity {
inline constexpr int None = 0;
// AUTH TLS, and the session ends when the server does not take it.
inline constexpr int Explicit = 1;
// AUTH TLS when the server takes it, plain text (said in the log) when it does not.
inline constexpr int ExplicitIfOffered = 2;
// TLS from the first byte, on its own port (990).
inline constexpr int Implicit = 3;
inline constexpr int ImplicitPort = 990;
} // namespace HostSecurity

using HostList = std::vector<HostRecord>;

// "Host%d": the key name of host number n.
std::string HostKeyName(int number);
