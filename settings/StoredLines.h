#pragma once

#include <string>
#include <string_view>
#include <vector>

class SettingsKey;

// A text of several lines kept in one key: a text value holds one line of at most
// SettingsKey::kStringBuffer - 1 bytes, so the key holds the number of lines under `countName` and
// line n under `lineName` followed by n ("Exclude0", "Exclude1"...).

// The lines of a text, the last one too when it is empty, so that the text comes back as it went;
// none for an empty text.
std::vector<std::string> TextLines(const std::string& text);
// Whether every line of the text fits a text value.
bool LinesFitStore(const std::string& text);
// The text as written; "" when the key holds no count.
std::string ReadLines(const SettingsKey& key, std::string_view countName, std::string_view lineName);
// Writes the count and each line; values of a longer text written before stay behind unread.
bool WriteLines(SettingsKey& key, std::string_view countName, std::string_view lineName,
                const std::string& text);
