#include "settings/StoredLines.h"

#include "settings/SettingsKey.h"

#include <cstdint>

namespace {
std::string LineName(std::string_view lineName, std::uint32_t line) {
    return std::string(lineName) + std::to_string(line);
}
} // namespace

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty())
        return lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

bool LinesFitStore(const std::string& text) {
    for (const std::string& line : TextLines(text)) {
        if (line.size() + 1 > SettingsKey::kStringBuffer)
            return false;
    }
    return true;
}

std::string ReadLines(const SettingsKey& key, std::string_view countName, std::string_view lineName) {
    std::string text;
    const std::uint32_t lines = key.ReadDword(countName, 0);
    for (std::uint32_t line = 0; line < lines; ++line) {
        if (line > 0)
            text += '\n';
        text += key.ReadString(LineName(lineName, line), "");
    }
    return text;
}

bool WriteLines(SettingsKey& key, std::string_view countName, std::string_view lineName,
                const std::string& text) {
    const std::vector<std::string> lines = TextLines(text);
    bool written = key.WriteDword(countName, static_cast<std::uint32_t>(lines.size()));
    for (std::uint32_t line = 0; written && line < lines.size(); ++line)
        written = key.WriteString(LineName(lineName, line), lines[line]);
    return written;
}
