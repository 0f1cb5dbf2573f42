#pragma once

#include "hosts/HostRecord.h"

#include <QString>

#include <string>

// Where a host's downloads go: its own download folder, or for a host without one the desktop's
// download folder (never the temporary folder, which may be emptied at exit).
struct DownloadFolderChoice {
    std::string folder; // the local path as the file system names it; empty when none can be had
    QString problem;    // when `folder` is empty: why, for the user
};
DownloadFolderChoice DownloadFolderFor(const HostRecord& host);

// The desktop's download folder (the home folder when the desktop names none), as a hint for a host
// without a download folder of its own.
QString DefaultDownloadFolder();
