#pragma once

#include "platform/TlsPeerInfo.h"

#include <string>
#include <string_view>

// How a server's certificate stands, judged before anything of the login goes out.
enum class CertificateStanding {
    Trusted, // the system's trust store vouches for it and for the host name
    Pinned,  // the user accepted exactly this certificate for the host before
    Unknown, // neither: the user decides
    Changed, // the user accepted another certificate for this host before: perhaps an attack
};

// The user's answer to an Unknown or Changed certificate.
enum class CertificateAnswer { Refuse = 0, AcceptOnce = 1, AcceptAlways = 2 };

// `pinnedSha256` is the host's accepted fingerprint (64 hex digits), empty when none.
CertificateStanding JudgeCertificate(const TlsPeerInfo& peer, std::string_view pinnedSha256);

// Why the certificate could not be verified, in the user's words; OpenSSL's own text for rare cases.
std::string CertificateProblemText(const TlsPeerInfo& peer);

// "AB:CD:..." for 64 hex digits.
std::string FormatFingerprint(std::string_view hex);
// A fingerprint as a user may type or paste it (any case, with colons or spaces): 64 upper-case hex
// digits, or empty when it is not a SHA-256 fingerprint.
std::string NormaliseFingerprint(std::string_view typed);
