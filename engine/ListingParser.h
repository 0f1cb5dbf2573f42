#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One line of a directory listing, as texts. Names are the server's raw bytes. The file list keeps
// its rows in this form, so a listing of 100,000 entries becomes the list without a copy.
struct RemoteEntry {
    std::string name;
    std::string size;
    std::string date; // "YYYY/MM/DD HH:MM", "YYYY/MM/DD" or empty
    std::string attributes;
    // A symbolic link; ListingEntry gives it its own name, without the "-> target".
    bool link = false;

    bool IsFolder() const { return !attributes.empty() && attributes[0] == 'd'; }
};

// The lines of a listing: leading white space of each line dropped, empty lines skipped. The views
// point into `text`, which must outlive them.
std::vector<std::string_view> SplitLines(std::string_view text);
// The same into `lines`, whose room is kept for the next text.
void SplitLines(std::string_view text, std::vector<std::string_view>& lines);

// Words are runs of characters between spaces (only the space separates; a tab is part of a word).
// The word after skipping n words from the start; empty when the line has no space at all.
std::string_view WordFromLeft(int n, std::string_view line);
// The word after skipping n words from the end; the whole line when it has no space.
std::string_view WordFromRight(int n, std::string_view line);

// The date of a Unix long listing line from its month, day and time-or-year words (the fourth, third
// and second words from the end); empty when they do not make a valid date. A time means the year
// `currentYear`.
std::string ParseListDate(std::string_view line, int currentYear);
std::string ParseListDate(std::string_view line);

// Name, size, date and attributes of one line. A line the listing reader knows (ListingReader.h)
// gives its fields (names with spaces whole, a symbolic link under its own name); any other line gives its
// last word as name, the fifth word from the end as size and the date words counted from the end.
RemoteEntry ParseListLine(std::string_view line, int currentYear);
RemoteEntry ParseListLine(std::string_view line);

int CurrentLocalYear();

// The byte count a listed entry promises: -1 when it is not known (a link lists its own size, not
// its target's; an empty or non-numeric size; a number too long to be one).
std::int64_t ListedSize(const std::string& size, bool link);
