#include "platform/RegistryFormat.h"

#include "platform/HexDigits.h"
#include "platform/TextCodec.h"

#include <QString>
#include <QStringDecoder>

namespace {

const std::string_view kRootPrefix = "HKEY_CURRENT_USER\\";
const std::string_view kHeaderOwn = "REGEDIT4";
// The registry editor's export since Windows 2000: UTF-16LE text, and hex(1)/hex(2) data in UTF-16LE.
const std::string_view kHeaderUnicode = "Windows Registry Editor Version 5.00";

bool isPrintableText(std::string_view s) {
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7f)
            return false;
    }
    return IsValidUtf8(s);
}

bool startsWithNoCase(std::string_view s, std::string_view asciiPrefix) {
    if (s.size() < asciiPrefix.size())
        return false;
    for (size_t i = 0; i < asciiPrefix.size(); ++i) {
        char a = s[i], b = asciiPrefix[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

void trimBlanks(std::string_view& s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
}

void appendQuoted(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

void appendHexBytes(std::string& out, std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (i)
            out += ',';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
}

std::optional<std::string> parseHexBytes(std::string_view s) {
    std::string out;
    out.reserve(s.size() / 3 + 1);
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
    for (++pos;;) {
        // Plain runs go in whole; only an escape needs a look of its own.
        const size_t stop = s.find_first_of("\\\"", pos);
        if (stop == std::string_view::npos || (s[stop] == '\\' && stop + 1 == s.size()))
            return std::nullopt;
        out.append(s.substr(pos, stop - pos));
        if (s[stop] == '"') {
            pos = stop + 1;
            return out;
        }
        out += s[stop + 1];
        pos = stop + 2;
    }
}

// UTF-16LE as UTF-8. `keepBom`: a U+FEFF at the start is text of its own (a value), not a mark.
std::string utf16LeToUtf8(std::string_view bytes, bool keepBom) {
    QStringDecoder decoder(QStringConverter::Utf16LE, keepBom ? QStringConverter::Flag::ConvertInitialBom
                                                              : QStringConverter::Flag::Default);
    const QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return text.toStdString();
}

std::optional<std::uint32_t> parseDword(std::string_view h) {
    if (h.empty() || h.size() > 8)
        return std::nullopt;
    std::uint32_t v = 0;
    for (char c : h) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        v = v * 16 + static_cast<std::uint32_t>(digit);
    }
    return v;
}

// `unicodeHex`: hex(1) and hex(2) texts are UTF-16LE, as the registry editor's version 5 writes them.
std::optional<RegistryValue> parseValueData(std::string_view d, bool unicodeHex) {
    if (!d.empty() && d.front() == '"') {
        size_t pos = 0;
        auto s = parseQuoted(d, pos);
        if (!s || pos != d.size())
            return std::nullopt;
        return RegistryValue::fromString(std::move(*s));
    }
    if (d.rfind("dword:", 0) == 0) {
        const auto v = parseDword(d.substr(6));
        if (!v)
            return std::nullopt;
        return RegistryValue::fromDword(*v);
    }
    if (d.rfind("hex:", 0) == 0) {
        auto b = parseHexBytes(d.substr(4));
        if (!b)
            return std::nullopt;
        return RegistryValue::fromBinary(std::move(*b));
    }
    if (d.rfind("hex(", 0) == 0) {
        const size_t close = d.find("):");
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view kind = d.substr(4, close - 4);
        auto b = parseHexBytes(d.substr(close + 2));
        if (!b)
            return std::nullopt;
        if (kind == "1" || kind == "2") { // text, stored with its terminator
            if (unicodeHex) {
                if (b->size() % 2 != 0)
                    return RegistryValue::fromBinary(std::move(*b));
                *b = utf16LeToUtf8(*b, true);
            }
            if (!b->empty() && b->back() == '\0')
                b->pop_back();
            return RegistryValue::fromString(std::move(*b));
        }
        if (kind == "4" && b->size() == 4) {
            auto u = [&](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>((*b)[i])); };
            return RegistryValue::fromDword(u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24);
        }
        return RegistryValue::fromBinary(std::move(*b));
    }
    return std::nullopt;
}

std::string foldComponent(std::string_view name) {
    bool ascii = true;
    for (unsigned char c : name)
        ascii = ascii && c < 0x80;
    // Bytes that are not UTF-8 fold as ASCII: decoding would make different names one.
    if (ascii || !IsValidUtf8(name)) {
        std::string out(name);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    }
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toCaseFolded().toStdString();
}

} // namespace

std::string RegistryTree::fold(std::string_view name) {
    if (name.find('\\') == std::string_view::npos)
        return foldComponent(name);
    // Each part of a path on its own, so that a parent folds to the start of its children's paths.
    std::string out;
    out.reserve(name.size());
    size_t pos = 0;
    for (;;) {
        const size_t sep = name.find('\\', pos);
        out += foldComponent(name.substr(pos, sep == std::string_view::npos ? sep : sep - pos));
        if (sep == std::string_view::npos)
            return out;
        out += '\\';
        pos = sep + 1;
    }
}

std::string RegistryTree::normalizePath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t sep = path.find('\\', pos);
        if (sep == std::string_view::npos)
            sep = path.size();
        if (sep > pos) {
            if (!out.empty())
                out += '\\';
            out.append(path.substr(pos, sep - pos));
        }
        pos = sep + 1;
    }
    return out;
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

