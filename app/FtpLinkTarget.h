#pragma once

#include "engine/FtpAddress.h"
#include "hosts/HostRecord.h"

#include <string>

// Where an ftp:// link leads: a registered host, used with its own settings, or a one-off host that
// lives for one session and is never stored.
struct FtpLinkTarget {
    HostRecord host;
    int hostNumber = -1; // -1 for a one-off host
    std::string path;    // the folder to go to once logged in; empty for the login folder
};

// A registered host matches when its address (in any case), port and user are the link's; an
// anonymous link (no user, or "anonymous") also matches a host that logs in anonymously.
FtpLinkTarget ResolveFtpLink(const FtpUrl& url, const HostList& hosts);

// The address as it may be shown: no password, and no user for an anonymous one.
std::string ShownFtpAddress(const FtpUrl& url);
