#pragma once

#include "platform/RegistryStore.h"

#include <cstdint>
#include <string>
#include <string_view>

// The fixed key families below the user's Software\lumo\ key.
enum class KeyFamily {
    Root,     // Software\lumo\ + suffix; never created by writers
    Host,     // Software\lumo\Host\ + suffix ("" or "Host%d")
    TreeIcon, // Software\lumo\TreeIcon\ .
    System,   // Software\lumo\system\ .
    Profile,  // Software\lumo\lumo\ + suffix ("Window", "view", "rebar", "list", "Log" or "")
    Option,   // Software\lumo\option\ .
};

// The one way every part of the program reads and writes settings. Holds at most one open key;
// every open or create first closes the key held before. Reads fall back to the caller's default;
// writes report success but callers may ignore it, as a failed settings write is silent.
class SettingsKey {
public:
    SettingsKey();
    explicit SettingsKey(RegistryStore& store);
    ~SettingsKey();
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    static std::string FamilyPath(KeyFamily family, std::string_view suffix = {});

    bool OpenKey(KeyFamily family, std::string_view suffix = {});
    bool CreateKey(KeyFamily family, std::string_view suffix = {});
    bool IsOpen() const { return m_open; }
    void Close();

    std::uint32_t ReadDword(std::string_view name, std::uint32_t def) const;
    std::string ReadString(std::string_view name, std::string_view def) const;
    std::string ReadScrambled(std::string_view name) const;

    bool WriteDword(std::string_view name, std::uint32_t value);
    bool WriteString(std::string_view name, std::string_view text);
    bool WriteScrambled(std::string_view name, std::string_view text);

    // Deletes the immediate subkey with its values; a subkey with subkeys of its own stays.
    bool DeleteSubkey(std::string_view name);

    // Texts must fit with their terminator in this many bytes.
    static constexpr size_t kStringBuffer = 300;
    // Scrambled texts are fetched up to this size and kept up to kScrambledMax bytes.
    static constexpr size_t kScrambledFetch = 500;
    static constexpr size_t kScrambledMax = 400;

    static std::string Scramble(std::string_view text);
    static std::string Unscramble(std::string_view stored);

private:
    RegistryStore& m_store;
    std::string m_path;
    bool m_open = false;
};

// Makes the settings writes of its lifetime reach the disk as one write (a whole host record, a whole
// settings sheet), instead of one locked rewrite of the file per value.
class SettingsBatch {
public:
    SettingsBatch() : m_batch(RegistryStore::global()) {}
    explicit SettingsBatch(RegistryStore& store) : m_batch(store) {}

    // False when the store could not be locked: writes made now would reach the disk one by one,
    // so a caller that must write all or nothing writes nothing.
    bool IsHeld() const { return m_batch.held(); }

private:
    RegistryStore::Batch m_batch;
};
