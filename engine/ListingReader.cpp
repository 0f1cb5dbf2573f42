#include "engine/ListingReader.h"

#include <algorithm>
#include <ctime>

namespace {

const ListingNow* g_fixedNow = nullptr;

// A unit word of the date forms in each set a listing may come in: the Japanese kanji in UTF-8,
// Shift_JIS, EUC-JP and JIS (between its shift sequences), then the Korean hangul in UTF-8 and
// EUC-KR.
struct Unit {
    std::string_view forms[6];
};
constexpr Unit kYear{{"\xE5\xB9\xB4", "\x94\x4E", "\xC7\xAF", "\x1B$BG/\x1B(B", "\xEB\x85\x84", "\xB3\xE2"}};
constexpr Unit kMonth{{"\xE6\x9C\x88", "\x8C\x8E", "\xB7\xEE", "\x1B$B7n\x1B(B", "\xEC\x9B\x94", "\xBF\xF9"}};
constexpr Unit kDay{{"\xE6\x97\xA5", "\x93\xFA", "\xC6\xFC", "\x1B$BF|\x1B(B", "\xEC\x9D\xBC", "\xC0\xCF"}};
constexpr Unit kHour{{"\xE6\x99\x82", "\x8E\x9E", "\xBB\xFE", "\x1B$B;~\x1B(B", "\xEC\x8B\x9C", "\xBD\xC3"}};
constexpr Unit kMinute{
    {"\xE5\x88\x86", "\x95\xAA", "\xCA\xAC", "\x1B$BJ,\x1B(B", "\xEB\xB6\x84", "\xBA\xD0"}};
// 合計 and 합계, the "total" line of ls in Japanese and Korean.
constexpr Unit kTotal{{"\xE5\x90\x88\xE8\xA8\x88", "\x8D\x87\x8C\x76", "\xB9\xE7\xB7\xD7", "\x1B$B9g7W\x1B(B",
                       "\xED\x95\xA9\xEA\xB3\x84", "\xC7\xD5\xB0\xE8"}};

bool eat(std::string_view& s, std::string_view prefix) {
    if (s.substr(0, prefix.size()) != prefix)
        return false;
    s.remove_prefix(prefix.size());
    return true;
}

bool eatUnit(std::string_view& s, const Unit& k) {
    for (std::string_view form : k.forms) {
        if (eat(s, form))
            return true;
    }
    return false;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads 1 to `maxDigits` leading digits; false when there are none or more.
bool eatNumber(std::string_view& s, size_t maxDigits, int& value) {
    size_t i = 0;
    int v = 0;
    while (i < s.size() && isDigit(s[i])) {
        if (++i > maxDigits)
            return false;
        v = v * 10 + (s[i - 1] - '0');
    }
    if (i == 0)
        return false;
    s.remove_prefix(i);
    value = v;
    return true;
}

bool isNumber(std::string_view s, size_t maxDigits, int& value) {
    return eatNumber(s, maxDigits, value) && s.empty();
}

bool allDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

constexpr unsigned threeLetters(char a, char b, char c) {
    return static_cast<unsigned char>(a) << 16 | static_cast<unsigned char>(b) << 8 |
           static_cast<unsigned char>(c);
}

// Every line asks this of several words: one comparison of the three letters, any case.
int englishMonth(std::string_view word) {
    static constexpr unsigned months[] = {
        threeLetters('j', 'a', 'n'), threeLetters('f', 'e', 'b'), threeLetters('m', 'a', 'r'),
        threeLetters('a', 'p', 'r'), threeLetters('m', 'a', 'y'), threeLetters('j', 'u', 'n'),
        threeLetters('j', 'u', 'l'), threeLetters('a', 'u', 'g'), threeLetters('s', 'e', 'p'),
        threeLetters('o', 'c', 't'), threeLetters('n', 'o', 'v'), threeLetters('d', 'e', 'c')};
    if (word.size() != 3)
        return 0;
    const unsigned key = threeLetters(lower(word[0]), lower(word[1]), lower(word[2]));
    for (int m = 0; m < 12; ++m) {
        if (key == months[m])
            return m + 1;
    }
    return 0;
}

// Whether a word may hold a unit of the date forms (a byte of a multi-byte set, or JIS's escape).
bool mayHoldUnit(std::string_view word) {
    for (char c : word) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\x1B')
            return true;
    }
    return false;
}

struct Moment {
    int year = -1, month = -1, day = -1, hour = -1, minute = -1;

