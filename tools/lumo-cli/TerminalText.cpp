#include "TerminalText.h"

#include "platform/TextCodec.h"

namespace {
bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}
} // namespace

QString EscapeControls(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (IsControl(c.unicode()))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

std::string TerminalText(std::string_view raw) {
    return EscapeControls(DecodeRemoteName(raw)).toStdString();
}
