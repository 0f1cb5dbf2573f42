#include "engine/CertificateCheck.h"

#include "platform/HexDigits.h"

#include <cctype>

namespace {
// OpenSSL's X509_V_ERR_* numbers that users meet; the header is not needed for these few.
constexpr long kNotYetValid = 9;
constexpr long kExpired = 10;
constexpr long kSelfSigned = 18;
constexpr long kSelfSignedInChain = 19;
constexpr long kNoLocalIssuer = 20;
constexpr long kUnverifiableLeaf = 21;
constexpr long kHostMismatch = 62;
constexpr long kAddressMismatch = 64;
} // namespace

CertificateStanding JudgeCertificate(const TlsPeerInfo& peer, std::string_view pinnedSha256) {
    if (peer.Verified())
        return CertificateStanding::Trusted;
    const std::string pin = NormaliseFingerprint(pinnedSha256);
    if (pin.empty())
        return CertificateStanding::Unknown;
    return !peer.sha256Hex.empty() && pin == peer.sha256Hex ? CertificateStanding::Pinned
                                                            : CertificateStanding::Changed;
}

std::string CertificateProblemText(const TlsPeerInfo& peer) {
    switch (peer.verifyCode) {
    case 0:
        return peer.sha256Hex.empty() ? "サーバーが証明書を示しませんでした。" : "";
    case kNotYetValid:
        return "証明書はまだ有効になっていません。";
    case kExpired:
        return "証明書の有効期限が切れています。";
    case kSelfSigned:
        return "自己署名の証明書で、信頼できる発行者が保証していません。";
    case kSelfSignedInChain:
    case kNoLocalIssuer:
    case kUnverifiableLeaf:
        return "証明書の発行者が、このコンピューターの信頼する発行者の中に見つかりません。";
    case kHostMismatch:
        return "証明書のホスト名が接続先と一致しません。";
    case kAddressMismatch:
        return "証明書の IP アドレスが接続先と一致しません。";
    default:
        return "証明書を検証できませんでした (" + peer.verifyText + ")。";
    }
}

std::string FormatFingerprint(std::string_view hex) {
    std::string out;
    for (std::size_t i = 0; i < hex.size(); ++i) {
        if (i > 0 && i % 2 == 0)
            out += ':';
        out += hex[i];
    }
    return out;
}

std::string NormaliseFingerprint(std::string_view typed) {
    std::string digits;
    for (char c : typed) {
        if (c == ':' || c == ' ')
            continue;
        if (HexDigitValue(c) < 0)
            return {};
        digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return digits.size() == 64 ? digits : std::string();
}
