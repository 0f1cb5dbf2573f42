#pragma once

#include <cstdint>
#include <string>

// What the user is shown about a server's certificate, and what decides whether it is trusted.
struct TlsPeerInfo {
    // SHA-256 over the certificate's DER, 64 upper-case hex digits; empty without a certificate.
    std::string sha256Hex;
    std::string subject;
    std::string issuer;
    // Validity, in seconds since 1970 (UTC).
    std::int64_t notBefore = 0;
    std::int64_t notAfter = 0;
    // OpenSSL's verification result for the chain and the host name: 0 when both hold.
    long verifyCode = -1;
    std::string verifyText;
    std::string protocol;
    std::string cipher;
    bool resumed = false;

    bool Verified() const { return verifyCode == 0 && !sha256Hex.empty(); }
};
