#include "app/gui/AddressNavigator.h"

#include "app/FtpLinkTarget.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/FtpLinkOpener.h"
#include "engine/FtpAddress.h"
#include "engine/FtpEngine.h"
#include "engine/TransferQueue.h"
#include "gui/views/AddressLine.h"
#include "platform/TextCodec.h"

#include <QMessageBox>
#include <QPushButton>

namespace {
bool IsWholeAddress(const QString& typed) {
    return typed.contains(QStringLiteral("://"));
}

// Whether the user agrees to leave the session (and stop its transfers) for another host.
bool MayLeaveSession(QWidget* parent, bool transferring, const QString& shownAddress) {
    const QString text = transferring ? QStringLiteral("転送中です。中止して %1 に接続しますか？")
                                      : QStringLiteral("現在のホストから切断して %1 に接続しますか？");
    QMessageBox box(QMessageBox::Question, QStringLiteral("接続"), text.arg(shownAddress),
                    QMessageBox::NoButton, parent);
    QPushButton* go = box.addButton(QStringLiteral("接続する"), QMessageBox::AcceptRole);
    QPushButton* stay = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(stay);
    box.setEscapeButton(stay);
    box.exec();
    return box.clickedButton() == go;
}
} // namespace

AddressNavigator::AddressNavigator(CMainFrame& frame, AddressLine& line, FtpLinkOpener& opener)
    : QObject(&line), m_frame(frame), m_line(line), m_opener(opener) {
    connect(&m_line, &AddressLine::AddressEntered, this, &AddressNavigator::OnEntered);
    connect(&m_frame.Engine(), &CFtpEngine::Idle, this, &AddressNavigator::OnIdle);
    connect(&m_frame, &CMainFrame::EngineRefused, this, [this] {
        if (!m_pending.isEmpty())
            m_refused = true;
    });
}

std::string AddressNavigator::FolderFor(const QString& typed, const std::string& current) {
    std::string path = EncodeRemoteName(typed);
    if (path.empty() || path[0] != '/')
        path = current + "/" + path;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

void AddressNavigator::OnEntered(const QString& typed) {
    if (IsWholeAddress(typed))
        ConnectTo(typed);
    else
        GoToFolder(typed);
}

void AddressNavigator::GoToFolder(const QString& typed) {
    CFtpEngine& engine = m_frame.Engine();
    if (!engine.IsConnected()) {
        m_line.Revert();
        m_frame.ShowNote(QStringLiteral("フォルダへ移動するには、先にホストに接続してください"));
        return;
    }
    m_line.setText(typed);
    m_pending = typed;
    m_refused = false;
    engine.ChangeFolder(FolderFor(typed, m_frame.GetCurrentPath()));
}

void AddressNavigator::ConnectTo(const QString& address) {
    const std::optional<FtpUrl> url = ParseFtpUrl(address.toStdString());
    const std::string shown = url ? ShownFtpAddress(*url) : AddressWithoutPassword(address.toStdString());
    m_line.setText(QString::fromStdString(shown));
    m_line.setModified(false);
    CFtpEngine& engine = m_frame.Engine();
    CTransferQueue& queue = m_frame.TransferQueue();
    const bool transferring = engine.CanCancel() || queue.HasWork();
    if ((engine.IsConnected() || transferring) &&
        !MayLeaveSession(&m_frame, transferring, QString::fromStdString(shown))) {
        m_line.Revert();
        return;
    }
    m_pending.clear();
    queue.CloseSessions();
    engine.CloseSession();
    if (!m_opener.Open(address))
        m_line.Revert();
}

void AddressNavigator::OnIdle() {
    if (m_pending.isEmpty())
        return;
    const QString typed = std::exchange(m_pending, QString());
    if (!m_refused)
        return;
    m_frame.Log().AppendLog("フォルダ " + EncodeRemoteName(typed) + " に移動できませんでした。\r\n");
    m_frame.ShowNote(QStringLiteral("フォルダ %1 に移動できませんでした").arg(typed));
    m_line.Revert();
}
