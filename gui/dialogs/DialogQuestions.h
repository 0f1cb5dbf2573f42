#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

class QWidget;

// The questions the session asks the user, each answered with one of the modal dialogs. Results are
// the plain integers of DialogResult. Remote names and texts come as the server's bytes; local paths
// as the file system's names.

// Deleting the selected entries; the names are the last selected file and folder. 1 to go on.
int AskDeleteConfirmation(QWidget* parent, int files, int folders, std::string_view lastFileName,
                          std::string_view lastFolderName);

// A download would replace an existing local file. 1, 4, 3 or 2; 0 (not asked) when the local
// file's status cannot be read.
int AskDownloadOverwrite(QWidget* parent, const QString& localPath, std::string_view remoteDate,
                         std::int64_t remoteSize);
// An upload would replace a remote file shown in the file list with that date and size text.
// 1, 4, 3 or 2; 0 (not asked) when the local file's status cannot be read.
int AskUploadOverwrite(QWidget* parent, const QString& localPath, std::string_view remoteDate,
                       std::string_view remoteSizeText);

// A rename would replace the remote file `name`; each side as the file list shows it, date and size
// text (the renamed entry's empty when the list does not show it). 1 or 2.
struct RemoteFileColumns {
    std::string_view date;
    std::string_view size;
};
int AskRenameOverwrite(QWidget* parent, std::string_view name, RemoteFileColumns existing,
                       RemoteFileColumns renamed);
// The server refused to resume the transfer of `name`. 1 to transfer the whole file again, or 2.
int AskTransferWhole(QWidget* parent, std::string_view name);

// The host settings sheet removes the host shown as `name`. True to remove it.
bool AskRemoveHost(QWidget* parent, const QString& name);

// A folder download meets an existing local folder. 1, 3, 5 or 2.
int AskFolderOverwrite(QWidget* parent, const QString& localFolderPath);

// The login was refused: the account again, filled from the session's host, with the line that
// says what was refused. On 1 the answer carries what was entered; it has been stored for
// hostNumber when the user asked for that.
struct AccountAnswer {
    int result = 0;
    std::string user;
    std::string pass;
};
AccountAnswer AskAccount(QWidget* parent, int hostNumber, std::string_view user, std::string_view pass,
                         std::string_view reason = {});

// New permissions for the selected entries, seeded from the first one's attribute column
// ("-rw-r--r--"). On 1 the answer carries the command text and the number as it is sent: three
// digits, padded with "0" on the right. The command text is stored for hostNumber.
struct AttributesAnswer {
    int result = 0;
    std::string command;
    std::string number;
};
AttributesAnswer AskAttributes(QWidget* parent, int hostNumber, std::string_view attributeText);
