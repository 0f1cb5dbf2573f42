#include "engine/ListingParser.h"

#include <array>
#include <charconv>
#include <cstdlib>
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

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysIn(int month, int year) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

// Appends a number from 0 to 9999 in decimal, with leading zeros up to `width` digits.
void appendNumber(std::string& out, int value, int width) {
    char digits[4];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 4);
    for (int i = n; i < width; ++i)
        out += '0';
    while (n > 0)
        out += digits[--n];
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
    if (year < 100 || year > 9999 || day < 1 || day > daysIn(month, year))
        return {};
    // Written by hand: a listing of 100,000 lines formats 100,000 dates, and snprintf was a fifth of
    // the parse.
    std::string date;
    date.reserve(16);
    appendNumber(date, year, 1);
    date += '/';
    appendNumber(date, month, 2);
    date += '/';
    appendNumber(date, day, 2);
    if (hour >= 0) {
        date += ' ';
        appendNumber(date, hour, 2);
        date += ':';
        appendNumber(date, minute, 2);
    }
    return date;
}

bool allDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

bool isDayWord(std::string_view s) {
    return allDigits(s) && s.size() <= 2;
}

bool isTimeOrYearWord(std::string_view s) {
    if (allDigits(s))
        return s.size() == 4;
    size_t colon = s.find(':');
    return colon != std::string_view::npos && colon >= 1 && colon <= 2 && allDigits(s.substr(0, colon)) &&
           s.size() - colon - 1 == 2 && allDigits(s.substr(colon + 1));
}

struct Word {
    std::string_view text;
    size_t end; // position just past the word in the line
};

// The first words of a line, up to `max`, with where each ends.
size_t splitWords(std::string_view line, Word* out, size_t max) {
    size_t count = 0, i = 0;
    while (count < max) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        if (i >= line.size())
            break;
        size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        out[count++] = {line.substr(start, i - start), i};
    }
    return count;
}

// Recognises the Unix long layout: a month word at position 4 or 5 (owner without a group, or with
// one), a size before it, a day and a time or year after it, and a name after those.
bool parseUnixLong(std::string_view line, int currentYear, RemoteEntry& e) {
    Word w[9];
    size_t n = splitWords(line, w, 9);
    for (size_t m : {size_t(5), size_t(4)}) {
        if (m + 3 > n)
            continue;
        if (monthOf(w[m].text) == 0 || w[m].text.size() != 3 || !allDigits(w[m - 1].text) ||
            !isDayWord(w[m + 1].text) || !isTimeOrYearWord(w[m + 2].text))
            continue;
        std::string_view rest = line.substr(w[m + 2].end);
        if (rest.size() < 2 || rest[0] != ' ')
            continue;
        // ls separates the name from the time or year by one space; every further byte up to the
        // line end belongs to the name, spaces at either end included.
        std::string_view name = rest.substr(1);
        e.attributes = std::string(w[0].text);
        e.size = std::string(w[m - 1].text);
        e.date = formatDate(w[m].text, w[m + 1].text, w[m + 2].text, currentYear);
        e.name = std::string(name);
        return true;
    }
    return false;
}

} // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t i = 0;
    const size_t n = text.size();
    for (;;) {
        while (i < n && isLineSpace(text[i]))
            ++i;
        if (i >= n)
            break;
        size_t start = i;
        while (i < n && text[i] != '\r' && text[i] != '\n')
            ++i;
        // A last line without its line end still counts.
        lines.push_back(text.substr(start, i - start));
    }
    return lines;
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
    if (parseUnixLong(line, currentYear, e))
        return e;
    e.name = std::string(WordFromRight(0, line));
    e.attributes = std::string(WordFromLeft(0, line));
    e.size = std::string(WordFromRight(4, line));
    e.date = ParseListDate(line, currentYear);
    return e;
}

RemoteEntry ParseListLine(std::string_view line) {
    return ParseListLine(line, CurrentLocalYear());
}

std::optional<RemoteEntry> ListingEntry(std::string_view line, int currentYear) {
    RemoteEntry e = ParseListLine(line, currentYear);
    if (e.name.empty() || e.date.empty() || e.name == "." || e.name == "..")
        return std::nullopt;
    if (!e.attributes.empty() && e.attributes[0] == 'l') {
        e.link = true;
        // ls writes " -> " between the name and the target; a name's own trailing spaces stay.
        std::size_t arrow = e.name.find(" -> ");
        if (arrow == std::string::npos)
            arrow = e.name.find("->");
        if (arrow != std::string::npos) {
            e.name.resize(arrow);
            if (e.name.empty())
                return std::nullopt;
        }
    }
    return e;
}
