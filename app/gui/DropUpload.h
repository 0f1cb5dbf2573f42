#pragma once

#include "views/FileListModel.h"

#include <QFileInfo>
#include <QObject>
#include <QStringList>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class CMainFrame;

// The upload of local files and folders dropped on the file list. The queue is built a piece at a
// time, each piece in a turn of the event loop of its own, so the window keeps answering while
// thousands of files are queued; transfers start with the first piece. Files go first, then each
// folder as a tree under its own name; then the session goes back to the folder it was in and
// lists it. A drop onto a folder row first enters that folder, so that the questions about files
// that exist are asked about that folder's own rows. The job deletes itself when it is done or when
// the session ends.
class DropUpload : public QObject {
    Q_OBJECT
public:
    DropUpload(CMainFrame& frame, QStringList paths, std::optional<FileListModel::Row> folder);
    void Start();

private:
    enum class Stage { Enter, Sort, Clashes, Files, Folders, Finish };

    void Next(Stage stage);
    void Step();
    // After the folder row was entered: true when the session is in it.
    bool EnteredFolder();
    void SortPiece();
    void SplitClashes();
    void FilesPiece();
    void Stop();

    CMainFrame& m_frame;
    QStringList m_paths;
    std::optional<FileListModel::Row> m_folder;
    Stage m_stage = Stage::Sort;
    // The folder the session was in, and the one the uploads go into.
    std::string m_home;
    std::string m_here;
    int m_sorted = 0;
    std::vector<std::string> m_files;
    std::vector<std::string> m_clashing;
    std::size_t m_filesQueued = 0;
    std::vector<QFileInfo> m_folders;
    std::size_t m_foldersQueued = 0;
    bool m_stopped = false;
};
