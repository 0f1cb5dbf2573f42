#pragma once

#include "engine/ListingParser.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The local date and time a listing is read against: a time without a year is placed by it.
struct ListingNow {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;

    bool operator==(const ListingNow&) const = default;
};

// The clock's local time, or the time a test fixed.
ListingNow CurrentListingNow();
// Fixes the time every listing is read against (tests); nullptr goes back to the clock.
void FixListingNow(const ListingNow* now);

// What one line of a listing is.
enum class ListingLine {
    Entry,      // a file, folder, link or device
    Nothing,    // a line that names no entry: "total 12", ".", "..", a folder's own MLSD line
    Unreadable, // a line in no layout the reader knows
};

// Reads one line of a listing in any layout servers send: Unix `ls -l` (English month names, the
// Japanese forms with 月/日/年/時/分 in UTF-8, Shift_JIS, EUC-JP or JIS, the Korean ones with
// 월/일/년 in UTF-8 or EUC-KR, dates in numbers only such as "3 29 03:26", "09-26 2000",
// "2010/03/14" or "24-04-2003", ISO dates, numeric owners, devices), MS-DOS/IIS, and MLSD facts.
// Names keep the server's bytes, spaces at either end included (MS-DOS lines cannot carry leading
// spaces). A symbolic link carries its own name, without "-> target", and is marked as a link. A
// time without a year lies in the past: more than a day after `now` (a day of grace for clocks and
// time zones) means the year before. `entry` is set only for ListingLine::Entry.
ListingLine ReadListingLine(std::string_view line, const ListingNow& now, RemoteEntry& entry);

// The entries of a listing text, in its order.
std::vector<RemoteEntry> ReadListingEntries(std::string_view text);

// The entry of a line, or nothing for a line that names none or cannot be read.
std::optional<RemoteEntry> ListingEntry(std::string_view line, const ListingNow& now);

// "YYYY/MM/DD HH:MM", or "YYYY/MM/DD" when hour is below 0.
std::string FormatListingDate(int year, int month, int day, int hour, int minute);
void FormatListingDate(ListingDate& date, int year, int month, int day, int hour, int minute);
int DaysInMonth(int month, int year);
