#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

// The date of a listing line: "YYYY/MM/DD HH:MM", "YYYY/MM/DD" or empty, kept inside its entry. A
// date with its time is one byte longer than a string holds without a block of its own, and a
// block for each entry of a long listing cost more time than reading the listing.
class ListingDate {
public:
    static constexpr std::size_t kMaxSize = 16;

    ListingDate& operator=(std::string_view text) {
        assign(text);
        return *this;
    }
    // No date is longer; a longer text keeps its first kMaxSize bytes.
    void assign(std::string_view text) {
        m_size = static_cast<unsigned char>(std::min(text.size(), kMaxSize));
        std::memcpy(m_text, text.data(), m_size);
    }
    void clear() { m_size = 0; }
    bool empty() const { return m_size == 0; }
    std::size_t size() const { return m_size; }
    const char* data() const { return m_text; }
    std::string_view view() const { return {m_text, m_size}; }
    std::string str() const { return std::string(view()); }
    int compare(const ListingDate& other) const { return view().compare(other.view()); }
    bool operator==(const ListingDate& other) const { return view() == other.view(); }

private:
    char m_text[kMaxSize] = {};
    unsigned char m_size = 0;
};

// One line of a directory listing, as texts. Names are the server's raw bytes. The file list keeps
// its rows in this form, so a listing of 100,000 entries becomes the list without a copy.
struct RemoteEntry {
    std::string name;
    std::string size;
    std::string attributes;
    // Beside the flag below, the date takes no more room than its bytes.
    ListingDate date;
    // A symbolic link; ListingEntry gives it its own name, without the "-> target".
    bool link = false;
    // MLSD's modify fact to the second, UTC; kNoExactTime for a LIST line or a line without it.
    static constexpr std::int64_t kNoExactTime = std::numeric_limits<std::int64_t>::min();
    std::int64_t modifiedUtc = kNoExactTime;

    bool IsFolder() const { return !attributes.empty() && attributes[0] == 'd'; }
};

// The lines of a listing: leading white space of each line dropped, empty lines skipped. The views
// point into `text`, which must outlive them.
std::vector<std::string_view> SplitLines(std::string_view text);
// The same into `lines`, whose room is kept for the next text.
void SplitLines(std::string_view text, std::vector<std::string_view>& lines);

// The byte count a listed entry promises: -1 when it is not known (a link lists its own size, not
// its target's; an empty or non-numeric size; a number too long to be one).
std::int64_t ListedSize(const std::string& size, bool link);
