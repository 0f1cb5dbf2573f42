#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// How finely a side knows a file's time. MLSD and the local file system give seconds; LIST gives
// minutes for recent files and days for older ones; some listings give no date at all.
enum class TimePrecision : std::uint8_t { Exact, Minute, Day, Unknown };

// A file's modification time as a mirror compares it: UTC, with what the listing could tell.
// Local times keep their nanoseconds, so that the record notices any change of a local file.
struct MirrorTime {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    TimePrecision precision = TimePrecision::Unknown;

    std::int64_t TotalNanoseconds() const { return seconds * 1'000'000'000 + nanoseconds; }
    bool operator==(const MirrorTime&) const = default;
};

// How many seconds a time of this precision may lie from the true time: a listed minute or day
// cuts off what follows it.
std::int64_t PrecisionSpan(TimePrecision precision);

// Whether two times of the same file differ by more than their precisions leave open: the coarser
// of the two spans, plus `allowance` seconds for clocks that disagree a little. A side without a
// time never differs.
bool TimesDiffer(const MirrorTime& a, const MirrorTime& b, std::int64_t allowance);

// The UTC time of a LIST date read in the server's time zone, `zoneOffsetMinutes` east of UTC
// (Japan: 540). An hour below 0 is a date without its time (precision Day). Nothing for a date
// that does not exist.
std::optional<MirrorTime> ListedTimeUtc(int year, int month, int day, int hour, int minute,
                                        int zoneOffsetMinutes);

// The same from a listing's date text, "YYYY/MM/DD HH:MM" or "YYYY/MM/DD".
std::optional<MirrorTime> ListedTimeUtc(std::string_view date, int zoneOffsetMinutes);

// The argument MFMT takes for a time: "YYYYMMDDHHMMSS", UTC.
std::string ModifyFactText(std::int64_t seconds);
