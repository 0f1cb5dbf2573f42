#include "app/gui/FileCommands.h"

#include "app/gui/CMainFrame.h"
#include "app/gui/DropUpload.h"
#include "app/gui/UploadDialog.h"
#include "dialogs/ConfirmRules.h"
#include "dialogs/DialogIds.h"
#include "engine/FtpEngine.h"
#include "engine/ListingParser.h"
#include "engine/LocalNames.h"
#include "engine/RemoteNames.h"
#include "gui/dialogs/DialogQuestions.h"
#include "gui/views/CQXListView.h"
#include "hosts/DownloadFolder.h"
#include "platform/TextCodec.h"
#include "settings/OptionSettings.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "settings/TempFolder.h"
#include "views/LogText.h"
#include "views/NameEditRules.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <optional>
#include <vector>

namespace {

// The selected entries as the transfers take them: files as rows, folders by name.
struct Entries {
    std::vector<FileListRow> files;
    std::vector<std::string> folders;
};

Entries SelectedEntries(CQXListView& list) {
    Entries entries;
    const FileListModel& model = list.Model();
    for (int row : list.SelectedRows()) {
        if (model.RowAt(row).IsFolder())
            entries.folders.push_back(model.RowAt(row).name);
        else
            entries.files.push_back(model.EngineRow(row));
    }
    return entries;
}

std::vector<FileListRow> SelectedRows(CQXListView& list) {
    std::vector<FileListRow> rows;
    for (int row : list.SelectedRows())
        rows.push_back(list.Model().EngineRow(row));
    return rows;
}

std::string LocalBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The files that would go to a folder that cannot be had go nowhere else: the log keeps why, and a
// box says it now.
void RefuseWithoutFolder(
    CMainFrame& frame, const QString& title, const QString& problem,
    const QString& refused = QStringLiteral("一時フォルダが使えないため、ダウンロードしませんでした。")) {
    frame.Log().AppendLog(EncodeUtf8(refused + QStringLiteral("\r\n") + problem + QStringLiteral("\r\n")));
    QMessageBox::warning(&frame, title, refused + QLatin1Char('\n') + problem);
}

} // namespace

namespace FileCommands {

void Open(CMainFrame& frame) {
    CQXListView& list = *frame.ListView();
    int row = list.SelectionMark();
    if (row < 0 && list.SelectedCount() == 1)
        row = list.SelectedRows().front();
    if (row < 0)
        return;
    CFtpEngine& engine = frame.Engine();
    const FileListModel::Row& entry = list.Model().RowAt(row);
    const std::string here = frame.GetCurrentPath();
    if (entry.IsFolder()) {
        engine.ChangeFolder(here + "/" + entry.name);
        return;
    }
    const TempFolderChoice choice = ChooseTempFolder();
    const QString& temp = choice.folder;
    if (temp.isEmpty()) {
        RefuseWithoutFolder(frame, QStringLiteral("開く"), choice.problem);
        return;
    }
    const std::string name = entry.name;
    const CFtpEngine::TransfersHere onThisSession(engine);
    if (!engine.DownloadFiles(temp.toStdString(), {list.Model().EngineRow(row)}))
        return;
    if (IsSafeLocalName(name, engine.Names()))
        engine.OpenWhenDone((temp + LocalNameFor(name, engine.Names())).toStdString(), "open");
}

void Download(CMainFrame& frame) {
    CFtpEngine& engine = frame.Engine();
    const DownloadFolderChoice choice = DownloadFolderFor(engine.Host());
    if (choice.folder.empty()) {
        RefuseWithoutFolder(
            frame, QStringLiteral("ダウンロード"), choice.problem,
            QStringLiteral("ダウンロードフォルダが使えないため、ダウンロードしませんでした。"));
        return;
    }
    const std::string& target = choice.folder;
    const Entries entries = SelectedEntries(*frame.ListView());
    const bool filesQueued = engine.DownloadFiles(target, entries.files) != 0;
    if (filesQueued && engine.DownloadFolders(target, entries.folders) != 0 &&
        OptionSettings::Load().opendownfolder)
        engine.OpenWhenDone(target, "explore");
}

void DownloadAs(CMainFrame& frame) {
    CFtpEngine& engine = frame.Engine();
    CQXListView& list = *frame.ListView();
    const std::string here = frame.GetCurrentPath();
    const std::string& downPath = engine.Host().DownPath;
    const QDir start(downPath.empty() ? DefaultDownloadFolder() : QString::fromStdString(downPath));
    // Taken before any dialog runs: a listing that arrives meanwhile replaces the rows.
    std::vector<FileListModel::Row> files;
    for (int row : list.SelectedRows()) {
        if (!list.Model().RowAt(row).IsFolder())
            files.push_back(list.Model().RowAt(row));
    }
    for (const FileListModel::Row& entry : files) {
        const std::string remote = here + "/" + entry.name;
        if (!IsSafeRemoteName(entry.name)) {
            frame.Log().AppendLog("「" + ShownName(entry.name) +
                                  "」は一つのファイル名ではないため、ダウンロードしませんでした。\r\n");
            continue;
        }
        const QString proposed = IsSafeLocalName(entry.name, engine.Names())
                                     ? start.filePath(LocalNameFor(entry.name, engine.Names()))
                                     : start.path();
        const QString path =
            QFileDialog::getSaveFileName(&frame, QStringLiteral("名前を付けてダウンロード"), proposed);
        if (path.isEmpty())
            continue;
        // The file dialog has asked about a file of the name already.
        engine.DownloadAs(LocalBytes(path), remote, ListedSize(entry.size, entry.link));
    }
}

void Upload(CMainFrame& frame) {
    CFtpEngine& engine = frame.Engine();
    const QStringList chosen =
        CUploadDialog::ChoosePaths(&frame, QString::fromStdString(engine.Host().UpPath));
    const std::string here = frame.GetCurrentPath();
    std::vector<std::string> files;
    std::vector<QFileInfo> folders;
    for (const QString& path : chosen) {
        const QFileInfo info(path);
        if (info.isDir())
            folders.push_back(info);
        else
            files.push_back(LocalBytes(path));
    }
    if (files.empty() || engine.UploadFiles(here, files)) {
        for (const QFileInfo& folder : folders)
            UploadFolderInto(frame, here, folder);
    }
    if (!chosen.isEmpty())
        engine.ListCurrentFolder();
}

void UploadFolderInto(CMainFrame& frame, const std::string& here, const QFileInfo& folder) {
    CFtpEngine& engine = frame.Engine();
    const QString name = folder.fileName();
    const std::string remoteName = engine.ServerNameFor(name);
    if (!IsOneCommandLine(remoteName)) {
        frame.Log().AppendLog("フォルダ「" + ShownName(EncodeUtf8(name)) +
                              "」はアップロードできない名前です。\r\n");
        return;
    }
    const FileListModel& model = frame.ListView()->Model();
    for (int i = 0; i < model.RowCount(); ++i) {
        const FileListModel::Row& row = model.RowAt(i);
        if (row.name != remoteName)
            continue;
        if (!row.IsFolder()) {
            frame.Log().AppendLog("カレントディレクトリには同一名のファイルが存在するため、\r\nフォルダ「" +
                                  EncodeUtf8(name) + "」をアップロードできませんでした。\r\n");
            return;
        }
        const auto answer = QMessageBox::question(
            &frame, QStringLiteral("アップロード"),
            QStringLiteral("フォルダ「%1」はすでにあります。\n中の同じ名前のファイルは上書きされます。"
                           "アップロードしますか？")
                .arg(name));
        if (answer != QMessageBox::Yes)
            return;
        break;
    }
    engine.UploadFolder(LocalBytes(folder.filePath()), here + "/" + remoteName);
}

void UploadDropped(CMainFrame& frame, const QList<QUrl>& urls, int folderRow) {
    if (!frame.Engine().IsConnected())
        return;
    QStringList paths;
    QStringList refused;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
        else
            refused << url.toDisplayString();
    }
    const FileListModel& model = frame.ListView()->Model();
    std::optional<FileListModel::Row> folder;
    if (folderRow >= 0 && folderRow < model.RowCount() && model.RowAt(folderRow).IsFolder())
        folder = model.RowAt(folderRow);
    // The drop is still being answered: what follows may ask questions in dialogs of its own.
    QTimer::singleShot(0, &frame, [&frame, paths, refused, folder] {
        if (!refused.isEmpty()) {
            constexpr qsizetype kNamed = 10;
            QString names = refused.mid(0, kNamed).join(QLatin1Char('\n'));
            if (refused.size() > kNamed)
                names += QStringLiteral("\nほか %1 件").arg(refused.size() - kNamed);
            QMessageBox::warning(
                &frame, QStringLiteral("アップロード"),
                QStringLiteral("ローカルのファイルではないため、アップロードできません。\n%1").arg(names));
        }
        if (!paths.isEmpty() && frame.Engine().IsConnected())
            (new DropUpload(frame, paths, folder))->Start();
    });
}

