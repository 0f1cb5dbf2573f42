#include "settings/SettingsKey.h"

#include "platform/RegistryFormat.h"
#include "platform/RegistryStore.h"

SettingsKey::SettingsKey() : m_store(RegistryStore::global()) {}

SettingsKey::SettingsKey(RegistryStore& store) : m_store(store) {}

SettingsKey::~SettingsKey() {
    Close();
}

std::string SettingsKey::FamilyPath(KeyFamily family, std::string_view suffix) {
    std::string path = "Software\\lumo\\";
    switch (family) {
    case KeyFamily::Root:
        path += suffix;
        break;
    case KeyFamily::Host:
        path += "Host\\";
        path += suffix;
        break;
    case KeyFamily::TreeIcon:
        path += "TreeIcon\\";
        break;
    case KeyFamily::System:
        path += "system\\";
        break;
    case KeyFamily::Profile:
        path += "lumo\\";
        path += suffix;
        break;
    case KeyFamily::Option:
        path += "option\\";
        break;
    }
    return path;
}

bool SettingsKey::OpenKey(KeyFamily family, std::string_view suffix) {
    Close();
    std::string path = RegistryTree::normalizePath(FamilyPath(family, suffix));
    if (!m_store.keyExists(path))
        return false;
    m_path = std::move(path);
    m_open = true;
    return true;
}

bool SettingsKey::CreateKey(KeyFamily family, std::string_view suffix) {
    if (family == KeyFamily::Root)
        return OpenKey(family, suffix);
    Close();
    std::string path = RegistryTree::normalizePath(FamilyPath(family, suffix));
    if (!m_store.createKey(path))
        return false;
    m_path = std::move(path);
    m_open = true;
    return true;
}

void SettingsKey::Close() {
    m_open = false;
    m_path.clear();
}

std::uint32_t SettingsKey::ReadDword(std::string_view name, std::uint32_t def) const {
    if (!m_open || name.empty())
        return def;
    auto v = m_store.value(m_path, name);
    if (!v || v->type != RegistryValue::Type::Dword)
        return def;
    return v->dword;
}

std::string SettingsKey::ReadString(std::string_view name, std::string_view def) const {
    if (!m_open)
        return std::string(def);
    auto v = m_store.value(m_path, name);
    if (!v || v->type != RegistryValue::Type::String || v->bytes.size() + 1 > kStringBuffer)
        return std::string(def);
    // A text ends at its first NUL, as it would in the fixed buffer it is read into.
    return v->bytes.substr(0, v->bytes.find('\0'));
}

std::string SettingsKey::ReadScrambled(std::string_view name) const {
    if (!m_open)
        return {};
    auto v = m_store.value(m_path, name);
    if (!v || v->type != RegistryValue::Type::Binary || v->bytes.size() > kScrambledFetch)
        return {};
    return Unscramble(v->bytes);
}

bool SettingsKey::WriteDword(std::string_view name, std::uint32_t value) {
    return m_open && m_store.setValue(m_path, name, RegistryValue::fromDword(value));
}

bool SettingsKey::WriteString(std::string_view name, std::string_view text) {
    return m_open && m_store.setValue(m_path, name, RegistryValue::fromString(std::string(text)));
}

bool SettingsKey::WriteScrambled(std::string_view name, std::string_view text) {
    return m_open && m_store.setValue(m_path, name, RegistryValue::fromBinary(Scramble(text)));
}

bool SettingsKey::DeleteSubkey(std::string_view name) {
    if (!m_open || name.empty())
        return false;
    return m_store.deleteKey(m_path + "\\" + std::string(name));
}

std::string SettingsKey::Scramble(std::string_view text) {
    std::string out(text.substr(0, kScrambledMax));
    for (char& c : out)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return out;
}

std::string SettingsKey::Unscramble(std::string_view stored) {
    std::string out(stored.substr(0, kScrambledMax));
    for (char& c : out)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    // The text ends at its first NUL, as a C string would.
    return out.substr(0, out.find('\0'));
}
