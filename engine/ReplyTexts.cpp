#include "engine/ReplyTexts.h"

#include <array>

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads "n,n,n,n,n,n" at `at`. Each number is read whole and checked against 255 (so that a
// huge one cannot overflow), and no number may be empty.
enum class Six { None, Found, OutOfRange };
Six ReadSixNumbers(std::string_view text, std::size_t at, std::array<int, 6>& out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != ',')
                return Six::None;
            ++at;
        }
        if (at >= text.size() || !IsDigit(text[at]))
            return Six::None;
        long value = 0;
        bool tooBig = false;
        while (at < text.size() && IsDigit(text[at])) {
            value = value * 10 + (text[at] - '0');
            if (value > 255) {
                tooBig = true;
                value = 256;
            }
            ++at;
        }
        if (tooBig)
            return Six::OutOfRange;
        out[i] = static_cast<int>(value);
    }
    return Six::Found;
}
} // namespace

bool ParsePasvReply(std::string_view line, std::string& address, int& port) {
    // The reply's own code is no part of the address.
    std::size_t at = line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]) ? 3 : 0;
    for (; at < line.size(); ++at) {
        if (!IsDigit(line[at]) || (at > 0 && IsDigit(line[at - 1])))
            continue;
        std::array<int, 6> n{};
        switch (ReadSixNumbers(line, at, n)) {
        case Six::None:
            continue;
        case Six::OutOfRange:
            return false;
        case Six::Found:
            address = std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
                      std::to_string(n[3]);
            port = n[4] * 256 + n[5];
            return true;
        }
    }
    return false;
}

std::optional<std::string> ParsePwdReply(std::string_view line) {
    const std::size_t open = line.find('"');
    if (open == std::string_view::npos)
        return std::nullopt;
    std::string path;
    for (std::size_t i = open + 1; i < line.size(); ++i) {
        if (line[i] != '"') {
            path += line[i];
            continue;
        }
        if (i + 1 < line.size() && line[i + 1] == '"') {
            path += '"';
            ++i;
            continue;
        }
        if (path.empty())
            return std::nullopt;
        return path;
    }
    return std::nullopt;
}

std::int64_t ParseAnnouncedSize(std::string_view line) {
    constexpr std::string_view kBytes = " bytes";
    for (std::size_t open = line.rfind('('); open != std::string_view::npos;
         open = open == 0 ? std::string_view::npos : line.rfind('(', open - 1)) {
        std::size_t at = open + 1;
        std::int64_t value = 0;
        std::size_t digits = 0;
        // 18 digits always fit in 64 bits.
        while (at < line.size() && IsDigit(line[at]) && digits < 18) {
            value = value * 10 + (line[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || at + kBytes.size() > line.size())
            continue;
        std::string_view word = line.substr(at, kBytes.size());
        bool match = true;
        for (std::size_t i = 0; i < kBytes.size(); ++i) {
            const char c =
                word[i] >= 'A' && word[i] <= 'Z' ? static_cast<char>(word[i] - 'A' + 'a') : word[i];
            match = match && c == kBytes[i];
        }
        if (match)
            return value;
    }
    return -1;
}