void NewIndexHtml(CMainFrame& frame) {
    CFtpEngine& engine = frame.Engine();
    std::string& name = engine.Host().Indexhtml;
    if (name.empty())
        name = "index.html";
    engine.CreateIndexFile(frame.GetCurrentPath(), name);
    engine.ListCurrentFolder();
}

void FinishNameEdit(CMainFrame& frame, bool newFolder, const std::string& oldName, const QString& typed,
                    bool accepted) {
    const NameEditOutcome outcome = DecideNameEdit(newFolder, oldName, typed, accepted);
    CFtpEngine& engine = frame.Engine();
    switch (outcome.action) {
    case NameEditOutcome::Action::Nothing:
        break;
    case NameEditOutcome::Action::Refuse:
        QMessageBox::warning(&frame,
                             newFolder ? QStringLiteral("新規フォルダ") : QStringLiteral("名前の変更"),
                             outcome.refusal);
        break;
    case NameEditOutcome::Action::CreateFolder:
        if (engine.IsConnected())
            engine.CreateFolder(typed);
        break;
    case NameEditOutcome::Action::Rename:
        if (engine.IsConnected())
            engine.RenameEntry(oldName, typed);
        break;
    }
}

void Delete(CMainFrame& frame) {
    const std::vector<FileListRow> rows = SelectedRows(*frame.ListView());
    if (rows.empty())
        return;
    SettingsKey options;
    options.OpenKey(KeyFamily::Option);
    if (options.ReadDword(SettingName::ChkDelete, 0) == 0) {
        const DeleteSelection counted = CountForDelete(rows);
        if (AskDeleteConfirmation(&frame, counted.files, counted.folders, counted.lastFile,
                                  counted.lastFolder) != DialogResult::Yes)
            return;
    }
    frame.Engine().Delete(frame.GetCurrentPath(), rows);
}

void ChangeAttributes(CMainFrame& frame) {
    const std::vector<FileListRow> rows = SelectedRows(*frame.ListView());
    if (rows.empty())
        return;
    CFtpEngine& engine = frame.Engine();
    const AttributesAnswer answer =
        AskAttributes(&frame, engine.HostNumber(), rows.front().attributes + "---------");
    if (answer.result != DialogResult::Yes)
        return;
    std::vector<std::string> names;
    for (const FileListRow& row : rows)
        names.push_back(row.name);
    engine.ChangeAttributes(frame.GetCurrentPath(), names, answer.command, answer.number);
}

} // namespace FileCommands
