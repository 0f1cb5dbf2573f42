#include "platform/TextCodec.h"

#include "platform/NameCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (int k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

namespace {

// The names of the session the window or lumo-cli shows.
NameCodec g_shownNames;

const char* CodecName(RemoteCharset set) {
    switch (set) {
    case RemoteCharset::EucJp:
        return "EUC-JP";
    case RemoteCharset::Jis:
        return "ISO-2022-JP";
    default:
        return "CP932";
    }
}

QString DecodeLegacy(const char* codec, std::string_view bytes) {
    QStringDecoder decoder(codec);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string EncodeLegacy(const char* codec, const QString& text) {
    QStringEncoder encoder(codec);
    if (!encoder.isValid())
        return text.toLatin1().toStdString();
    QByteArray out = encoder.encode(text);
    if (encoder.hasError()) {
        // The converter puts its own substitute (for CP932 0xFC 0xFC, no character of the set)
        // where a character cannot be held; such a character becomes "?" instead, one for each.
        out.clear();
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            QStringEncoder one(codec);
            const QByteArray bytes = one.encode(QStringView(text).mid(i, n));
            out += one.hasError() ? QByteArray("?") : bytes;
            i += n;
        }
    }
    return std::string(out.constData(), static_cast<size_t>(out.size()));
}

} // namespace

QString DecodeCp932(std::string_view bytes) {
    return DecodeLegacy("CP932", bytes);
}

std::string EncodeCp932(const QString& text) {
    return EncodeLegacy("CP932", text);
}

bool IsValidEucJp(std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80)
            continue;
        auto inRange = [&](size_t at, unsigned char lo, unsigned char hi) {
            if (at >= s.size())
                return false;
            const unsigned char b = static_cast<unsigned char>(s[at]);
            return b >= lo && b <= hi;
        };
        if (c == 0x8E && inRange(i + 1, 0xA1, 0xDF)) {
            i += 1;
        } else if (c == 0x8F && inRange(i + 1, 0xA1, 0xFE) && inRange(i + 2, 0xA1, 0xFE)) {
            i += 2;
        } else if (c >= 0xA1 && c <= 0xFE && inRange(i + 1, 0xA1, 0xFE)) {
            i += 1;
        } else {
            return false;
        }
    }
    return true;
}

RemoteCharset RemoteCharsetOfNumber(int number) {
    return number >= 0 && number < kRemoteCharsetCount ? static_cast<RemoteCharset>(number)
                                                       : RemoteCharset::Auto;
}

QString RemoteCharsetLabel(RemoteCharset set) {
    switch (set) {
    case RemoteCharset::Utf8:
        return QStringLiteral("UTF-8");
    case RemoteCharset::ShiftJis:
        return QStringLiteral("Shift_JIS (CP932)");
    case RemoteCharset::EucJp:
        return QStringLiteral("EUC-JP");
    case RemoteCharset::Jis:
        return QStringLiteral("JIS (ISO-2022-JP)");
    default:
        return QStringLiteral("自動");
    }
}

bool RemoteCharsetFromName(std::string_view name, RemoteCharset& set) {
    static const struct {
        const char* name;
        RemoteCharset set;
    } names[] = {{"auto", RemoteCharset::Auto},
                 {"自動", RemoteCharset::Auto},
                 {"utf-8", RemoteCharset::Utf8},
                 {"utf8", RemoteCharset::Utf8},
                 {"shift_jis", RemoteCharset::ShiftJis},
                 {"shift-jis", RemoteCharset::ShiftJis},
                 {"sjis", RemoteCharset::ShiftJis},
                 {"cp932", RemoteCharset::ShiftJis},
                 {"euc-jp", RemoteCharset::EucJp},
                 {"eucjp", RemoteCharset::EucJp},
                 {"jis", RemoteCharset::Jis},
                 {"iso-2022-jp", RemoteCharset::Jis}};
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toLower();
    for (const auto& n : names) {
        if (wanted == QString::fromUtf8(n.name)) {
            set = n.set;
            return true;
        }
    }
    return false;
}

QString DecodeIn(RemoteCharset set, std::string_view bytes) {
    switch (set) {
    case RemoteCharset::Utf8:
        return DecodeUtf8(bytes);
    case RemoteCharset::Auto:
        return IsValidUtf8(bytes) ? DecodeUtf8(bytes) : DecodeCp932(bytes);
    default:
        return DecodeLegacy(CodecName(set), bytes);
    }
}

std::string EncodeIn(RemoteCharset set, const QString& text) {
    return set == RemoteCharset::Utf8 || set == RemoteCharset::Auto ? EncodeUtf8(text)
                                                                    : EncodeLegacy(CodecName(set), text);
}

void SetShownNames(const NameCodec& names) {
    g_shownNames = names;
}

const NameCodec& ShownNames() {
    return g_shownNames;
}

QString DecodeUtf8(std::string_view bytes) {
    // A leading EF BB BF is a character of the text (a name may begin with U+FEFF), not a mark to
    // drop: the text must encode back to the same bytes.
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string EncodeUtf8(const QString& text) {
    return text.toStdString();
}

QString DecodeRemoteName(std::string_view raw) {
    return g_shownNames.Decode(raw);
}

bool ReadsAsAscii(std::string_view raw) {
    for (char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x7e || b == '\\')
            return false;
    }
    return true;
}

QString DecodeMixedText(std::string_view bytes) {
    return g_shownNames.DecodeMixed(bytes);
}

QString DecodeStoredText(std::string_view bytes) {
    return DecodeIn(RemoteCharset::Auto, bytes);
}

std::string EncodeRemoteName(const QString& text) {
    return g_shownNames.Encode(text);
}

RemoteName RemoteName::fromRaw(std::string raw) {
    RemoteName n;
    n.utf8 = IsValidUtf8(raw);
    n.display = DecodeRemoteName(raw);
    n.raw = std::move(raw);
    return n;
}
