#include "engine/ListingParser.h"

#include <cstdlib>
#include <cstring>

namespace {

bool isLineSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
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

std::int64_t ListedSize(const std::string& size, bool link) {
    if (link || size.empty() || size.size() > 18 || size.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::strtoll(size.c_str(), nullptr, 10);
}
