#include "app/gui/DragDownloads.h"

#include "app/CommandIds.h"
#include "app/gui/CMainFrame.h"
#include "engine/FtpEngine.h"
#include "engine/LocalNames.h"
#include "gui/views/CQXListView.h"
#include "platform/gui/DragOut.h"
#include "views/LogText.h"

#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <optional>
#include <string>

namespace {

// The rows of one drag, taken when it begins, with the folder they were listed in.
class RowsDelivery : public DragOutDelivery {
public:
    RowsDelivery(CMainFrame& frame, const std::vector<int>& rows)
        : m_frame(&frame), m_here(frame.GetCurrentPath()) {
        const FileListModel& model = frame.ListView()->Model();
        for (int row : rows) {
            if (model.RowAt(row).IsFolder())
                m_folders.push_back(model.RowAt(row).name);
            else
                m_files.push_back(model.EngineRow(row));
        }
    }

    void DeliverInto(const QString& folder) override {
        if (!StillThere())
            return;
        // Nothing waits for these: they go over the host's transfer sessions like a download.
        Queue(folder, false);
    }

    QStringList FetchInto(const QString& folder, int budgetMs) override {
        if (!StillThere())
            return {};
        CFtpEngine& engine = m_frame->Engine();
        // The wait below is for these transfers alone; the queue of other work could outlast any
        // target's patience, and a cancel at the end would take that work with it.
        if (engine.CanCancel()) {
            m_frame->ShowNote(QStringLiteral("転送中のため、ドラッグした項目を渡せませんでした"));
            return {};
        }
        bool failed = false;
        // The user's cancel command has stopped the transfers already.
        bool cancelled = false;
        QEventLoop wait;
        QTimer budget;
        budget.setSingleShot(true);
        QObject::connect(&budget, &QTimer::timeout, &wait, &QEventLoop::quit);
        QObject::connect(&engine, &CFtpEngine::Idle, &wait, &QEventLoop::quit);
        QObject::connect(m_frame, &CMainFrame::EngineRefused, &wait, [&failed] { failed = true; });
        QObject::connect(m_frame, &CMainFrame::ConnectedStateChanged, &wait, [&] {
            failed = true;
            wait.quit();
        });
        QObject::connect(m_frame->Action(CommandId::Cancel), &QAction::triggered, &wait, [&] {
            failed = cancelled = true;
            wait.quit();
        });
        Queue(folder, true);
        if (engine.CanCancel()) {
            budget.start(budgetMs);
            wait.exec();
        }
        if (!cancelled && engine.CanCancel()) {
            // Out of time: what is on its way stops, and the caller removes what came.
            failed = true;
            engine.CancelTransfers();
        }
        if (failed || !engine.IsConnected())
            return {};
        QStringList paths;
        const QDir into(folder);
        for (const FileListRow& file : m_files) {
            if (IsSafeLocalName(file.name, engine.Names()))
                paths << into.filePath(LocalNameFor(file.name, engine.Names()));
        }
        for (const std::string& name : m_folders) {
            if (IsSafeLocalName(name, engine.Names()))
                paths << into.filePath(LocalNameFor(name, engine.Names()));
        }
        for (const QString& path : paths) {
            if (!QFileInfo::exists(path))
                return {};
        }
        return paths;
    }

private:
    // The session the rows came from still runs and is still in their folder.
    bool StillThere() const {
        if (!m_frame || !m_frame->Engine().IsConnected())
            return false;
        if (m_frame->GetCurrentPath() == m_here)
            return true;
        m_frame->Log().AppendLog(
            "フォルダを移動したため、ドラッグした項目はダウンロードしませんでした。\r\n");
        return false;
    }

    // Files first, then folder trees, as the download command queues them; then they start. Files
    // that are waited for here stay on the browsing session, whose rest says they are done.
    void Queue(const QString& folder, bool waitedFor) {
        CFtpEngine& engine = m_frame->Engine();
        const std::string local = folder.toStdString();
        std::optional<CFtpEngine::TransfersHere> onThisSession;
        if (waitedFor)
            onThisSession.emplace(engine);
        if (engine.DownloadFiles(local, m_files) != 0)
            engine.DownloadFolders(local, m_folders);
    }

    QPointer<CMainFrame> m_frame;
    std::string m_here;
    std::vector<FileListRow> m_files;
    std::vector<std::string> m_folders;
};

} // namespace

std::shared_ptr<DragOutDelivery> MakeRowsDelivery(CMainFrame& frame, const std::vector<int>& rows) {
    if (rows.empty() || !frame.Engine().IsConnected())
        return nullptr;
    return std::make_shared<RowsDelivery>(frame, rows);
}
