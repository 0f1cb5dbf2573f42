#include "engine/LocalNames.h"

#include "platform/NameCodec.h"

bool IsOneEntryName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

bool IsSafeLocalName(std::string_view raw, const NameCodec& names) {
    // The decoded name is checked as UTF-8, whose bytes hold "/", "." and NUL only as themselves.
    return IsOneEntryName(raw) && IsOneEntryName(names.Decode(raw).toStdString());
}

QString LocalNameFor(std::string_view raw, const NameCodec& names) {
    // Composed, as names on Linux (and in every other program here) are: a decomposed name from
    // a server would look the same and still be another file.
    return names.Decode(raw).normalized(QString::NormalizationForm_C);
}

QString NumberedName(const QString& name, int number) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString mark = QStringLiteral(" (%1)").arg(number);
    if (dot <= 0)
        return name + mark;
    return name.left(dot) + mark + name.mid(dot);
}
