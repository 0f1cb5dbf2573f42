#pragma once

#include "hosts/HostRecord.h"

#include <QObject>
#include <QString>

#include <string>

class CMainFrame;

// Opens ftp:// links in the main window: from the command line, or handed over by a second start.
// The link's host is connected (a registered one with its own settings, brought to the top of the
// tree), and once the login's listing is done the window goes to the link's folder.
class FtpLinkOpener : public QObject {
    Q_OBJECT
public:
    explicit FtpLinkOpener(CMainFrame& frame, QObject* parent = nullptr);

    // False, with a line in the log saying why, when the link is not used: it is no ftp:// address,
    // or a transfer is at work.
    bool Open(const QString& address);

private:
    void OnIdle();

    CMainFrame& m_frame;
    // The folder still to go to, and the session it belongs to.
    std::string m_path;
    HostRecord m_host;
    int m_hostNumber = -1;
};
