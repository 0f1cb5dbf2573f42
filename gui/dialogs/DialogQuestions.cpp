#include "gui/dialogs/DialogQuestions.h"

#include "dialogs/AttributeRules.h"
#include "dialogs/DialogIds.h"
#include "gui/dialogs/AccountDlg.h"
#include "gui/dialogs/AttributesDlg.h"
#include "gui/dialogs/FileOverwriteDlg.h"
#include "gui/dialogs/FolderOverwriteDlg.h"
#include "gui/dialogs/MessageDlg.h"
#include "platform/TextCodec.h"

#include <QMessageBox>

int AskDeleteConfirmation(QWidget* parent, int files, int folders, std::string_view lastFileName,
                          std::string_view lastFolderName) {
    CMessageDlg dlg(parent);
    dlg.SetDeleteQuestion(files, folders, DecodeRemoteName(lastFileName), DecodeRemoteName(lastFolderName));
    return dlg.exec();
}

int AskDownloadOverwrite(QWidget* parent, const QString& localPath, std::string_view remoteDate,
                         std::int64_t remoteSize) {
    CFileOverwriteDlg dlg(parent);
    if (!dlg.PrepareDownload(localPath, DecodeRemoteName(remoteDate), remoteSize))
        return DialogResult::NotAsked;
    return dlg.exec();
}

int AskUploadOverwrite(QWidget* parent, const QString& localPath, std::string_view remoteDate,
                       std::string_view remoteSizeText) {
    CFileOverwriteDlg dlg(parent);
    if (!dlg.PrepareUpload(localPath, DecodeRemoteName(remoteDate), DecodeRemoteName(remoteSizeText)))
        return DialogResult::NotAsked;
    return dlg.exec();
}

int AskRenameOverwrite(QWidget* parent, std::string_view name, RemoteFileColumns existing,
                       RemoteFileColumns renamed) {
    CFileOverwriteDlg dlg(parent);
    dlg.PrepareRename(DecodeRemoteName(name),
                      {DecodeRemoteName(existing.date), DecodeRemoteName(existing.size)},
                      {DecodeRemoteName(renamed.date), DecodeRemoteName(renamed.size)});
    return dlg.exec() == DialogResult::Yes ? DialogResult::Yes : DialogResult::Cancel;
}

int AskTransferWhole(QWidget* parent, std::string_view name) {
    const QMessageBox::StandardButton answer = QMessageBox::question(
        parent, QStringLiteral("レジュームの確認"),
        QStringLiteral("サーバーが「%1」の続きからの転送を受け付けませんでした。\n最初から転送しますか?")
            .arg(DecodeRemoteName(name)));
    return answer == QMessageBox::Yes ? DialogResult::Yes : DialogResult::Cancel;
}

bool AskRemoveHost(QWidget* parent, const QString& name) {
    return QMessageBox::question(parent, QStringLiteral("ホストの削除"),
                                 QStringLiteral("ホスト「%1」を削除しますか。").arg(name)) ==
           QMessageBox::Yes;
}

int AskFolderOverwrite(QWidget* parent, const QString& localFolderPath) {
    CFolderOverwriteDlg dlg(parent);
    dlg.Prepare(localFolderPath);
    return dlg.exec();
}

AccountAnswer AskAccount(QWidget* parent, int hostNumber, std::string_view user, std::string_view pass,
                         std::string_view reason) {
    CAccountDlg dlg(hostNumber, parent);
    dlg.m_user = DecodeUtf8(user);
    dlg.m_pass = DecodeUtf8(pass);
    dlg.m_reason = DecodeUtf8(reason);
    AccountAnswer answer;
    answer.result = dlg.exec();
    if (answer.result == DialogResult::Yes) {
        answer.user = EncodeUtf8(dlg.m_user);
        answer.pass = EncodeUtf8(dlg.m_pass);
    }
    return answer;
}

AttributesAnswer AskAttributes(QWidget* parent, int hostNumber, std::string_view attributeText) {
    CAttributesDlg dlg(hostNumber, parent);
    dlg.SetPermissions(FlagsFromAttributes(DecodeRemoteName(attributeText)));
    AttributesAnswer answer;
    answer.result = dlg.exec();
    if (answer.result == DialogResult::Yes) {
        answer.command = EncodeUtf8(dlg.m_command);
        answer.number = EncodeUtf8(ThreeDigitNumber(dlg.m_number));
    }
    return answer;
}
