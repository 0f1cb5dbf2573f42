#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <string>

class CMainFrame;
class QFileInfo;

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
// Files and folders dropped on the file list: uploaded into the current folder, or into the folder
// row `folderRow` they were dropped on (-1: beside the rows). What is not a local file is refused
// with a message; while no session runs nothing happens.
void UploadDropped(CMainFrame& frame, const QList<QUrl>& urls, int folderRow);
// Queues the upload of a local folder as a tree into the remote folder `here`, under the folder's
// own name. An entry of that name in the list is a clash: a file stops it, a folder is used as it
// is once the user agrees. The caller dispatches.
void UploadFolderInto(CMainFrame& frame, const std::string& here, const QFileInfo& folder);
void NewIndexHtml(CMainFrame& frame);
// The selected entries, folders with everything in them, once the user has agreed (unless the
// options say not to ask).
void Delete(CMainFrame& frame);
// New permissions for the selected entries, seeded from the first one's.
void ChangeAttributes(CMainFrame& frame);
// The end of the list's name editor: the new folder is made or the entry renamed, or a name that
// cannot be one is refused with a message and nothing is sent.
void FinishNameEdit(CMainFrame& frame, bool newFolder, const std::string& oldName, const QString& typed,
                    bool accepted);

} // namespace FileCommands
