#include "app/gui/CMainFrame.h"

#include "app/gui/CProgressStatusBar.h"
#include "app/gui/ImportSummary.h"
#include "engine/FtpEngine.h"
#include "gui/settings/CPropSheetHost.h"
#include "gui/views/CQXTreeView.h"
#include "hosts/HostImport.h"
#include "hosts/PasswordMigration.h"

#include <QDir>
#include <QFileDialog>
#include <QPointer>

namespace {

const char* const kAddHostHint = "接続設定でホストを登録";

} // namespace

void CMainFrame::OnHostSettings() {
    CPropSheetHost sheet(*m_doc, m_tree->GetTopHostIndex(), this);
    sheet.exec();
}

QString CMainFrame::HostHint() const {
    if (m_tree->GetTopHostIndex() == -1 && !m_engine->IsConnected())
        return QString::fromUtf8(kAddHostHint);
    return QString();
}

void CMainFrame::OnImportHosts() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("ホストを取り込む"), QDir::homePath(),
        QStringLiteral(
            "FileZilla・WinSCP のホスト (sitemanager.xml *.xml WinSCP.ini *.ini);;すべてのファイル (*)"));
    if (path.isEmpty())
        return;
    // The keyring may take its time with the passwords; the window may be gone by then.
    ImportHosts(path, *m_doc, ProgramVault(),
                [frame = QPointer<CMainFrame>(this)](const ImportReport& report) {
                    if (frame)
                        ShowImportSummary(frame, report);
                });
}
