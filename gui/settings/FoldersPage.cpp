#include "gui/settings/FoldersPage.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/FolderBrowser.h"
#include "gui/settings/HostSheetControls.h"
#include "gui/settings/PageRows.h"
#include "hosts/DownloadFolder.h"
#include "settings/HostInputRules.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

using namespace HostSheetControl;

FoldersPage::FoldersPage(HostListEditor& editor, QWidget* parent) : CHostPage(editor, FileoprPage, parent) {
    DialogBuilder b(this, FileoprPage, kWidth, 0);
    PageRows rows(b, kMargin, kMargin, kWidth - 2 * kMargin);
    AddHostChoice(rows);
    rows.Text(FoldersText,
              QStringLiteral(
                  "右クリックメニューでアップロードやダウンロードするときのデフォルトのフォルダと、接続後に"
                  "開くホスト側のフォルダを設定します。"),
              2);

    constexpr int labelWidth = 58;
    constexpr int browseWidth = 30;
    rows.BeginGroup(FileOprGroup, QStringLiteral("ファイルオペレーション"));
    rows.Label(UploadLabel, QStringLiteral("アップロード(&U)"), labelWidth);
    m_upload = rows.Edit(Upload, rows.RestOfRow(browseWidth));
    QPushButton* browseUpload = rows.Button(UploadBrowse, QStringLiteral("参照"), browseWidth);
    rows.NextRow();
    rows.Label(DownloadLabel, QStringLiteral("ダウンロード(&D)"), labelWidth);
    m_download = rows.Edit(Download, rows.RestOfRow(browseWidth));
    // Left empty, downloads go to the desktop's download folder: the empty line says where.
    m_download->setPlaceholderText(DefaultDownloadFolder());
    QPushButton* browseDownload = rows.Button(DownloadBrowse, QStringLiteral("参照"), browseWidth);
    rows.NextRow();
    // The server's side: the folder a session opens after the login.
    rows.Label(RemoteLabel, QStringLiteral("ホスト側(&R)"), labelWidth);
    m_remote = rows.Edit(Remote);
    rows.EndGroup();

    rows.BeginGroup(IndexGroup, QStringLiteral("インデックスＨＴＭＬ"));
    rows.Text(
        IndexText,
        QStringLiteral("「新規作成」→「インデックスＨＴＭＬ」でアップロードする空のファイルの名前を指定す"
                       "ることができます。ホームページのディレクトリの中身を隠蔽する際にご利用下さい。"),
        3);
    rows.Label(IndexLabel, QStringLiteral("ファイル名(&I)"), labelWidth);
    m_index = rows.Edit(IndexFile);
    rows.EndGroup();

    QLabel* excludesLabel =
        rows.Label(MirrorExcludesLabel, QStringLiteral("ミラーリングで除外するパターン(&X)"), 0);
    rows.NextRow();
    m_mirrorExcludes = rows.Add(MirrorExcludes, new QPlainTextEdit(this), 0, 3 * PageRows::kRowHeight);
    m_mirrorExcludes->setTabChangesFocus(true);
    excludesLabel->setBuddy(m_mirrorExcludes);
    rows.Text(MirrorExcludesHint, QStringLiteral("1 行に 1 つ。例: .git/  *.tmp"), 1);
    FinishPage(b, rows);

    for (QLineEdit* edit : {m_upload, m_download, m_remote, m_index})
        connect(edit, &QLineEdit::textEdited, this, &CPropertyPage::SetModified);
    connect(m_mirrorExcludes, &QPlainTextEdit::textChanged, this, &CPropertyPage::SetModified);
    connect(browseUpload, &QPushButton::clicked, this, [this] { OnBrowse(m_upload); });
    connect(browseDownload, &QPushButton::clicked, this, [this] { OnBrowse(m_download); });
}

void FoldersPage::LoadFields(const HostRecord& host) {
    m_upload->setText(ShownText(host.UpPath));
    m_download->setText(ShownText(host.DownPath));
    m_remote->setText(ShownText(host.RemotePath));
    m_index->setText(ShownText(host.Indexhtml));
    // Showing a host's list is no change to it.
    const QSignalBlocker quiet(m_mirrorExcludes);
    m_mirrorExcludes->setPlainText(ShownText(host.MirrorExcludes));
}

bool FoldersPage::StoreFields(HostRecord& host) {
    const std::string upload = TextForStore(host.UpPath, m_upload->text());
    const std::string download = TextForStore(host.DownPath, m_download->text());
    const std::string remote = TextForStore(host.RemotePath, m_remote->text());
    const QString remoteWhat = QStringLiteral("ホスト側のフォルダ");
    const std::string index = TextForStore(host.Indexhtml, m_index->text());
    const QString indexWhat = QStringLiteral("インデックスファイル名");
    const std::string excludes = TextForStore(host.MirrorExcludes, m_mirrorExcludes->toPlainText());
    if (!AcceptValues({
            {m_upload, TextLengthProblem(upload, QStringLiteral("アップロードフォルダ"))},
            {m_download, TextLengthProblem(download, QStringLiteral("ダウンロードフォルダ"))},
            {m_remote, LineBreakProblem(m_remote->text(), remoteWhat)},
            {m_remote, TextLengthProblem(remote, remoteWhat)},
            {m_index, LineBreakProblem(m_index->text(), indexWhat)},
            {m_index, TextLengthProblem(index, indexWhat)},
            {m_mirrorExcludes, LinesLengthProblem(excludes, QStringLiteral("除外するパターン"))},
        }))
        return false;
    host.UpPath = upload;
    host.DownPath = download;
    host.RemotePath = remote;
    host.Indexhtml = index;
    host.MirrorExcludes = excludes;
    return true;
}

void FoldersPage::OnBrowse(QLineEdit* edit) {
    const QString folder = BrowseForFolder(this, edit->text());
    if (folder.isEmpty())
        return;
    SetModified();
    edit->setText(folder);
}
