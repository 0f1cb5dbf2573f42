#include "platform/NameCodec.h"

QString NameCodec::Decode(std::string_view raw) const {
    if (m_set != RemoteCharset::Auto)
        return DecodeIn(m_set, raw);
    if (IsValidUtf8(raw))
        return DecodeUtf8(raw);
    return DecodeIn(m_legacySet == RemoteCharset::EucJp ? RemoteCharset::EucJp : RemoteCharset::ShiftJis,
                    raw);
}

std::string NameCodec::Encode(const QString& text) const {
    return EncodeIn(m_set != RemoteCharset::Auto ? m_set : m_legacySet, text);
}

QString NameCodec::DecodeMixed(std::string_view bytes) const {
    return IsValidUtf8(bytes) ? DecodeUtf8(bytes) : Decode(bytes);
}
