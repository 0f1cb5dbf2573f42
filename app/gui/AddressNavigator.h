#pragma once

#include <QObject>
#include <QString>

#include <string>

class AddressLine;
class CMainFrame;
class FtpLinkOpener;

// What the address line above the file list does with what is typed into it: a folder of the
// session's host is gone to (one that cannot be entered is said so, and the line shows the folder
// again); a whole ftp:// address connects to its host as the command line's link does, after asking
// when a session would be left.
class AddressNavigator : public QObject {
    Q_OBJECT
public:
    AddressNavigator(CMainFrame& frame, AddressLine& line, FtpLinkOpener& opener);

    // The whole path a typed folder names, seen from `current` ("" for the root).
    static std::string FolderFor(const QString& typed, const std::string& current);

private:
    void OnEntered(const QString& typed);
    void GoToFolder(const QString& typed);
    void ConnectTo(const QString& address);
    // The session rests after a typed folder was asked for.
    void OnIdle();

    CMainFrame& m_frame;
    AddressLine& m_line;
    FtpLinkOpener& m_opener;
    // The folder being gone to, as typed, and whether the server refused something on the way.
    QString m_pending;
    bool m_refused = false;
};