    bool operator==(const Moment&) const = default;
};

// "HH:MM", also with seconds and a fraction (ISO listings); false for anything else.
bool readClock(std::string_view s, Moment& m) {
    int h, mi, sec;
    if (!eatNumber(s, 2, h) || !eat(s, ":") || s.size() < 2 || !eatNumber(s, 2, mi))
        return false;
    if (eat(s, ":")) {
        if (!eatNumber(s, 2, sec))
            return false;
        if (eat(s, ".") && !eatNumber(s, 9, sec))
            return false;
    }
    if (!s.empty())
        return false;
    m.hour = h;
    m.minute = mi;
    return true;
}

// One word of a Japanese or Korean date ("11月", "6日", "2005年", "14時21分", "5月20日", "3월",
// "14일", a bare day or year after the month, "12:00"), added to what the words before it gave.
bool readUnitWord(std::string_view w, Moment& m, bool first) {
    if (readClock(w, m))
        return !first && m.month >= 0 && m.day >= 0;
    bool unitSeen = false;
    while (!w.empty()) {
        int v;
        const std::string_view before = w;
        if (!eatNumber(w, 4, v))
            return false;
        const size_t digits = before.size() - w.size();
        int* field = nullptr;
        if (eatUnit(w, kYear)) {
            field = digits == 4 ? &m.year : nullptr;
        } else if (eatUnit(w, kMonth)) {
            field = &m.month;
        } else if (eatUnit(w, kDay)) {
            field = &m.day;
        } else if (eatUnit(w, kHour)) {
            field = &m.hour;
        } else if (eatUnit(w, kMinute)) {
            field = m.hour >= 0 ? &m.minute : nullptr;
        } else if (w.empty() && !unitSeen && m.month >= 0) {
            // A bare number after the month is its day, and after the day a year.
            field = m.day < 0 && digits <= 2 ? &m.day : m.day >= 0 && digits == 4 ? &m.year : nullptr;
        }
        if (!field || *field >= 0 || (field != &m.year && digits > 2))
            return false;
        *field = v;
        unitSeen = true;
    }
    // The first word must carry a unit: a bare number there is the size column.
    return unitSeen || !first;
}

bool dateComplete(const Moment& m) {
    return m.month >= 0 && m.day >= 0 && (m.year >= 0 || (m.hour >= 0 && m.minute >= 0));
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
long long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153LL * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The date of a count of days since 1970-01-01.
void civilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

long long minutesOf(int y, int mo, int d, int h, int mi) {
    return daysFromCivil(y, mo, d) * 1440 + h * 60 + mi;
}

// Puts a yearless time into the year that keeps it from lying in the future, then checks the date.
bool settle(Moment& m, const ListingNow& now) {
    if (m.year < 0) {
        m.year = now.year;
        const int day = m.month == 2 && m.day == 29 ? 28 : m.day;
        if (m.month >= 1 && m.month <= 12 &&
            minutesOf(m.year, m.month, day, m.hour, m.minute) >
                minutesOf(now.year, now.month, now.day, now.hour, now.minute) + 1440)
            --m.year;
    }
    return m.month >= 1 && m.month <= 12 && m.year >= 1000 && m.year <= 9999 && m.day >= 1 &&
           m.day <= DaysInMonth(m.month, m.year) && m.hour <= 23 && m.minute <= 59 &&
           (m.hour < 0) == (m.minute < 0);
}

// "YYYY-MM-DD".
bool readIsoDate(std::string_view s, Moment& m) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-')
        return false;
    return isNumber(s.substr(0, 4), 4, m.year) && isNumber(s.substr(5, 2), 2, m.month) &&
           isNumber(s.substr(8, 2), 2, m.day);
}

struct Word {
    std::string_view text;
    size_t end; // position just past the word in the line
};

constexpr size_t kMaxWords = 14;

size_t splitWords(std::string_view line, Word* out, size_t max) {
    size_t count = 0, i = 0;
    const size_t n = line.size();
    while (count < max) {
        while (i < n && line[i] == ' ')
            ++i;
        if (i >= n)
            break;
        const size_t start = i;
        while (i < n && line[i] != ' ')
            ++i;
        out[count++] = {line.substr(start, i - start), i};
    }
    return count;
}

bool isDateSeparator(char c) {
    return c == '-' || c == '/' || c == '.';
}

bool isZone(std::string_view s) {
    return s.size() == 5 && (s[0] == '+' || s[0] == '-') && allDigits(s.substr(1));
}

// "HH:MM" or a year of four digits: the word after a month and day.
bool readTimeOrYear(std::string_view s, Moment& m) {
    return readClock(s, m) || (s.size() == 4 && isNumber(s, 4, m.year));
}

// A date of numbers in one word: year first ("2010/03/14", "2004.07.15", ISO's "2005-06-07"),
// year last ("04-24-2003", "24-04-2003", "15.07.2004") or no year ("09-26"), with "-", "/" or "."
// between the numbers, the same each time. Where month and day could be either way round they are
// month first, as the other clients read them; a first number above 12 can only be a day, and
// with dots the day comes first, as everywhere dots are written.
bool readNumericDate(std::string_view s, Moment& m) {
    // Sizes and owners are most of the words here that begin with a digit; a date has a separator
    // after its first one, two or four digits.
    const auto separatorAt = [&](size_t i) { return i < s.size() && isDateSeparator(s[i]); };
    if (!separatorAt(1) && !separatorAt(2) && !separatorAt(4))
        return false;
    int n[3];
    size_t digits[3];
    size_t count = 0;
    char separator = 0;
    for (;;) {
        const size_t before = s.size();
        if (count == 3 || !eatNumber(s, 4, n[count]))
            return false;
        digits[count++] = before - s.size();
        if (s.empty())
            break;
        if (separator == 0 && isDateSeparator(s[0]))
            separator = s[0];
        if (s[0] != separator)
            return false;
        s.remove_prefix(1);
    }
    const bool short0 = digits[0] <= 2, short1 = count > 1 && digits[1] <= 2;
    if (count == 3 && digits[0] == 4 && short1 && digits[2] <= 2) {
        m.year = n[0];
        m.month = n[1];
        m.day = n[2];
        return true;
    }
    const bool yearLast = count == 3 && short0 && short1 && digits[2] == 4;
    if (!yearLast && !(count == 2 && short0 && short1 && separator != '.'))
        return false;
    const bool dayFirst = separator == '.' || n[0] > 12;
    m.month = dayFirst ? n[1] : n[0];
    m.day = dayFirst ? n[0] : n[1];
    if (yearLast)
        m.year = n[2];
    return true;
}

// How many words from w[k] make a date written in numbers only; 0 when none does. Besides the
// one-word dates above: month and day as words of their own ("3 29 03:26", "12 25 2019"), and a
// date without a year ("09-26 13:45", "09-26 2000") takes the next word.
size_t readNumericWords(const Word* w, size_t k, size_t last, Moment& m) {
    Moment d;
    const std::string_view first = w[k].text;
    if (first.size() <= 2 && isNumber(first, 2, d.month)) {
        if (k + 2 > last || !isNumber(w[k + 1].text, 2, d.day) || !readTimeOrYear(w[k + 2].text, d))
            return 0;
        m = d;
        return 3;
    }
    if (!readNumericDate(first, d))
        return 0;
    size_t used = 1;
    if (d.year < 0) {
        if (k + 1 > last || !readTimeOrYear(w[k + 1].text, d))
            return 0;
        ++used;
    } else if (k + 1 <= last && readClock(w[k + 1].text, d)) {
        ++used;
        if (k + 2 <= last && isZone(w[k + 2].text))
            ++used;
    }
    m = d;
    return used;
}

// How many words from w[k] make a date of a Unix long line; 0 when none does. `last` is the index
// of the last word that may still belong to it (one must be left for the name).
size_t readUnixDate(const Word* w, size_t k, size_t last, Moment& m) {
    if (k + 2 <= last) {
        int month = englishMonth(w[k].text);
        int first = -1;
        // "Nov 6 12:00" and the day-first "6 Nov 12:00".
        if (month == 0 && isNumber(w[k].text, 2, first))
            month = englishMonth(w[k + 1].text);
        if (month != 0) {
            m.month = month;
            if (first >= 0)
                m.day = first;
            else if (!isNumber(w[k + 1].text, 2, m.day))
                return 0;
            return readTimeOrYear(w[k + 2].text, m) ? 3 : 0;
        }
    }
    if (isDigit(w[k].text[0])) {
        if (const size_t used = readNumericWords(w, k, last, m))
            return used;
    }
    if (!mayHoldUnit(w[k].text))
        return 0;
    Moment j;
    size_t used = 0;
    for (size_t i = k; i <= last; ++i) {
        Moment next = j;
        if (!readUnitWord(w[i].text, next, i == k))
            break;
        j = next;
        ++used;
        // A year-first date may still have its time after the day.
        if (dateComplete(j) && !(j.hour < 0 && i + 1 <= last && readClock(w[i + 1].text, next)))
            break;
    }
    if (used == 0 || !dateComplete(j))
        return 0;
    m = j;
    return used;
}

bool looksLikeUnixAttributes(std::string_view a) {
    if (a.size() < 10)
        return false;
    switch (a[0]) {
    case '-':
    case 'd':
    case 'l':
    case 'c':
    case 'b':
    case 'p':
    case 's':
    case 'D':
    case 'n':
        return true;
    default:
        return false;
    }
}

bool isTotalLine(const Word* w, size_t n) {
    if (n != 2 || !allDigits(w[1].text))
        return false;
    std::string_view first = w[0].text;
    return first == "total" || (eatUnit(first, kTotal) && first.empty());
}

void finish(RemoteEntry& e, const Moment& m) {
    FormatListingDate(e.date, m.year, m.month, m.day, m.hour, m.minute);
}

// The date a line's words give, settled into its year and written out; null when it is no valid
// date. Files copied or unpacked together share their minute, so a line mostly repeats the date of
// the line before, and that one's result is kept.
const ListingDate* settledDate(const Moment& read, const ListingNow& now) {
    // The first kept result, of no date at all, is invalid as reading it would be.
    struct Last {
        bool valid = false;
        Moment read;
        ListingNow now;
        ListingDate text;
    };
    thread_local Last last;
    if (!(last.read == read && last.now == now)) {
        Moment m = read;
        last.read = read;
        last.now = now;
        last.valid = settle(m, now);
        if (last.valid)
            FormatListingDate(last.text, m.year, m.month, m.day, m.hour, m.minute);
    }
    return last.valid ? &last.text : nullptr;
}

ListingLine readUnix(std::string_view line, const Word* w, size_t n, const ListingNow& now, RemoteEntry& e) {
    const bool device = w[0].text[0] == 'c' || w[0].text[0] == 'b';
    // Attributes, links, owner, group and size come first; a server may leave out links or group.
    for (size_t k = 3; k + 1 < n && k <= 8; ++k) {
        if (!allDigits(w[k - 1].text))
            continue;
        Moment m;
        const size_t used = readUnixDate(w, k, n - 2, m);
        if (used == 0)
            continue;
        // A size and a day that look like a day and a month ("3 Dec 08 14:06") are tried further on.
        const ListingDate* date = settledDate(m, now);
        if (!date)
            continue;
        const std::string_view rest = line.substr(w[k + used - 1].end);
        // One space separates the date from the name; every further byte up to the line end
        // belongs to the name, spaces at either end included.
        if (rest.size() < 2)
            return ListingLine::Unreadable;
        std::string_view name = rest.substr(1);
        const bool link = w[0].text[0] == 'l';
        if (link) {
            size_t arrow = name.find(" -> ");
            if (arrow == std::string_view::npos)
                arrow = name.find("->");
            if (arrow != std::string_view::npos)
                name = name.substr(0, arrow);
            if (name.empty())
                return ListingLine::Unreadable;
        }
        if (name == "." || name == "..")
            return ListingLine::Nothing;
        e.attributes.assign(w[0].text);
        // A device has numbers of its driver where a file has its size.
        if (device && k >= 4 && !w[k - 2].text.empty() && w[k - 2].text.back() == ',')
            e.size.clear();
        else
            e.size.assign(w[k - 1].text);
        e.name.assign(name);
        e.link = link;
        e.modifiedUtc = RemoteEntry::kNoExactTime;
        e.date = *date;
        return ListingLine::Entry;
    }
    return ListingLine::Unreadable;
}

// MM-DD-YY, MM-DD-YYYY (also with "/") or YYYY-MM-DD.
bool readDosDate(std::string_view s, Moment& m) {
    if (readIsoDate(s, m))
        return true;
    if ((s.size() != 8 && s.size() != 10) || (s[2] != '-' && s[2] != '/') || s[5] != s[2])
        return false;
    if (!isNumber(s.substr(0, 2), 2, m.month) || !isNumber(s.substr(3, 2), 2, m.day) ||
        !isNumber(s.substr(6), 4, m.year))
        return false;
    if (s.size() == 8)
        m.year += m.year < 70 ? 2000 : 1900;
    return true;
}

// "02:21PM", "14:21", or "02:21" followed by a word "PM".
size_t readDosTime(const Word* w, size_t i, size_t n, Moment& m) {
    std::string_view s = w[i].text;
    std::string_view half;
    if (s.size() > 2 &&
        (equalsNoCase(s.substr(s.size() - 2), "am") || equalsNoCase(s.substr(s.size() - 2), "pm"))) {
        half = s.substr(s.size() - 2);
        s.remove_suffix(2);
    }
    size_t used = 1;
    if (half.empty() && i + 1 < n &&
        (equalsNoCase(w[i + 1].text, "am") || equalsNoCase(w[i + 1].text, "pm"))) {
        half = w[i + 1].text;
        ++used;
    }
    if (!readClock(s, m))
        return 0;
    if (!half.empty()) {
        if (m.hour < 1 || m.hour > 12)
            return 0;
        m.hour = m.hour % 12 + (lower(half[0]) == 'p' ? 12 : 0);
    }
    return used;
}

ListingLine readDos(std::string_view line, const Word* w, size_t n, RemoteEntry& e) {
    Moment m;
    if (n < 4 || !readDosDate(w[0].text, m))
        return ListingLine::Unreadable;
    const size_t used = readDosTime(w, 1, n, m);
    const size_t kind = 1 + used;
    if (used == 0 || kind >= n)
        return ListingLine::Unreadable;
    const std::string_view sizeOrDir = w[kind].text;
    const bool folder = sizeOrDir == "<DIR>";
    // Some servers group the digits of a size: "9,730".
    std::string size;
    if (!folder) {
        for (char c : sizeOrDir) {
            if (isDigit(c))
                size += c;
            else if (c != ',' || size.empty())
                return ListingLine::Unreadable;
        }
        if (size.empty())
            return ListingLine::Unreadable;
    }
    std::string_view name = line.substr(w[kind].end);
    name.remove_prefix(std::min(name.find_first_not_of(' '), name.size()));
    if (name.empty() || !settle(m, {}))
        return ListingLine::Unreadable;
    if (name == "." || name == "..")
        return ListingLine::Nothing;
    e.attributes = folder ? "d" : "-";
    e.size = std::move(size);
    e.name.assign(name);
    e.link = false;
    e.modifiedUtc = RemoteEntry::kNoExactTime;
    finish(e, m);
    return ListingLine::Entry;
}

// UNIX.mode (octal) as ls shows it, after the type letter.
void appendMode(std::string& out, std::string_view octal) {
    if (octal.empty())
        return;
    int mode = 0;
    for (char c : octal) {
        if (c < '0' || c > '7')
            return;
        mode = mode * 8 + (c - '0');
    }
    static constexpr char letters[] = "rwxrwxrwx";
    char shown[9];
    for (int bit = 0; bit < 9; ++bit)
        shown[bit] = mode & (0400 >> bit) ? letters[bit] : '-';
    out.append(shown, sizeof shown);
}

// MLSD's modify fact is UTC: the list shows local time, as LIST does. `utc` gets the fact's second.
bool readModify(std::string_view s, Moment& m, long long& utc) {
    const size_t dot = s.find('.');
    if (dot != std::string_view::npos)
        s = s.substr(0, dot);
    int y, mo, d, h, mi, sec;
    if (s.size() != 14 || !isNumber(s.substr(0, 4), 4, y) || !isNumber(s.substr(4, 2), 2, mo) ||
        !isNumber(s.substr(6, 2), 2, d) || !isNumber(s.substr(8, 2), 2, h) ||
        !isNumber(s.substr(10, 2), 2, mi) || !isNumber(s.substr(12, 2), 2, sec))
        return false;
    if (y < 1000 || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(mo, y) || h > 23 || mi > 59)
        return false;
    const long long t = (daysFromCivil(y, mo, d) * 1440 + h * 60 + mi) * 60 + sec;
    utc = t;
    // Asking the time zone for every line cost more than reading the rest of it; its offset changes
    // on the hour at most, so it is asked once for each hour that times fall in.
    thread_local long long cachedHour = -1;
    thread_local long long cachedOffset = 0;
    const long long hour = t >= 0 ? t / 3600 : -((-t + 3599) / 3600);
    if (hour != cachedHour) {
        const std::time_t at = static_cast<std::time_t>(t);
        std::tm local{};
        if (!localtime_r(&at, &local))
            return false;
        cachedOffset = local.tm_gmtoff;
        cachedHour = hour;
    }
    const long long shifted = t + cachedOffset;
    const long long days = shifted >= 0 ? shifted / 86400 : -((-shifted + 86399) / 86400);
    const long long seconds = shifted - days * 86400;
    civilFromDays(days, m.year, m.month, m.day);
    m.hour = static_cast<int>(seconds / 3600);
    m.minute = static_cast<int>(seconds % 3600 / 60);
    return true;
}

// The shown date of a modify fact; null when it is none. Lines mostly repeat the time of the line
// before, whose result is kept.
const ListingDate* modifyDate(std::string_view modify, long long& utc) {
    struct Last {
        std::string text;
        bool valid = false;
        ListingDate date;
        long long utc = 0;
    };
    thread_local Last last;
    if (modify != last.text) {
        Moment m;
        last.text.assign(modify);
        last.valid = readModify(modify, m, last.utc);
        if (last.valid)
            FormatListingDate(last.date, m.year, m.month, m.day, m.hour, m.minute);
    }
    utc = last.utc;
    return last.valid ? &last.date : nullptr;
}

ListingLine readMlsd(std::string_view line, size_t space, RemoteEntry& e) {
    const std::string_view facts = line.substr(0, space);
    const std::string_view name = line.substr(space + 1);
    std::string_view type, size, modify, mode;
    for (size_t i = 0; i < facts.size();) {
        size_t semi = facts.find(';', i);
        if (semi == std::string_view::npos)
            semi = facts.size();
        const std::string_view fact = facts.substr(i, semi - i);
        i = semi + 1;
        const size_t eq = fact.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = fact.substr(0, eq);
        const std::string_view value = fact.substr(eq + 1);
        // By length first: most facts of a line are none of these.
        switch (key.size()) {
        case 4:
            if (equalsNoCase(key, "type"))
                type = value;
            else if (lower(key[0]) == 's' && (equalsNoCase(key, "size") || equalsNoCase(key, "sizd")))
                size = value;
            break;
        case 6:
            if (equalsNoCase(key, "modify"))
                modify = value;
            break;
        case 9:
            if (equalsNoCase(key, "unix.mode"))
                mode = value;
            break;
        default:
            break;
        }
    }
    if (equalsNoCase(type, "cdir") || equalsNoCase(type, "pdir") || name == "." || name == "..")
        return ListingLine::Nothing;
    char kind;
    if (equalsNoCase(type, "file"))
        kind = '-';
    else if (equalsNoCase(type, "dir"))
        kind = 'd';
    else if (type.size() > 8 && equalsNoCase(type.substr(0, 8), "os.unix=") &&
             (equalsNoCase(type.substr(8, 5), "slink") || equalsNoCase(type.substr(8), "symlink")))
        kind = 'l';
    else if (!type.empty())
        kind = '-';
    else
        return ListingLine::Unreadable;
    // A server may leave the time out; one it gives must be read.
    long long utc = 0;
    const ListingDate* date = modify.empty() ? nullptr : modifyDate(modify, utc);
    if (name.empty() || (!size.empty() && !allDigits(size)) || (!modify.empty() && !date))
        return ListingLine::Unreadable;
    e.attributes.assign(1, kind);
    appendMode(e.attributes, mode);
    e.size = kind == 'd' ? std::string() : std::string(size);
    e.name.assign(name);
    e.link = kind == 'l';
    if (date)
        e.date = *date;
    else
        e.date.clear();
    e.modifiedUtc = date ? utc : RemoteEntry::kNoExactTime;
    return ListingLine::Entry;
}

} // namespace

