#include "platform/RegistryFormat.h"

#include "platform/HexDigits.h"
#include "platform/TextCodec.h"

#include <QString>

#include <cstdio>

namespace {

const std::string_view kRootPrefix = "HKEY_CURRENT_USER\\";

bool isPrintableText(std::string_view s) {
    if (!IsValidUtf8(s))
        return false;
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7f)
            return false;
    }
    return true;
}

std::string quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string hexBytes(std::string_view bytes) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
        if (i)
            out += ',';
        out += buf;
    }
    return out;
}

std::optional<std::string> parseHexBytes(std::string_view s) {
    std::string out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        if (i == s.size())
            break;
        if (i + 1 >= s.size() || HexDigitValue(s[i]) < 0 || HexDigitValue(s[i + 1]) < 0)
            return std::nullopt;
        out += static_cast<char>(HexDigitValue(s[i]) * 16 + HexDigitValue(s[i + 1]));
        i += 2;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        if (i < s.size()) {
            if (s[i] != ',')
                return std::nullopt;
            ++i;
        }
    }
    return out;
}

// Reads a quoted string starting at s[pos] == '"'; leaves pos after the closing quote.
std::optional<std::string> parseQuoted(std::string_view s, size_t& pos) {
    if (pos >= s.size() || s[pos] != '"')
        return std::nullopt;
    std::string out;
    for (++pos; pos < s.size(); ++pos) {
        char c = s[pos];
        if (c == '\\') {
            if (++pos == s.size())
                return std::nullopt;
            out += s[pos];
        } else if (c == '"') {
            ++pos;
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::optional<RegistryValue> parseValueData(std::string_view d) {
    if (!d.empty() && d.front() == '"') {
        size_t pos = 0;
        auto s = parseQuoted(d, pos);
        if (!s || pos != d.size())
            return std::nullopt;
        return RegistryValue::fromString(*s);
    }
    if (d.rfind("dword:", 0) == 0) {
        std::string_view h = d.substr(6);
        if (h.empty() || h.size() > 8)
            return std::nullopt;
        std::uint32_t v = 0;
        for (char c : h) {
            int digit = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
            if (digit < 0)
                return std::nullopt;
            v = v * 16 + static_cast<std::uint32_t>(digit);
        }
        return RegistryValue::fromDword(v);
    }
    if (d.rfind("hex:", 0) == 0) {
        auto b = parseHexBytes(d.substr(4));
        if (!b)
            return std::nullopt;
        return RegistryValue::fromBinary(*b);
    }
    if (d.rfind("hex(", 0) == 0) {
        size_t close = d.find("):");
        if (close == std::string_view::npos)
            return std::nullopt;
        std::string_view kind = d.substr(4, close - 4);
        auto b = parseHexBytes(d.substr(close + 2));
        if (!b)
            return std::nullopt;
        if (kind == "1" || kind == "2") { // text, stored with its terminator
            if (!b->empty() && b->back() == '\0')
                b->pop_back();
            return RegistryValue::fromString(*b);
        }
        if (kind == "4" && b->size() == 4) {
            auto u = [&](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>((*b)[i])); };
            return RegistryValue::fromDword(u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24);
        }
        return RegistryValue::fromBinary(*b);
    }
    return std::nullopt;
}

} // namespace

std::string RegistryTree::fold(std::string_view name) {
    bool ascii = true;
    for (unsigned char c : name)
        ascii = ascii && c < 0x80;
    if (ascii) {
        std::string out(name);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    }
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toCaseFolded().toStdString();
}

std::string RegistryTree::normalizePath(std::string_view path) {
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    while (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    return std::string(path);
}

RegistryTree::Key* RegistryTree::find(std::string_view path) {
    auto it = m_keys.find(fold(normalizePath(path)));
    return it == m_keys.end() ? nullptr : &it->second;
}

const RegistryTree::Key* RegistryTree::find(std::string_view path) const {
    auto it = m_keys.find(fold(normalizePath(path)));
    return it == m_keys.end() ? nullptr : &it->second;
}

bool RegistryTree::hasKey(std::string_view path) const {
    return find(path) != nullptr;
}

bool RegistryTree::hasSubkeys(std::string_view path) const {
    std::string prefix = fold(normalizePath(path)) + '\\';
    auto it = m_keys.lower_bound(prefix);
    return it != m_keys.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

void RegistryTree::createKey(std::string_view path) {
    std::string norm = normalizePath(path);
    if (norm.empty())
        return;
    size_t pos = 0;
    for (;;) {
        size_t sep = norm.find('\\', pos);
        std::string part = norm.substr(0, sep);
        std::string key = fold(part);
        if (!m_keys.count(key))
            m_keys.emplace(key, Key{part, {}});
        if (sep == std::string::npos)
            break;
        pos = sep + 1;
    }
}

void RegistryTree::removeKey(std::string_view path) {
    m_keys.erase(fold(normalizePath(path)));
}

const RegistryValue* RegistryTree::value(std::string_view key, std::string_view name) const {
    const Key* k = find(key);
    if (!k)
        return nullptr;
    std::string folded = fold(name);
    for (const auto& [n, v] : k->values) {
        if (fold(n) == folded)
            return &v;
    }
    return nullptr;
}

void RegistryTree::setValue(std::string_view key, std::string_view name, RegistryValue v) {
    Key* k = find(key);
    if (!k)
        return;
    std::string folded = fold(name);
    for (auto& [n, old] : k->values) {
        if (fold(n) == folded) {
            old = std::move(v);
            return;
        }
    }
    k->values.emplace_back(std::string(name), std::move(v));
}

std::string RegistryTree::serialize() const {
    std::string out = "REGEDIT4\n";
    char buf[16];
    for (const auto& [folded, key] : m_keys) {
        out += "\n[";
        out += kRootPrefix;
        out += key.path;
        out += "]\n";
        for (const auto& [name, v] : key.values) {
            out += name.empty() ? std::string("@") : quote(name);
            out += '=';
            switch (v.type) {
            case RegistryValue::Type::Dword:
                std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
                out += buf;
                break;
            case RegistryValue::Type::String:
                if (isPrintableText(v.bytes))
                    out += quote(v.bytes);
                else
                    out += "hex(1):" + hexBytes(v.bytes + std::string(1, '\0'));
                break;
            case RegistryValue::Type::Binary:
                out += "hex:" + hexBytes(v.bytes);
                break;
            }
            out += '\n';
        }
    }
    return out;
}

std::optional<RegistryTree> RegistryTree::parse(std::string_view text) {
    // Join continuation lines (a trailing "\" outside quotes, as in hex lists) and drop CRs.
    std::vector<std::string> lines;
    std::string current;
    size_t pos = 0;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        pos = 3;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        bool inHex = current.find("=hex") != std::string::npos ||
                     (!line.empty() && line.find("=hex") != std::string_view::npos);
        if (inHex && !line.empty() && line.back() == '\\') {
            line.remove_suffix(1);
            current += line;
        } else {
            current += line;
            lines.push_back(std::move(current));
            current.clear();
        }
        if (nl == std::string_view::npos)
            break;
        pos = nl + 1;
    }

    RegistryTree tree;
    bool header = false;
    std::string currentKey;
    for (std::string& raw : lines) {
        std::string_view line = raw;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == ';')
            continue;
        if (!header) {
            if (line != "REGEDIT4" && line != "Windows Registry Editor Version 5.00")
                return std::nullopt;
            header = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']')
                return std::nullopt;
            std::string_view path = line.substr(1, line.size() - 2);
            if (fold(path.substr(0, kRootPrefix.size())) != fold(kRootPrefix))
                return std::nullopt;
            currentKey = normalizePath(path.substr(kRootPrefix.size()));
            if (currentKey.empty())
                return std::nullopt;
            tree.createKey(currentKey);
            continue;
        }
        if (currentKey.empty())
            return std::nullopt;
        std::string name;
        size_t p = 0;
        if (line.front() == '@') {
            p = 1;
        } else {
            auto n = parseQuoted(line, p);
            if (!n)
                return std::nullopt;
            name = *n;
        }
        if (p >= line.size() || line[p] != '=')
            return std::nullopt;
        auto v = parseValueData(line.substr(p + 1));
        if (!v)
            return std::nullopt;
        tree.setValue(currentKey, name, std::move(*v));
    }
    if (!header)
        return text.find_first_not_of(" \t\r\n") == std::string_view::npos ? std::optional(tree)
                                                                           : std::nullopt;
    return tree;
}
