#pragma once

#include <string>

class PageRows;
class QComboBox;

// The connection page's row for the time zone of the server's listed dates, which a mirror
// compares with local times: this computer's zone, or UTC-12:00 to UTC+14:00 in quarter hours.
namespace ServerZoneRow {
QComboBox* Add(PageRows& rows, int labelWidth);
void Show(QComboBox* choice, const std::string& zone);
std::string Chosen(const QComboBox* choice);
} // namespace ServerZoneRow
