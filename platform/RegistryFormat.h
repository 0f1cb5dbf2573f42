#pragma once

#include "platform/RegistryValue.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct RegistryParse;

// The settings store's key tree in memory and its text form, which follows the registry's own
// export format ("REGEDIT4", [HKEY_CURRENT_USER\...] sections, "name"=value lines) in UTF-8.
// Key and value names compare without regard to case and keep their spelling.
class RegistryTree {
public:
    struct Key {
        std::string path; // as first spelled, below HKEY_CURRENT_USER, without a trailing "\"
        std::vector<std::pair<std::string, RegistryValue>> values;
        // Folded value name -> its place in `values`: a key may hold tens of thousands of values.
        std::unordered_map<std::string, size_t> index;
    };

    static std::string fold(std::string_view name);
    // Without leading, trailing or doubled "\": "\a\\b\" names the key "a\b".
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
    // Reads a store file: this program's own (REGEDIT4, UTF-8) or one exported by the Windows
    // registry editor (UTF-16LE with a byte order mark). Lines that cannot be read are skipped and
    // counted; everything else is kept.
    static RegistryParse parse(std::string_view text);

private:
    class Reader;

    Key* find(std::string_view path);
    const Key* find(std::string_view path) const;
    // Creates a key given by a normalized path and its missing parents.
    Key& createNormalized(std::string_view path);
    static void setValue(Key& key, std::string_view name, RegistryValue v);

    std::map<std::string, Key> m_keys; // keyed by the folded path
};

struct RegistryParse {
    RegistryTree tree;
    // Lines that were not understood, a missing header line among them, and lines left out
    // because the key line above them was one of those.
    int skippedLines = 0;

    bool damaged() const { return skippedLines > 0; }
};
