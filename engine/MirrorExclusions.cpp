#include "engine/MirrorExclusions.h"

namespace {

// One character of UTF-8 text from `at`, so that `?` and classes take a Japanese character as one;
// a byte that starts no valid sequence stands for itself.
char32_t NextCharacter(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80         ? 1
                               : (lead >> 5) == 6  ? 2
                               : (lead >> 4) == 14 ? 3
                               : (lead >> 3) == 30 ? 4
                                                   : 0;
    if (length <= 1 || at + length > text.size()) {
        ++at;
        return lead;
    }
    char32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return lead;
        }
        value = (value << 6) | (next & 0x3F);
    }
    at += length;
    return value;
}

// Matches the class that starts at pattern[at] ("[") against `c`; moves `at` past it. False in
// `valid` when the class never closes: the "[" is then an ordinary character.
bool ClassMatches(std::string_view pattern, std::size_t& at, char32_t c, bool& valid) {
    std::size_t i = at + 1;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated)
        ++i;
    bool matched = false;
    bool first = true;
    while (i < pattern.size() && (pattern[i] != ']' || first)) {
        first = false;
        if (pattern[i] == '\\' && i + 1 < pattern.size())
            ++i;
        const char32_t low = NextCharacter(pattern, i);
        char32_t high = low;
        if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
            ++i;
            if (pattern[i] == '\\' && i + 1 < pattern.size())
                ++i;
            high = NextCharacter(pattern, i);
        }
        matched = matched || (low <= c && c <= high);
    }
    valid = i < pattern.size();
    if (!valid)
        return false;
    at = i + 1;
    // A class never matches the folder separator, as `?` does not.
    return c != '/' && matched != negated;
}

} // namespace

bool GlobMatches(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            const bool crossing = p + 1 < pattern.size() && pattern[p + 1] == '*';
            std::size_t rest = p + (crossing ? 2 : 1);
            while (rest < pattern.size() && pattern[rest] == '*')
                ++rest;
            if (crossing && rest < pattern.size() && pattern[rest] == '/') {
                // "**/" stands for any number of whole folders, none included.
                const std::string_view after = pattern.substr(rest + 1);
                if (GlobMatches(after, name.substr(n)))
                    return true;
                for (std::size_t k = n; k < name.size(); ++k)
                    if (name[k] == '/' && GlobMatches(after, name.substr(k + 1)))
                        return true;
                return false;
            }
            for (std::size_t k = n; k <= name.size(); ++k) {
                if (GlobMatches(pattern.substr(rest), name.substr(k)))
                    return true;
                if (k < name.size() && name[k] == '/' && !crossing)
                    return false;
            }
            return false;
        }
        if (n >= name.size())
            return false;
        if (pattern[p] == '?') {
            if (name[n] == '/')
                return false;
            ++p;
            NextCharacter(name, n);
            continue;
        }
        if (pattern[p] == '[') {
            std::size_t at = p;
            std::size_t next = n;
            bool valid = true;
            const bool matched = ClassMatches(pattern, at, NextCharacter(name, next), valid);
            if (valid) {
                if (!matched)
                    return false;
                p = at;
                n = next;
                continue;
            }
        }
        if (pattern[p] == '\\' && p + 1 < pattern.size())
            ++p;
        if (pattern[p] != name[n])
            return false;
        ++p;
        ++n;
    }
    return n == name.size();
}

MirrorExclusions::MirrorExclusions(const std::vector<std::string>& patterns) {
    for (const std::string& text : patterns) {
        std::string_view glob = text;
        Pattern pattern;
        if (!glob.empty() && glob.back() == '/') {
            pattern.foldersOnly = true;
            glob.remove_suffix(1);
        }
        if (!glob.empty() && glob.front() == '/') {
            pattern.wholePath = true;
            glob.remove_prefix(1);
        }
        if (glob.empty())
            continue;
        pattern.wholePath = pattern.wholePath || glob.find('/') != std::string_view::npos;
        pattern.glob = glob;
        m_patterns.push_back(std::move(pattern));
    }
}

MirrorExclusions MirrorExclusions::Parse(std::string_view text, const std::vector<std::string>& added) {
    std::vector<std::string> patterns;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#')
            continue;
        patterns.emplace_back(line);
    }
    patterns.insert(patterns.end(), added.begin(), added.end());
    return MirrorExclusions(patterns);
}

bool MirrorExclusions::ExcludesEntry(std::string_view relativePath, bool isFolder) const {
    const std::size_t slash = relativePath.rfind('/');
    const std::string_view name =
        slash == std::string_view::npos ? relativePath : relativePath.substr(slash + 1);
    for (const Pattern& pattern : m_patterns) {
        if (pattern.foldersOnly && !isFolder)
            continue;
        if (GlobMatches(pattern.glob, pattern.wholePath ? relativePath : name))
            return true;
    }
    return false;
}

bool MirrorExclusions::Excludes(std::string_view relativePath, bool isFolder) const {
    if (m_patterns.empty())
        return false;
    for (std::size_t slash = relativePath.find('/'); slash != std::string_view::npos;
         slash = relativePath.find('/', slash + 1))
        if (ExcludesEntry(relativePath.substr(0, slash), true))
            return true;
    return ExcludesEntry(relativePath, isFolder);
}
