#include "engine/FtpAddress.h"

#include "hosts/HostRecord.h"

#include "platform/HexDigits.h"

#include <cctype>

// A whole number of decimal digits only, from `low` to `high`.
std::optional<int> ParseNumberIn(const std::string& s, int low, int high) {
    if (s.empty() || s.size() > 6)
        return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high)
        return std::nullopt;
    return v;
}

bool IsDottedIpv4(const std::string& text) {
    int parts = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        const std::string part =
            text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.size() > 3 || !ParseNumberIn(part, 0, 255))
            return false;
        ++parts;
        if (dot == std::string::npos)
            return parts == 4;
        start = dot + 1;
    }
}

std::optional<std::string> PercentDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size() || HexDigitValue(s[i + 1]) < 0 || HexDigitValue(s[i + 2]) < 0)
            return std::nullopt;
        out += static_cast<char>(HexDigitValue(s[i + 1]) * 16 + HexDigitValue(s[i + 2]));
        i += 2;
    }
    // A NUL or a line break would end or split the FTP command it goes into.
    if (out.find_first_of(std::string("\0\r\n", 3)) != std::string::npos)
        return std::nullopt;
    return out;
}

bool LooksLikeUrl(const std::string& target) {
    return target.find("://") != std::string::npos;
}

std::string AddressWithoutPassword(const std::string& text) {
    const std::size_t scheme = text.find("://");
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const std::size_t colon = text.find(':', start);
    const std::size_t at = text.rfind('@');
    if (colon == std::string::npos || at == std::string::npos || at < colon)
        return text;
    return text.substr(0, colon + 1) + "***" + text.substr(at);
}

std::optional<FtpUrl> ParseFtpUrl(const std::string& target) {
    static const struct {
        const char* scheme;
        int security;
        int port;
    } kSchemes[] = {
        {"ftp://", HostSecurity::None, 21},
        {"ftpes://", HostSecurity::Explicit, 21},
        {"ftps://", HostSecurity::Implicit, HostSecurity::ImplicitPort},
    };
    FtpUrl url;
    std::string rest;
    for (const auto& k : kSchemes) {
        const std::string scheme = k.scheme;
        if (target.size() <= scheme.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < scheme.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(target[i])) == scheme[i];
        if (same) {
            rest = target.substr(scheme.size());
            url.security = k.security;
            url.port = k.port;
            break;
        }
    }
    if (rest.empty())
        return std::nullopt;
    const size_t slash = rest.find('/');
    if (slash != std::string::npos) {
        std::optional<std::string> path = PercentDecode(rest.substr(slash));
        if (!path)
            return std::nullopt;
        // The path names a folder from the server's root; "/" alone is the login folder.
        while (path->size() > 1 && path->back() == '/')
            path->pop_back();
        if (*path != "/")
            url.path = *path;
        rest.resize(slash);
    }
    size_t at = rest.rfind('@');
    if (at != std::string::npos) {
        std::string userinfo = rest.substr(0, at);
        rest = rest.substr(at + 1);
        size_t colon = userinfo.find(':');
        auto user = PercentDecode(userinfo.substr(0, colon));
        if (!user || user->empty())
            return std::nullopt;
        url.user = *user;
        url.hasUser = true;
        if (colon != std::string::npos) {
            auto pass = PercentDecode(userinfo.substr(colon + 1));
            if (!pass)
                return std::nullopt;
            url.password = *pass;
        }
    }
    std::string host;
    size_t colon = std::string::npos;
    if (!rest.empty() && rest.front() == '[') {
        // An IPv6 address: hex digits and colons (and dots of an embedded IPv4 address) in brackets.
        const size_t close = rest.find(']');
        if (close == std::string::npos || close < 3)
            return std::nullopt;
        host = rest.substr(1, close - 1);
        for (char c : host) {
            if (!(std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'))
                return std::nullopt;
        }
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != ':')
                return std::nullopt;
            colon = close + 1;
        }
    } else {
        colon = rest.rfind(':');
        host = rest.substr(0, colon);
        for (char c : host) {
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_'))
                return std::nullopt;
        }
    }
    if (colon != std::string::npos) {
        const std::optional<int> port = ParseNumberIn(rest.substr(colon + 1), 1, 65535);
        if (!port)
            return std::nullopt;
        url.port = *port;
    }
    if (host.empty())
        return std::nullopt;
    url.host = host;
    if (!url.hasUser) {
        url.user = "anonymous";
        url.password = "lumo@";
    }
    return url;
}
