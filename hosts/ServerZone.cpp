#include "hosts/ServerZone.h"

#include <QDateTime>

#include <cstdio>
#include <cstdlib>

std::optional<int> ParseServerZone(std::string_view text) {
    // "+HH:MM" or "-HH:MM", from UTC-12:00 to UTC+14:00.
    if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':')
        return std::nullopt;
    const auto digits = [&](std::size_t at) -> int {
        const char a = text[at], b = text[at + 1];
        return a >= '0' && a <= '9' && b >= '0' && b <= '9' ? (a - '0') * 10 + (b - '0') : -1;
    };
    const int hours = digits(1), minutes = digits(4);
    if (hours < 0 || minutes < 0 || minutes >= 60)
        return std::nullopt;
    const int offset = (text[0] == '-' ? -1 : 1) * (hours * 60 + minutes);
    if (offset < -12 * 60 || offset > 14 * 60)
        return std::nullopt;
    return offset;
}

std::string ServerZoneText(int offsetMinutes) {
    char text[16];
    const int whole = std::abs(offsetMinutes);
    std::snprintf(text, sizeof text, "%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', whole / 60, whole % 60);
    return text;
}

int ServerZoneMinutes(const HostRecord& host) {
    if (const std::optional<int> offset = ParseServerZone(host.ServerZone))
        return *offset;
    return QDateTime::currentDateTime().offsetFromUtc() / 60;
}
