#include "platform/NetAddress.h"

#include <arpa/inet.h>
#include <cstring>
#include <net/if.h>

NetAddress NetAddress::FromV4(std::uint32_t addressNetOrder) {
    NetAddress a;
    a.family = Family::V4;
    std::memcpy(a.bytes.data(), &addressNetOrder, 4);
    return a;
}

std::optional<NetAddress> NetAddress::Parse(std::string_view text) {
    if (text.size() > 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    std::string literal(text);
    std::string scope;
    if (const auto percent = literal.find('%'); percent != std::string::npos) {
        scope = literal.substr(percent + 1);
        literal.resize(percent);
    }
    NetAddress a;
    if (scope.empty() && ::inet_pton(AF_INET, literal.c_str(), a.bytes.data()) == 1) {
        a.family = Family::V4;
        return a;
    }
    if (::inet_pton(AF_INET6, literal.c_str(), a.bytes.data()) != 1)
        return std::nullopt;
    a.family = Family::V6;
    if (!scope.empty()) {
        a.scopeId = ::if_nametoindex(scope.c_str());
        if (a.scopeId == 0 && scope.size() <= 9 && scope.find_first_not_of("0123456789") == std::string::npos)
            a.scopeId = static_cast<std::uint32_t>(std::stoul(scope));
        if (a.scopeId == 0)
            return std::nullopt;
    }
    return a;
}

std::uint32_t NetAddress::v4NetOrder() const {
    std::uint32_t v = 0;
    if (family == Family::V4)
        std::memcpy(&v, bytes.data(), 4);
    return v;
}

std::string NetAddress::text() const {
    char buf[INET6_ADDRSTRLEN] = {};
    if (family == Family::V4)
        ::inet_ntop(AF_INET, bytes.data(), buf, sizeof buf);
    else if (family == Family::V6)
        ::inet_ntop(AF_INET6, bytes.data(), buf, sizeof buf);
    return buf;
}
