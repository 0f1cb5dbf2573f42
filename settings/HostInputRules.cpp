#include "settings/HostInputRules.h"

#include "platform/TextCodec.h"
#include "settings/SettingsKey.h"
#include "settings/StoredLines.h"

#include <algorithm>

namespace {

constexpr long long kPortMax = 65535;

// A decimal number with an optional sign, blanks allowed around it, as an integer field reads it.
std::optional<long long> ReadDecimal(const QString& text, bool allowSign) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (allowSign && i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        negative = t[i++] == QLatin1Char('-');
    if (i == t.size())
        return std::nullopt;
    long long value = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < QLatin1Char('0') || t[i] > QLatin1Char('9'))
            return std::nullopt;
        // Anything this long is out of every range asked for; stop before it could overflow.
        value = std::min(value * 10 + (t[i].unicode() - '0'), 100000000000LL);
    }
    return negative ? -value : value;
}

QString RangeMessage(long long low, long long high) {
    return QStringLiteral("%1 から %2 までの整数を入力してください。").arg(low).arg(high);
}

} // namespace

std::optional<int> ReadHostPort(const QString& text, QString& message) {
    const std::optional<long long> value = ReadDecimal(text, true);
    if (!value) {
        message = QStringLiteral("整数を入力してください。");
        return std::nullopt;
    }
    if (*value < 1 || *value > kPortMax) {
        message = RangeMessage(1, kPortMax);
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::optional<std::uint32_t> ReadUnsignedInRange(const QString& text, std::uint32_t low, std::uint32_t high,
                                                 QString& message) {
    const std::optional<long long> value = ReadDecimal(text, false);
    if (!value) {
        message = QStringLiteral("正の整数を入力してください。");
        return std::nullopt;
    }
    if (*value < low || *value > high) {
        message = RangeMessage(low, high);
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

std::optional<std::uint32_t> ReadFirewallPort(const QString& text, bool firewallUsed, QString& message) {
    return ReadUnsignedInRange(text, firewallUsed ? 1 : 0, kPortMax, message);
}

QString AddressProblem(const QString& text, const QString& what) {
    for (QChar c : text) {
        if (c.isSpace())
            return QStringLiteral("%1に空白や改行を含めることはできません。").arg(what);
    }
    return {};
}

QString LineBreakProblem(const QString& text, const QString& what) {
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')))
        return QStringLiteral("%1に改行を含めることはできません。").arg(what);
    return {};
}

QString TextLengthProblem(std::string_view bytes, const QString& what) {
    const size_t limit = SettingsKey::kStringBuffer - 1;
    if (bytes.size() > limit)
        return QStringLiteral("%1が長すぎます。%2 バイト以内で入力してください。").arg(what).arg(limit);
    return {};
}

QString LinesLengthProblem(const std::string& bytes, const QString& what) {
    const std::vector<std::string> lines = TextLines(bytes);
    for (std::size_t line = 0; line < lines.size(); ++line) {
        if (lines[line].size() + 1 > SettingsKey::kStringBuffer)
            return QStringLiteral("%1の %2 行目が長すぎます。%3 バイト以内で入力してください。")
                .arg(what)
                .arg(line + 1)
                .arg(SettingsKey::kStringBuffer - 1);
    }
    return {};
}

QString PasswordLengthProblem(std::string_view bytes, const QString& what) {
    const size_t limit = SettingsKey::kScrambledMax;
    if (bytes.size() > limit)
        return QStringLiteral("%1が長すぎます。%2 バイト以内で入力してください。").arg(what).arg(limit);
    return {};
}

QString ShownText(std::string_view stored) {
    return DecodeStoredText(stored);
}

std::string TextForStore(std::string_view stored, const QString& shown) {
    if (ShownText(stored) == shown)
        return std::string(stored);
    return EncodeUtf8(shown);
}
