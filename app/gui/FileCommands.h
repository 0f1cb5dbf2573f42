#pragma once

#include <QString>

#include <string>

class CMainFrame;

// The commands that act on the remote folder and its entries. Each reads the session and the file
// list when it runs, asks what it must ask, and queues its operations on the engine; none talks to
// the server itself.
namespace FileCommands {

// A folder is entered; a file is fetched into the temporary folder and opened with its program.
void Open(CMainFrame& frame);
// Into the host's download folder (the temporary folder when it has none), which is then shown in
// the file manager.
void Download(CMainFrame& frame);
// One save dialog per selected file; folders are left out.
void DownloadAs(CMainFrame& frame);
// The files and folders chosen in the upload dialog; folders go up as whole trees.
void Upload(CMainFrame& frame);
void NewIndexHtml(CMainFrame& frame);
// The end of the list's name editor: the new folder is made or the entry renamed, or a name that
// cannot be one is refused with a message and nothing is sent.
void FinishNameEdit(CMainFrame& frame, bool newFolder, const std::string& oldName, const QString& typed,
                    bool accepted);

} // namespace FileCommands
