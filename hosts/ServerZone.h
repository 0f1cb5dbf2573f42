#pragma once

#include "hosts/HostRecord.h"

#include <optional>
#include <string>
#include <string_view>

// The time zone a server's LIST dates are in, as a host keeps it: "" for this computer's zone (the
// default: most servers a user reaches are near), else "+09:00" or "-05:30".
std::optional<int> ParseServerZone(std::string_view text);
std::string ServerZoneText(int offsetMinutes);
// Minutes east of UTC for the host's dates now.
int ServerZoneMinutes(const HostRecord& host);
