#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An IPv4 or IPv6 address, as name lookups give them and sockets take them.
struct NetAddress {
    enum class Family { None, V4, V6 };

    Family family = Family::None;
    // Network byte order; an IPv4 address uses the first four.
    std::array<std::uint8_t, 16> bytes{};
    // The interface of a link-local IPv6 address ("fe80::1%eth0"), 0 for none.
    std::uint32_t scopeId = 0;

    static NetAddress FromV4(std::uint32_t addressNetOrder);
    // A literal of either family; brackets around an IPv6 one and a "%interface" are allowed.
    static std::optional<NetAddress> Parse(std::string_view text);

    bool valid() const { return family != Family::None; }
    bool isV6() const { return family == Family::V6; }
    std::uint32_t v4NetOrder() const;
    // The usual text form, without the interface.
    std::string text() const;
    bool operator==(const NetAddress&) const = default;
};
