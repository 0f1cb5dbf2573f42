#include "engine/ListingParser.h"

#include "engine/ListingReader.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string_view trimSpaces(std::string_view s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

bool isLineSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Decimal value of the leading digits, as a C conversion would read it; 0 when there are none.
int leadingNumber(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > 1000000000)
            break;
    }
    return static_cast<int>(negative ? -v : v);
}

int monthOf(std::string_view word) {
    for (size_t m = 0; m < kMonths.size(); ++m) {
        if (word.find(kMonths[m]) != std::string_view::npos)
            return static_cast<int>(m) + 1;
    }
    return 0;
}

// The date text of a month word, a day word and a time-or-year word.
std::string formatDate(std::string_view monthWord, std::string_view dayWord, std::string_view timeOrYear,
                       int currentYear) {
    int month = monthOf(monthWord);
    if (month == 0)
        return {};
    int day = leadingNumber(dayWord);
    int year, hour = -1, minute = -1;
    size_t colon = timeOrYear.find(':');
    if (colon != std::string_view::npos) {
        year = currentYear;
        hour = leadingNumber(timeOrYear.substr(0, colon));
        minute = leadingNumber(timeOrYear.substr(colon + 1));
        if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
            return {};
    } else {
        year = leadingNumber(timeOrYear);
    }
    if (year < 100 || year > 9999 || day < 1 || day > DaysInMonth(month, year))
        return {};
    return FormatListingDate(year, month, day, hour, minute);
}

} // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    SplitLines(text, lines);
    return lines;
}

void SplitLines(std::string_view text, std::vector<std::string_view>& lines) {
    lines.clear();
    size_t i = 0;
    const size_t n = text.size();
    for (;;) {
        while (i < n && isLineSpace(text[i]))
            ++i;
        if (i >= n)
            break;
        // memchr finds the line end a word at a time; a CR before it (or alone) ends the line too.
        const size_t start = i;
        const void* lf = std::memchr(text.data() + start, '\n', n - start);
        i = lf ? static_cast<size_t>(static_cast<const char*>(lf) - text.data()) : n;
        if (const void* cr = std::memchr(text.data() + start, '\r', i - start))
            i = static_cast<size_t>(static_cast<const char*>(cr) - text.data());
        // A last line without its line end still counts.
        lines.push_back(text.substr(start, i - start));
    }
}

std::string_view WordFromLeft(int n, std::string_view line) {
    line = trimSpaces(line);
    for (int k = 0; k < n; ++k) {
        size_t sp = line.find(' ');
        if (sp == std::string_view::npos) {
            line = {};
            break;
        }
        line = trimSpaces(line.substr(sp + 1));
    }
    size_t sp = line.find(' ');
    return sp == std::string_view::npos ? std::string_view() : line.substr(0, sp);
}

std::string_view WordFromRight(int n, std::string_view line) {
    line = trimSpaces(line);
    for (int k = 0; k < n; ++k) {
        size_t sp = line.rfind(' ');
        // With no space left there is nothing before the cut.
        line = sp == std::string_view::npos ? std::string_view() : line.substr(0, sp);
        while (!line.empty() && line.back() == ' ')
            line.remove_suffix(1);
    }
    size_t sp = line.rfind(' ');
    if (sp == std::string_view::npos)
        return line;
    return trimSpaces(line.substr(sp + 1));
}

std::int64_t ListedSize(const std::string& size, bool link) {
    if (link || size.empty() || size.size() > 18 || size.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::strtoll(size.c_str(), nullptr, 10);
}

int CurrentLocalYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local.tm_year + 1900;
}

std::string ParseListDate(std::string_view line, int currentYear) {
    return formatDate(WordFromRight(3, line), WordFromRight(2, line), WordFromRight(1, line), currentYear);
}

std::string ParseListDate(std::string_view line) {
    return ParseListDate(line, CurrentLocalYear());
}

RemoteEntry ParseListLine(std::string_view line, int currentYear) {
    RemoteEntry e;
    // The last minute of that year as "now": a time without a year stays in it.
    if (ReadListingLine(line, ListingNow{currentYear, 12, 31, 23, 59}, e) == ListingLine::Entry)
        return e;
    e = RemoteEntry();
    e.name = std::string(WordFromRight(0, line));
    e.attributes = std::string(WordFromLeft(0, line));
    e.size = std::string(WordFromRight(4, line));
    e.date = ParseListDate(line, currentYear);
    return e;
}

RemoteEntry ParseListLine(std::string_view line) {
    return ParseListLine(line, CurrentLocalYear());
}