RegistryTree::Key& RegistryTree::createNormalized(std::string_view norm) {
    size_t pos = 0;
    for (;;) {
        const size_t sep = norm.find('\\', pos);
        const std::string_view part = norm.substr(0, sep);
        auto [it, added] = m_keys.try_emplace(fold(part));
        if (added)
            it->second.path = std::string(part);
        if (sep == std::string_view::npos)
            return it->second;
        pos = sep + 1;
    }
}

void RegistryTree::createKey(std::string_view path) {
    const std::string norm = normalizePath(path);
    if (!norm.empty())
        createNormalized(norm);
}

void RegistryTree::removeKey(std::string_view path) {
    m_keys.erase(fold(normalizePath(path)));
}

const RegistryValue* RegistryTree::value(std::string_view key, std::string_view name) const {
    const Key* k = find(key);
    if (!k)
        return nullptr;
    auto it = k->index.find(fold(name));
    return it == k->index.end() ? nullptr : &k->values[it->second].second;
}

void RegistryTree::setValue(std::string_view key, std::string_view name, RegistryValue v) {
    if (Key* k = find(key))
        setValue(*k, name, std::move(v));
}

void RegistryTree::setValue(Key& k, std::string_view name, RegistryValue v) {
    auto [it, added] = k.index.try_emplace(fold(name), k.values.size());
    if (added)
        k.values.emplace_back(std::string(name), std::move(v));
    else
        k.values[it->second].second = std::move(v);
}

std::string RegistryTree::serialize() const {
    std::string out = "REGEDIT4\n";
    for (const auto& [folded, key] : m_keys) {
        out += "\n[";
        out += kRootPrefix;
        out += key.path;
        out += "]\n";
        for (const auto& [name, v] : key.values) {
            if (name.empty())
                out += '@';
            else
                appendQuoted(out, name);
            out += '=';
            switch (v.type) {
            case RegistryValue::Type::Dword: {
                static const char digits[] = "0123456789abcdef";
                out += "dword:";
                for (int shift = 28; shift >= 0; shift -= 4)
                    out += digits[(v.dword >> shift) & 15];
                break;
            }
            case RegistryValue::Type::String:
                if (isPrintableText(v.bytes)) {
                    appendQuoted(out, v.bytes);
                } else {
                    out += "hex(1):";
                    appendHexBytes(out, v.bytes);
                    out += v.bytes.empty() ? "00" : ",00";
                }
                break;
            case RegistryValue::Type::Binary:
                out += "hex:";
                appendHexBytes(out, v.bytes);
                break;
            }
            out += '\n';
        }
    }
    return out;
}

// Reads the lines of one store file into a tree, one logical line at a time.
class RegistryTree::Reader {
public:
    explicit Reader(RegistryParse& out) : m_out(out) {}

    void line(std::string_view line) {
        trimBlanks(line);
        if (line.empty() || line.front() == ';')
            return;
        if (m_header == Header::None) {
            m_header = line == kHeaderOwn       ? Header::Own
                       : line == kHeaderUnicode ? Header::Unicode
                                                : Header::Missing;
            if (m_header != Header::Missing)
                return;
            ++m_out.skippedLines; // the header is gone; the lines after it may still be whole
        }
        if (line.front() == '[') {
            keyLine(line);
            return;
        }
        if (!m_key || !valueLine(line))
            ++m_out.skippedLines;
    }

private:
    enum class Header { None, Own, Unicode, Missing };

    void keyLine(std::string_view line) {
        // Until a readable key line comes, the values that follow belong to no key we know.
        m_key = nullptr;
        if (line.back() != ']' || !startsWithNoCase(line.substr(1), kRootPrefix)) {
            ++m_out.skippedLines;
            return;
        }
        const std::string path = RegistryTree::normalizePath(
            line.substr(1 + kRootPrefix.size(), line.size() - 2 - kRootPrefix.size()));
        if (path.empty()) {
            ++m_out.skippedLines;
            return;
        }
        m_key = &m_out.tree.createNormalized(path);
    }

    bool valueLine(std::string_view line) {
        std::string name;
        size_t p = 0;
        if (line.front() == '@') {
            p = 1;
        } else {
            auto n = parseQuoted(line, p);
            if (!n)
                return false;
            name = std::move(*n);
        }
        if (p >= line.size() || line[p] != '=')
            return false;
        auto v = parseValueData(line.substr(p + 1), m_header == Header::Unicode);
        if (!v)
            return false;
        setValue(*m_key, name, std::move(*v));
        return true;
    }

    RegistryParse& m_out;
    Header m_header = Header::None;
    // Keys live in a map: the pointer stays good while others are added.
    Key* m_key = nullptr;
};

RegistryParse RegistryTree::parse(std::string_view text) {
    std::string converted;
    if (text.rfind("\xFF\xFE", 0) == 0) {
        converted = utf16LeToUtf8(text, false);
        text = converted;
    } else if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.remove_prefix(3);
    }

    RegistryParse out;
    Reader reader(out);
    // A hex list may go on over several lines, each but the last ending in "\".
    std::string continued;
    bool continuing = false;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        const size_t end = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        const bool more = !line.empty() && line.back() == '\\';
        if (!continuing && !(more && line.find("=hex") != std::string_view::npos)) {
            reader.line(line);
            continue;
        }
        if (!continuing)
            continued.clear();
        continued.append(more ? line.substr(0, line.size() - 1) : line);
        continuing = more;
        if (!continuing)
            reader.line(continued);
    }
    if (continuing)
        reader.line(continued);
    return out;
}
