#pragma once

#include <QObject>

class PageRows;
class QComboBox;
struct HostRecord;

// The row of the connection page that chooses the character set of the server's names: 自動 (the
// server says, or each name is guessed), UTF-8, Shift_JIS, EUC-JP or JIS.
class CharsetRow {
public:
    CharsetRow(PageRows& rows, int labelWidth);

    void Load(const HostRecord& host);
    void Store(HostRecord& host) const;
    QComboBox* Box() const { return m_box; }

private:
    QComboBox* m_box;
};
