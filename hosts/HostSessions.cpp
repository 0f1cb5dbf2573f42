#include "hosts/HostSessions.h"

int TransferSessionsFor(const HostRecord& host) {
    if (host.Sessions >= TransferSessions::Min && host.Sessions <= TransferSessions::Max)
        return host.Sessions;
    return DefaultTransferSessions();
}
