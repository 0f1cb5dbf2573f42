#include "app/gui/DropUpload.h"

#include "app/gui/CMainFrame.h"
#include "app/gui/FileCommands.h"
#include "engine/FtpEngine.h"
#include "engine/RemoteNames.h"
#include "gui/views/CQXListView.h"
#include "views/LogText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <unordered_set>

namespace {
// One piece of the work takes about this long before the window gets its turn again.
constexpr qint64 kPieceMs = 20;
// Files handed to the engine in one call; the time is looked at between calls. The engine compares
// each file with every row of the list, so the more rows, the fewer files a call.
constexpr std::size_t kRowComparisonsPerCall = 4096;
constexpr std::size_t kMostFilesPerCall = 32;

std::string RootOr(const std::string& path) {
    return path.empty() ? std::string("/") : path;
}
} // namespace

DropUpload::DropUpload(CMainFrame& frame, QStringList paths, std::optional<FileListModel::Row> folder)
    : QObject(&frame), m_frame(frame), m_paths(std::move(paths)), m_folder(std::move(folder)) {
    // A session that ends takes the rest of the drop with it.
    connect(&frame, &CMainFrame::ConnectedStateChanged, this, [this](bool connected) {
        if (!connected)
            Stop();
    });
}

void DropUpload::Start() {
    m_home = m_frame.GetCurrentPath();
    m_here = m_home;
    if (!m_folder) {
        Next(Stage::Sort);
        return;
    }
    m_stage = Stage::Enter;
    connect(&m_frame.Engine(), &CFtpEngine::Idle, this, [this] {
        if (m_stage != Stage::Enter || m_stopped)
            return;
        if (EnteredFolder())
            Next(Stage::Sort);
        else
            Stop();
    });
    m_frame.Engine().ChangeFolder(m_home + "/" + m_folder->name);
}

bool DropUpload::EnteredFolder() {
    const std::string now = m_frame.GetCurrentPath();
    // A link's folder has a path of its own; any other folder is the one below.
    const bool entered = m_folder->link ? now != m_home : now == m_home + "/" + m_folder->name;
    if (!entered) {
        m_frame.Log().AppendLog(
            "フォルダ「" + ShownName(m_folder->name) +
            "」に移動できなかったため、ドロップしたファイルはアップロードしませんでした。\r\n");
        return false;
    }
    m_here = now;
    return true;
}

void DropUpload::Next(Stage stage) {
    m_stage = stage;
    QTimer::singleShot(0, this, &DropUpload::Step);
}

void DropUpload::Stop() {
    m_stopped = true;
    deleteLater();
}

void DropUpload::Step() {
    if (m_stopped)
        return;
    CFtpEngine& engine = m_frame.Engine();
    if (!engine.IsConnected()) {
        Stop();
        return;
    }
    switch (m_stage) {
    case Stage::Enter:
        return;
    case Stage::Sort:
        SortPiece();
        return;
    case Stage::Clashes:
        // Together, so that one "overwrite all" answers for every one of them.
        if (!m_clashing.empty() && !engine.UploadFiles(m_here, m_clashing)) {
            Next(Stage::Finish);
            return;
        }
        Next(Stage::Files);
        return;
    case Stage::Files:
        FilesPiece();
        return;
    case Stage::Folders:
        if (m_foldersQueued < m_folders.size()) {
            FileCommands::UploadFolderInto(m_frame, m_here, m_folders[m_foldersQueued++]);
            Next(Stage::Folders);
            return;
        }
        Next(Stage::Finish);
        return;
    case Stage::Finish:
        engine.ChangeFolder(RootOr(m_home));
        Stop();
        return;
    }
}

void DropUpload::SortPiece() {
    QElapsedTimer piece;
    piece.start();
    while (m_sorted < m_paths.size() && piece.elapsed() < kPieceMs) {
        const QFileInfo info(m_paths[m_sorted++]);
        // What cannot be looked at is left out.
        if (!info.exists() && !info.isSymLink())
            continue;
        if (info.isDir())
            m_folders.push_back(info);
        else
            m_files.push_back(QFile::encodeName(info.filePath()).toStdString());
    }
    if (m_sorted < m_paths.size()) {
        Next(Stage::Sort);
        return;
    }
    SplitClashes();
    Next(Stage::Clashes);
}

void DropUpload::SplitClashes() {
    std::unordered_set<std::string> listed;
    const FileListModel& model = m_frame.ListView()->Model();
    for (int r = 0; r < model.RowCount(); ++r)
        listed.insert(model.RowAt(r).name);
    const CFtpEngine& engine = m_frame.Engine();
    auto clashes = [&](const std::string& local) {
        return listed.count(engine.ServerNameFor(QFileInfo(QFile::decodeName(local.c_str())).fileName())) !=
               0;
    };
    const auto firstFree = std::stable_partition(m_files.begin(), m_files.end(), clashes);
    m_clashing.assign(m_files.begin(), firstFree);
    m_files.erase(m_files.begin(), firstFree);
}

void DropUpload::FilesPiece() {
    CFtpEngine& engine = m_frame.Engine();
    const auto rows = static_cast<std::size_t>(m_frame.ListView()->Model().RowCount());
    const std::size_t perCall =
        std::clamp<std::size_t>(kRowComparisonsPerCall / (rows + 1), 1, kMostFilesPerCall);
    QElapsedTimer piece;
    piece.start();
    while (m_filesQueued < m_files.size() && piece.elapsed() < kPieceMs) {
        const std::size_t count = std::min(perCall, m_files.size() - m_filesQueued);
        const auto first = m_files.begin() + static_cast<std::ptrdiff_t>(m_filesQueued);
        m_filesQueued += count;
        if (!engine.UploadFiles(
                m_here, std::vector<std::string>(first, first + static_cast<std::ptrdiff_t>(count)))) {
            Next(Stage::Finish);
            return;
        }
    }
    Next(m_filesQueued < m_files.size() ? Stage::Files : Stage::Folders);
}
