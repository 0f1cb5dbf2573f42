#pragma once

#include "hosts/ImportEntry.h"

#include <QByteArray>

// The stored sessions of WinSCP's WinSCP.ini ([Sessions\...] sections), FTP ones imported and the
// others left out with the reason. A session's folders come in front of its name.
ImportSource ReadWinScpSessions(const QByteArray& ini);
