#pragma once

#include <QString>

// The program's temporary folder, looked up each time it is needed. The user's own folder (`temp`,
// when `systemp` is 0) is used when a file "tmp" can be created in it; otherwise the system's
// temporary folder + "lumo/", created when missing. The result ends with "/"; it is empty when no
// folder can be had.
QString GetTempFolder();
