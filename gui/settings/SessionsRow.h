#pragma once

class PageRows;
class QComboBox;

// The connection page's row for how many sessions transfer a run of many files for the host: the
// options' count (stored as 0), or a count of its own from 1 to 10.
namespace SessionsRow {
// Adds the label and the drop-down as a row of `rows`; entry n stands for the stored n.
QComboBox* Add(PageRows& rows, int labelWidth);
void Show(QComboBox* choice, int sessions);
int Chosen(const QComboBox* choice);
} // namespace SessionsRow
