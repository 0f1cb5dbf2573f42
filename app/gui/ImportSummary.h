#pragma once

class QWidget;
struct ImportReport;

// What an import of hosts did, in a modal box: how many hosts were imported, then a line for each
// host of the file, with what was not carried over or why it was left out. A file that could not
// be read, or hosts that could not be stored, are said as a warning instead.
void ShowImportSummary(QWidget* parent, const ImportReport& report);
