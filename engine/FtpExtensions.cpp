#include "engine/FtpExtensions.h"

#include <algorithm>
#include <cctype>

namespace {
std::string Upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
    return out;
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string_view FirstWord(std::string_view line) {
    return line.substr(0, line.find(' '));
}
} // namespace

FtpFeatures FtpFeatures::Parse(std::string_view reply) {
    FtpFeatures features;
    if (reply.substr(0, 3) != "211")
        return features;
    std::size_t start = 0;
    bool first = true;
    while (start < reply.size()) {
        std::size_t end = reply.find('\n', start);
        if (end == std::string_view::npos)
            end = reply.size();
        std::string_view line = reply.substr(start, end - start);
        start = end + 1;
        const bool opening = first;
        first = false;
        // The "211-" opening and the "211 End" closing line frame the list; some servers also
        // write "211-" before every feature or leave out the leading space.
        if (opening)
            continue;
        if (line.substr(0, 4) == "211 ")
            break;
        if (line.substr(0, 4) == "211-")
            line.remove_prefix(4);
        line = Trim(line);
        if (line.empty())
            continue;
        const std::string_view word = FirstWord(line);
        features.m_lines.push_back(Upper(word) + std::string(line.substr(word.size())));
    }
    return features;
}

bool FtpFeatures::Has(std::string_view name) const {
    const std::string wanted = Upper(name);
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [&](const std::string& line) { return FirstWord(line) == wanted; });
}

bool FtpFeatures::HasArgument(std::string_view name, std::string_view argument) const {
    const std::string wanted = Upper(name);
    const std::string arg = Upper(argument);
    for (const std::string& line : m_lines) {
        if (FirstWord(line) != wanted)
            continue;
        std::string_view rest = std::string_view(line).substr(wanted.size());
        while (!rest.empty()) {
            const auto from = rest.find_first_not_of(" ,;");
            if (from == std::string_view::npos)
                break;
            rest.remove_prefix(from);
            const auto to = rest.find_first_of(" ,;");
            if (Upper(rest.substr(0, to)) == arg)
                return true;
            rest = to == std::string_view::npos ? std::string_view{} : rest.substr(to);
        }
    }
    return false;
}

bool ParseEpsvReply(const std::string& line, int& port) {
    if (line.compare(0, 3, "229") != 0)
        return false;
    const auto open = line.find('(');
    if (open == std::string::npos || open + 1 >= line.size())
        return false;
    const char d = line[open + 1];
    if (d < 33 || d > 126 || std::isdigit(static_cast<unsigned char>(d)))
        return false;
    std::size_t at = open + 1;
    for (int i = 0; i < 3; ++i, ++at) {
        if (at >= line.size() || line[at] != d)
            return false;
    }
    int value = 0;
    std::size_t digits = 0;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])) && digits < 6) {
        value = value * 10 + (line[at] - '0');
        ++at;
        ++digits;
    }
    if (digits == 0 || value < 1 || value > 65535 || at + 1 >= line.size() || line[at] != d ||
        line[at + 1] != ')')
        return false;
    port = value;
    return true;
}

std::string MakeEprtCommand(const NetAddress& address, std::uint16_t port) {
    if (!address.valid())
        return {};
    return "EPRT |" + std::string(address.isV6() ? "2" : "1") + "|" + address.text() + "|" +
           std::to_string(port) + "|";
}
