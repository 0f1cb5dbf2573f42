#pragma once

#include <QString>

#include <string>
#include <string_view>

// The log as the log file keeps it: CP932 text with every line ended by CR LF. Each line is read as
// the log pane shows it (UTF-8 when its bytes are UTF-8, else the server's CP932); characters CP932
// cannot hold become "?".
std::string LogFileBytes(std::string_view logText);

// Writes the file whole or leaves what was there: false, with the system's reason, when it cannot.
bool WriteLogFile(const QString& path, const std::string& bytes, QString* error);
