#pragma once

#include "engine/EngineUi.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The texts of the confirmation dialogs, built without a window.

// Delete confirmation for a selection of files and folders; kind picks the picture.
struct DeleteQuestion {
    QString title;
    QString message;
    int kind = 0; // 0 one file, 1 one folder, 2 several items
};
DeleteQuestion BuildDeleteQuestion(int files, int folders, const QString& lastFileName,
                                   const QString& lastFolderName);
// The picture shown for a delete question's kind.
int DeletePictureId(int kind);

// What the delete question names of the rows to delete: how many files and folders (a link counts
// as the folder the list shows), and the last of each.
struct DeleteSelection {
    int files = 0;
    int folders = 0;
    std::string lastFile;
    std::string lastFolder;
};
DeleteSelection CountForDelete(const std::vector<FileListRow>& rows);

// A size in KB as the overwrite dialog shows it: 0 only for an empty file, 1 for anything up to
// 1023 bytes, otherwise whole KB rounded down.
std::int64_t SizeInKB(std::int64_t bytes);

// "更新日時: ..." for a local file's modification time, shown in local time.
QString LocalDateLine(const QDateTime& modified);
// "更新日時: ..." for the file list's date column ("YYYY/MM/DD" or "YYYY/MM/DD hh:mm"); empty when the
// text cannot be read as a date.
QString RemoteDateLine(const QString& dateText);

// What the file overwrite dialog needs to know about the local file.
struct LocalFileStatus {
    std::int64_t size = 0;
    QDateTime modified;
};
// Empty when the file's status cannot be read.
std::optional<LocalFileStatus> ReadLocalFileStatus(const QString& path);

// The five texts of the file overwrite dialog.
struct OverwriteTexts {
    QString headline;
    QString existingSize;
    QString existingDate;
    QString newSize;
    QString newDate;
};
// Download: the local file exists and the remote one would replace it.
OverwriteTexts DownloadOverwriteTexts(const QString& localPath, const LocalFileStatus& local,
                                      const QString& remoteDate, std::int64_t remoteSize);
// Upload: the remote file exists and the local one would replace it; the remote size is shown as the
// file list shows it.
OverwriteTexts UploadOverwriteTexts(const QString& localPath, const LocalFileStatus& local,
                                    const QString& remoteDate, const QString& remoteSizeText);
// A remote file as the file list shows it: its date and size columns.
struct RemoteColumns {
    QString date;
    QString size;
};
// Rename: a remote file of the new name exists and the renamed entry would replace it; sizes are
// shown as the file list shows them, a side the list does not show stays empty.
OverwriteTexts RenameOverwriteTexts(const QString& name, const RemoteColumns& existing,
                                    const RemoteColumns& renamed);

// The last name of a local path: the text after the last separator ("/", and "\" where that is one
// too), or the whole path when no separator follows its first character.
QString LastPathName(const QString& path);
QString FolderOverwriteHeadline(const QString& localFolderPath);