ListingNow CurrentListingNow() {
    if (g_fixedNow)
        return *g_fixedNow;
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

void FixListingNow(const ListingNow* now) {
    static ListingNow fixed;
    if (now)
        fixed = *now;
    g_fixedNow = now ? &fixed : nullptr;
}

ListingLine ReadListingLine(std::string_view line, const ListingNow& now, RemoteEntry& entry) {
    // MLSD: facts, each ended by ";", then one space (a tab from some servers) and the name. One pass
    // over the first word: find_first_of would search its set once per byte.
    size_t space = 0;
    bool equals = false;
    while (space < line.size() && line[space] != ' ' && line[space] != '\t') {
        equals = equals || line[space] == '=';
        ++space;
    }
    if (space < line.size() && space > 0 && line[space - 1] == ';' && equals)
        return readMlsd(line, space, entry);
    Word w[kMaxWords];
    const size_t n = splitWords(line, w, kMaxWords);
    if (n == 0)
        return ListingLine::Nothing;
    if (isTotalLine(w, n))
        return ListingLine::Nothing;
    if (looksLikeUnixAttributes(w[0].text))
        return readUnix(line, w, n, now, entry);
    if (!w[0].text.empty() && isDigit(w[0].text[0]))
        return readDos(line, w, n, entry);
    return ListingLine::Unreadable;
}

std::vector<RemoteEntry> ReadListingEntries(std::string_view text) {
    std::vector<RemoteEntry> entries;
    const ListingNow now = CurrentListingNow();
    RemoteEntry e;
    for (std::string_view line : SplitLines(text)) {
        if (ReadListingLine(line, now, e) == ListingLine::Entry)
            entries.push_back(std::move(e));
    }
    return entries;
}

std::optional<RemoteEntry> ListingEntry(std::string_view line, const ListingNow& now) {
    RemoteEntry e;
    if (ReadListingLine(line, now, e) != ListingLine::Entry)
        return std::nullopt;
    return e;
}

int DaysInMonth(int month, int year) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

std::string FormatListingDate(int year, int month, int day, int hour, int minute) {
    ListingDate date;
    FormatListingDate(date, year, month, day, hour, minute);
    return date.str();
}

void FormatListingDate(ListingDate& date, int year, int month, int day, int hour, int minute) {
    // Written by hand: a listing of 100,000 lines formats 100,000 dates, and snprintf was a fifth
    // of the parse.
    char out[ListingDate::kMaxSize];
    size_t n = 0;
    auto put = [&](int value, int width) {
        char digits[4];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value > 0 && count < 4);
        for (int i = count; i < width; ++i)
            out[n++] = '0';
        while (count > 0)
            out[n++] = digits[--count];
    };
    put(year, 1);
    out[n++] = '/';
    put(month, 2);
    out[n++] = '/';
    put(day, 2);
    if (hour >= 0) {
        out[n++] = ' ';
        put(hour, 2);
        out[n++] = ':';
        put(minute, 2);
    }
    date.assign(std::string_view(out, n));
}
