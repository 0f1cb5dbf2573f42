#pragma once

#include "platform/RegistryValue.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The settings store's key tree in memory and its text form, which follows the registry's own
// export format ("REGEDIT4", [HKEY_CURRENT_USER\...] sections, "name"=value lines) in UTF-8.
// Key and value names compare without regard to case and keep their spelling.
class RegistryTree {
public:
    struct Key {
        std::string path; // as first spelled, below HKEY_CURRENT_USER, without a trailing "\"
        std::vector<std::pair<std::string, RegistryValue>> values;
    };

    static std::string fold(std::string_view name);
    static std::string normalizePath(std::string_view path);

    bool hasKey(std::string_view path) const;
    bool hasSubkeys(std::string_view path) const;
    // Creates the key and any missing parents.
    void createKey(std::string_view path);
    // Removes one key with its values; the caller checks for subkeys first.
    void removeKey(std::string_view path);
    const RegistryValue* value(std::string_view key, std::string_view name) const;
    // The key must exist.
    void setValue(std::string_view key, std::string_view name, RegistryValue v);

    const std::map<std::string, Key>& keys() const { return m_keys; }

    std::string serialize() const;
    // Returns nothing when the text is not a store file this program can read.
    static std::optional<RegistryTree> parse(std::string_view text);

private:
    Key* find(std::string_view path);
    const Key* find(std::string_view path) const;

    std::map<std::string, Key> m_keys; // keyed by the folded path
};
