#include "engine/LocalNames.h"

#include "platform/TextCodec.h"

bool IsSafeLocalName(std::string_view raw) {
    if (raw.empty() || raw == "." || raw == ".." || raw.find('/') != std::string_view::npos ||
        raw.find('\0') != std::string_view::npos)
        return false;
    const QString shown = DecodeRemoteName(raw);
    return !shown.isEmpty() && shown != QLatin1String(".") && shown != QLatin1String("..") &&
           !shown.contains(QLatin1Char('/')) && !shown.contains(QChar(0));
}

QString LocalNameFor(std::string_view raw) {
    // Composed, as names on Linux (and in every other program here) are: a decomposed name from
    // a server would look the same and still be another file.
    return DecodeRemoteName(raw).normalized(QString::NormalizationForm_C);
}

QString NumberedName(const QString& name, int number) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString mark = QStringLiteral(" (%1)").arg(number);
    if (dot <= 0)
        return name + mark;
    return name.left(dot) + mark + name.mid(dot);
}
