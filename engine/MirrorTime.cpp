#include "engine/MirrorTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kDay = 86400;

std::optional<std::int64_t> DaysSinceEpoch(int year, int month, int day) {
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (year < 1900 || year > 9999 || !date.ok())
        return std::nullopt;
    return std::chrono::sys_days(date).time_since_epoch().count();
}

// The number of `digits` digits at the start of `text`, or -1.
int Digits(std::string_view text, std::size_t digits) {
    if (text.size() < digits)
        return -1;
    int value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::int64_t PrecisionSpan(TimePrecision precision) {
    switch (precision) {
    case TimePrecision::Exact:
        return 0;
    case TimePrecision::Minute:
        return kMinute;
    case TimePrecision::Day:
    case TimePrecision::Unknown:
        break;
    }
    return kDay;
}

bool TimesDiffer(const MirrorTime& a, const MirrorTime& b, std::int64_t allowance) {
    if (a.precision == TimePrecision::Unknown || b.precision == TimePrecision::Unknown)
        return false;
    const std::int64_t tolerance =
        std::max(PrecisionSpan(a.precision), PrecisionSpan(b.precision)) + allowance;
    const std::int64_t difference = a.seconds - b.seconds;
    return difference > tolerance || -difference > tolerance;
}

std::optional<MirrorTime> ListedTimeUtc(int year, int month, int day, int hour, int minute,
                                        int zoneOffsetMinutes) {
    const auto days = DaysSinceEpoch(year, month, day);
    if (!days || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    MirrorTime time;
    time.precision = hour < 0 ? TimePrecision::Day : TimePrecision::Minute;
    const std::int64_t minutes = hour < 0 ? 0 : hour * 60 + minute;
    time.seconds = *days * kDay + (minutes - zoneOffsetMinutes) * kMinute;
    return time;
}

std::optional<MirrorTime> ListedTimeUtc(std::string_view date, int zoneOffsetMinutes) {
    if (date.size() != 10 && date.size() != 16)
        return std::nullopt;
    const int year = Digits(date, 4);
    const int month = date[4] == '/' ? Digits(date.substr(5), 2) : -1;
    const int day = date[7] == '/' ? Digits(date.substr(8), 2) : -1;
    if (year < 0 || month < 0 || day < 0)
        return std::nullopt;
    if (date.size() == 10)
        return ListedTimeUtc(year, month, day, -1, 0, zoneOffsetMinutes);
    const int hour = date[10] == ' ' ? Digits(date.substr(11), 2) : -1;
    const int minute = date[13] == ':' ? Digits(date.substr(14), 2) : -1;
    if (hour < 0 || minute < 0)
        return std::nullopt;
    return ListedTimeUtc(year, month, day, hour, minute, zoneOffsetMinutes);
}

std::string ModifyFactText(std::int64_t seconds) {
    const std::int64_t days = seconds >= 0 ? seconds / kDay : -((-seconds + kDay - 1) / kDay);
    const std::int64_t rest = seconds - days * kDay;
    const std::chrono::year_month_day date{std::chrono::sys_days(std::chrono::days(days))};
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02u%02u%02d%02d%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(rest / 3600), static_cast<int>(rest % 3600 / 60),
                  static_cast<int>(rest % 60));
    return text;
}
