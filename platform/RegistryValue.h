#pragma once

#include <cstdint>
#include <string>

// One value of the settings store: a 32-bit number, a text (bytes, as stored) or raw bytes.
struct RegistryValue {
    enum class Type { Dword, String, Binary };

    Type type = Type::Dword;
    std::uint32_t dword = 0;
    std::string bytes; // text without its terminator, or the binary data

    static RegistryValue fromDword(std::uint32_t v) { return {Type::Dword, v, {}}; }
    static RegistryValue fromString(std::string s) { return {Type::String, 0, std::move(s)}; }
    static RegistryValue fromBinary(std::string b) { return {Type::Binary, 0, std::move(b)}; }

    bool operator==(const RegistryValue&) const = default;
};
