#pragma once

#include <QString>

// The program's temporary folder, looked up each time it is needed. The user's own folder (`temp`,
// when `systemp` is 0) is used when a file "tmp" can be created in it; otherwise the system's
// temporary folder + "lumo/", created when missing. The result ends with "/"; it is empty when no
// folder can be had.
QString GetTempFolder();

// The system's temporary folder + "lumo/", without creating it; empty when the system has none.
QString SystemTempFolder();

// Why a folder the user typed cannot serve as the temporary folder (it must be a full path to a
// folder in which files can be created), or "" when it can.
QString TempFolderProblem(const QString& folder);
