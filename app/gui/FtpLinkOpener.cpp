#include "app/gui/FtpLinkOpener.h"

#include "app/FtpLinkTarget.h"
#include "app/gui/CMainFrame.h"
#include "engine/FtpEngine.h"
#include "gui/views/CQXTreeView.h"
#include "hosts/QXDoc.h"

FtpLinkOpener::FtpLinkOpener(CMainFrame& frame, QObject* parent) : QObject(parent), m_frame(frame) {
    connect(&m_frame.Engine(), &CFtpEngine::Idle, this, &FtpLinkOpener::OnIdle);
}

bool FtpLinkOpener::Open(const QString& address) {
    CFtpEngine& engine = m_frame.Engine();
    const std::optional<FtpUrl> url = ParseFtpUrl(address.toStdString());
    if (!url) {
        m_frame.Log().AppendLog(
            AddressWithoutPassword(address.toStdString()) +
            " には接続できません。接続先は ftp://[ユーザー[:パスワード]@]ホスト[:ポート][/パス] "
            "の形で指定してください。\r\n");
        return false;
    }
    if (engine.CanCancel()) {
        m_frame.Log().AppendLog("作業中のため、" + ShownFtpAddress(*url) + " には接続しませんでした。\r\n");
        return false;
    }
    engine.CloseSession();
    const FtpLinkTarget target = ResolveFtpLink(*url, CQXDoc().LoadAllHosts());
    HostTreeModel& tree = m_frame.TreeView()->Model();
    if (target.hostNumber < 0) {
        tree.ShowSessionHost(target.host.Name);
    } else {
        // A registered host comes to the top of the tree, as a click on it would bring it.
        for (const auto& node : tree.TopLevel()) {
            if (node->kind == HostTreeModel::Kind::Host && node->data == target.hostNumber) {
                tree.SelectByMouse(node.get());
                break;
            }
        }
    }
    m_path = target.path;
    m_host = target.host;
    m_hostNumber = target.hostNumber;
    return engine.ConnectHost(target.host, target.hostNumber) != 0;
}

void FtpLinkOpener::OnIdle() {
    // The first rest after the login's own listing: the link's folder comes next, once, and only in
    // a session with the link's host.
    const CFtpEngine& engine = m_frame.Engine();
    const HostRecord& now = engine.Host();
    if (m_path.empty() || !engine.IsConnected() || engine.HostNumber() != m_hostNumber ||
        now.Adr != m_host.Adr || now.Port != m_host.Port || now.User != m_host.User)
        return;
    const std::string path = std::move(m_path);
    m_path.clear();
    m_frame.Engine().ChangeFolder(path);
}
