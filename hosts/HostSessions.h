#pragma once

#include "hosts/HostRecord.h"
#include "settings/TransferSessions.h"

// The number of sessions that transfer a run of many files for this host: the host's own count when
// it names one, the options' count (read from the store now) otherwise, as for an address that is
// no stored host.
int TransferSessionsFor(const HostRecord& host);
