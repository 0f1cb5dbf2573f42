#pragma once

#include "platform/NetAddress.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a server says it can do in its FEAT reply: one entry per feature line, its first word in
// capitals ("AUTH TLS", "EPSV", "MLST type*;size*;").
class FtpFeatures {
public:
    FtpFeatures() = default;
    // The whole reply; a refusal (500, 502) or anything but a 211 gives no features.
    static FtpFeatures Parse(std::string_view reply);

    // The feature `name` is listed (its first word, in any case).
    bool Has(std::string_view name) const;
    // The feature `name` is listed with `argument` among its words ("AUTH", "TLS").
    bool HasArgument(std::string_view name, std::string_view argument) const;
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};

// The port of a 229 reply, "229 Entering Extended Passive Mode (|||6446|)": the character after
// '(' is the delimiter, three of them come before the port and one after it. Nothing else of the
// reply is used: the data connection goes to the control connection's peer.
bool ParseEpsvReply(const std::string& line, int& port);

// "EPRT |1|132.235.1.2|6275|" or "EPRT |2|::1|58717|" for a listening address and port.
std::string MakeEprtCommand(const NetAddress& address, std::uint16_t port);
