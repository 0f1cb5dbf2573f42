#pragma once

#include <string>
#include <string_view>
#include <vector>

// The names a mirror leaves alone on both sides: neither sent nor removed. Each pattern is a shell
// glob on the path relative to the folder pair, with "/" between folders:
//   - `*` and `?` stay within one name; `**` may cross "/" (and "**/" also matches no folder at all);
//   - `[...]` matches one character of a class, `[!...]` or `[^...]` one outside it; `\` quotes;
//   - a pattern without "/" (a trailing one aside) matches an entry's own name at any depth;
//   - a pattern with "/" inside matches the whole path from the pair's root, as does one that starts
//     with "/";
//   - a trailing "/" matches folders only.
// Case counts, as it does in the names of the file systems mirrored here.
class MirrorExclusions {
public:
    MirrorExclusions() = default;
    explicit MirrorExclusions(const std::vector<std::string>& patterns);

    // A stored list: one pattern per line; blank lines and lines starting with "#" say nothing.
    // `added` patterns (lumo-cli's --exclude) count as given, a leading "#" too.
    static MirrorExclusions Parse(std::string_view text, const std::vector<std::string>& added = {});

    // Whether the entry is excluded: by a pattern of its own, or because a folder above it is.
    bool Excludes(std::string_view relativePath, bool isFolder) const;
    bool empty() const { return m_patterns.empty(); }

private:
    struct Pattern {
        std::string glob;
        bool wholePath = false;
        bool foldersOnly = false;
    };

    bool ExcludesEntry(std::string_view relativePath, bool isFolder) const;

    std::vector<Pattern> m_patterns;
};

// Whether `name` matches the glob `pattern` as described above.
bool GlobMatches(std::string_view pattern, std::string_view name);
