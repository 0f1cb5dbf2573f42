#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <utility>
#include <vector>

// One [section] of an INI file, its values in the file's order.
struct IniSection {
    QString name;
    std::vector<std::pair<QString, QString>> values;

    // The value of a key, compared without regard to case as Windows does; `fallback` when absent.
    QString Value(const QString& key, const QString& fallback = {}) const;
    bool Has(const QString& key) const;
};

// The sections of a Windows INI file: "[name]" lines open a section, "key=value" lines fill it, ";"
// and "#" lines are comments. Blanks around names and values do not count; the first "=" ends the
// key. A line that is none of these (or a value before the first section) makes the file unreadable:
// false, with the line's number in `problem`. The text is UTF-8 (a byte order mark is skipped), or
// CP932 when it is not.
bool ParseIni(const QByteArray& bytes, std::vector<IniSection>& sections, std::string& problem);
