#include "engine/ServerFeatures.h"

namespace {

bool startsWithNoCase(std::string_view text, std::string_view word) {
    if (text.size() < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
        if (c != word[i])
            return false;
    }
    // The feature's name ends at a space (its parameters) or the line end.
    return text.size() == word.size() || text[word.size()] == ' ';
}

} // namespace

ServerFeatures ParseFeatReply(std::string_view reply) {
    ServerFeatures f;
    if (reply.substr(0, 3) != "211")
        return f;
    size_t at = 0;
    while (at < reply.size()) {
        size_t end = reply.find('\n', at);
        if (end == std::string_view::npos)
            end = reply.size();
        std::string_view line = reply.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // Features are the lines that begin with a space; the first and last carry the code.
        if (line.empty() || line[0] != ' ')
            continue;
        line.remove_prefix(1);
        if (startsWithNoCase(line, "UTF8"))
            f.utf8 = true;
        else if (startsWithNoCase(line, "MLST"))
            f.mlst = true;
    }
    return f;
}
