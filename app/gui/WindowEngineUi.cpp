#include "app/gui/WindowEngineUi.h"

#include "app/CommandIds.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CProgressStatusBar.h"
#include "app/gui/NameClashQuestion.h"
#include "engine/TransferProgress.h"
#include "gui/dialogs/CertificateDlg.h"
#include "gui/dialogs/DialogQuestions.h"
#include "gui/views/CQXListView.h"
#include "gui/views/CQXTreeView.h"
#include "hosts/HostRecord.h"
#include "platform/TextCodec.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include <cstdlib>
#include <utility>

namespace {

// The dialogs end with the numbers the answers carry.
Answer AnswerOf(int dialogResult) {
    return static_cast<Answer>(dialogResult);
}

QString LocalName(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

void WindowEngineUi::AppendLog(const std::string& text) {
    m_frame.Log().AppendLog(text);
}

std::string WindowEngineUi::GetCurrentPath() {
    return m_frame.GetCurrentPath();
}

void WindowEngineUi::SetCurrentFolder(const std::string& path) {
    m_frame.TreeView()->SetCurrentFolder(path);
}

void WindowEngineUi::SetConnectedState(bool connected) {
    m_frame.SetConnectedState(connected);
}

void WindowEngineUi::NamesChanged(const NameCodec& names) {
    SetShownNames(names);
}

void WindowEngineUi::ClearFileList() {
    m_frame.ListView()->Clear();
}

void WindowEngineUi::FillFileList(std::vector<RemoteEntry> entries) {
    const std::vector<std::string> subfolders = m_frame.ListView()->FillFromEntries(std::move(entries));
    m_frame.TreeView()->SyncFolderChildren(subfolders);
    m_frame.TreeView()->FinishTreeUpdate();
}

std::vector<FileListRow> WindowEngineUi::FileListRows() {
    return m_frame.ListView()->Model().Rows().EngineRows();
}

std::vector<FileListRow> WindowEngineUi::FileListRowsNamed(const std::string& name) {
    return m_frame.ListView()->Model().EngineRowsNamed(name);
}

void WindowEngineUi::SetStatusText(const std::string& text, const std::string& iconFor) {
    m_frame.SetStatusText(text, iconFor);
}

void WindowEngineUi::ProgressChanged(const CTransferProgress& progress) {
    CProgressStatusBar* bar = m_frame.StatusBar();
    if (!progress.BarVisible()) {
        bar->ResetProgress();
        return;
    }
    bar->ShowProgress(progress.BarMaximum(), progress.BarValue(), DecodeUtf8(progress.SpeedText()),
                      DecodeUtf8(progress.CountText()));
}

Answer WindowEngineUi::AskAccount(int hostNumber, const HostRecord&, std::string& user, std::string& pass) {
    // The failure the engine reported just before asking says what the server refused.
    const AccountAnswer answer =
        ::AskAccount(&m_frame, hostNumber, user, pass, std::exchange(m_loginFailure, {}));
    if (AnswerOf(answer.result) == Answer::Yes) {
        user = answer.user;
        pass = answer.pass;
    }
    return AnswerOf(answer.result);
}

Answer WindowEngineUi::AskFileOverwrite(OverwriteForm form, const std::string& path, const std::string& date,
                                        const std::string& size) {
    if (form == OverwriteForm::Download)
        return AnswerOf(
            AskDownloadOverwrite(&m_frame, LocalName(path), date, std::strtoll(size.c_str(), nullptr, 10)));
    return AnswerOf(AskUploadOverwrite(&m_frame, LocalName(path), date, size));
}

Answer WindowEngineUi::AskFolderOverwrite(const std::string& localFolder) {
    return AnswerOf(::AskFolderOverwrite(&m_frame, LocalName(localFolder)));
}

NameClashAnswer WindowEngineUi::AskNameClash(const std::string& localPath, const std::string& firstRemote,
                                             const std::string& secondRemote) {
    return ::AskNameClash(&m_frame, localPath, firstRemote, secondRemote);
}

Answer WindowEngineUi::AskRenameOverwrite(const std::string&, const FileListRow& existing,
                                          const FileListRow& renamed) {
    return AnswerOf(::AskRenameOverwrite(&m_frame, existing.name, {existing.date, existing.size},
                                         {renamed.date, renamed.size}));
}

Answer WindowEngineUi::AskTransferWhole(OverwriteForm, const std::string&, const std::string& remotePath) {
    return AnswerOf(::AskTransferWhole(&m_frame, remotePath.substr(remotePath.rfind('/') + 1)));
}

CertificateAnswer WindowEngineUi::AskCertificate(const HostRecord& host, const TlsPeerInfo& peer,
                                                 CertificateStanding standing) {
    return ::AskCertificate(&m_frame, QString::fromStdString(host.Adr), peer, standing, host.TlsPin);
}

bool WindowEngineUi::IsAsciiMode() {
    return m_frame.Action(CommandId::AsciiMode)->isChecked();
}

void WindowEngineUi::ShellOpen(const std::string& path, const std::string&) {
    // Files open in their program and folders in the file manager; the desktop tells which.
    QDesktopServices::openUrl(QUrl::fromLocalFile(LocalName(path)));
}

void WindowEngineUi::ReplyRefused(int, const std::string&) {
    emit m_frame.EngineRefused();
}

void WindowEngineUi::OperationFailed(int operation, const std::string& text) {
    if (operation == 0)
        m_loginFailure = text.substr(0, text.find_first_of("\r\n"));
    emit m_frame.EngineRefused();
}
