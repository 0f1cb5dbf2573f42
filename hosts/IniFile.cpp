#include "hosts/IniFile.h"

#include "platform/TextCodec.h"

#include <QStringList>

QString IniSection::Value(const QString& key, const QString& fallback) const {
    for (const auto& [k, v] : values) {
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    }
    return fallback;
}

bool IniSection::Has(const QString& key) const {
    for (const auto& value : values) {
        if (value.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool ParseIni(const QByteArray& bytes, std::vector<IniSection>& sections, std::string& problem) {
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    const QString text =
        DecodeStoredText(std::string_view(body.constData(), static_cast<size_t>(body.size())));
    const QStringList lines = text.split(QLatin1Char('\n'));
    std::vector<IniSection> read;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            read.push_back(IniSection{line.mid(1, line.size() - 2).trimmed(), {}});
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0 || read.empty()) {
            problem = "INI ファイルの " + std::to_string(n + 1) + " 行目を読み取れません";
            return false;
        }
        read.back().values.emplace_back(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    sections = std::move(read);
    return true;
}
