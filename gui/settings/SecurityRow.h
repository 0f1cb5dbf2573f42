#pragma once

class PageRows;
class QComboBox;
class QLineEdit;

// The connection page's row for how a host's session is protected: none, explicit TLS, explicit
// TLS when the server offers it, or implicit TLS. A row of its own so that the page can gain other
// rows beside it.
namespace SecurityRow {
// Adds the label and the drop-down as a row of `rows`, its entries in HostSecurity's order.
QComboBox* Add(PageRows& rows, int labelWidth);
void Show(QComboBox* choice, int security);
int Chosen(const QComboBox* choice);
// Implicit TLS has a port of its own: choosing it moves a port of 21 to 990, and choosing anything
// else moves 990 back to 21. Any other port is the user's and stays.
void KeepPortInStep(QComboBox* choice, QLineEdit* port);
} // namespace SecurityRow
