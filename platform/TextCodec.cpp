#include "platform/TextCodec.h"

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

QString DecodeCp932(std::string_view bytes) {
    QStringDecoder decoder("CP932");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string EncodeCp932(const QString& text) {
    QStringEncoder encoder("CP932");
    if (!encoder.isValid())
        return text.toLatin1().toStdString();
    QByteArray out = encoder.encode(text);
    if (encoder.hasError()) {
        // The converter puts its own two-byte substitute (0xFC 0xFC, no character of CP932) where a
        // character cannot be held; such a character becomes "?" instead, one for each.
        out.clear();
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            QStringEncoder one("CP932");
            const QByteArray bytes = one.encode(QStringView(text).mid(i, n));
            out += one.hasError() ? QByteArray("?") : bytes;
            i += n;
        }
    }
    return std::string(out.constData(), static_cast<size_t>(out.size()));
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
    return IsValidUtf8(raw) ? DecodeUtf8(raw) : DecodeCp932(raw);
}

RemoteName RemoteName::fromRaw(std::string raw) {
    RemoteName n;
    n.utf8 = IsValidUtf8(raw);
    n.display = n.utf8 ? DecodeUtf8(raw) : DecodeCp932(raw);
    n.raw = std::move(raw);
    return n;
}
