#pragma once

// The set-up the window tests share: a pyftpdlib server with a small tree, its host in a private
// store, a local folder, and the main window; and the helpers that read and choose the list's rows.
#include "StoreFixture.h"
#include "app/CommandIds.h"
#include "app/gui/CMainFrame.h"
#include "engine/FtpEngine.h"
#include "engine/TransferQueue.h"
#include "fixtures/RealFtpServer.h"
#include "gui/views/CQXListView.h"
#include "hosts/QXDoc.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "settings/TransferSessions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The rows of the file list as its details view shows them: name, size, attributes' first letter.
inline QStringList shownRows(CQXListView* list) {
    const QAbstractItemModel* model = list->DetailsView()->model();
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        const QString attributes = model->index(r, 3).data().toString();
        rows << model->index(r, 0).data().toString() + QLatin1Char('|') +
                    model->index(r, 1).data().toString() + QLatin1Char('|') + attributes.left(1);
    }
    return rows;
}

inline const QStringList kTopRows{
    QStringLiteral("sub||d"),       QStringLiteral("日本語フォルダ||d"), QStringLiteral("a.txt|5|-"),
    QStringLiteral("b.log|1234|-"), QStringLiteral("データ.txt|0|-"),
};

// The served tree, its host in the store, a local folder for downloads and uploads, and the window.
struct Session {
    StoreFixture fx;
    RealFtpServer server{RealFtpServer::Kind::Pyftpdlib};
    QTemporaryDir local;
    std::unique_ptr<CMainFrame> frame;

    QString ServerPath(const QString& name) const { return QDir(server.root()).filePath(name); }
    QString LocalPath(const QString& name) const { return QDir(local.path()).filePath(name); }

    // Everything up to the window on screen, not yet connected. `downloads` becomes the host's
    // download folder; files go over `sessions` connections (1: on the browsing one, one at a time).
    void Start(const QString& downloads = {}, int sessions = 4) {
        SaveDefaultTransferSessions(sessions);
        QDir root(server.root());
        QVERIFY(root.mkpath(QStringLiteral("sub/inner")));
        QVERIFY(root.mkpath(QStringLiteral("日本語フォルダ")));
        writeFile(root.filePath(QStringLiteral("b.log")), QByteArray(1234, 'b'));
        writeFile(root.filePath(QStringLiteral("a.txt")), "hello");
        writeFile(root.filePath(QStringLiteral("データ.txt")), QByteArray());
        writeFile(root.filePath(QStringLiteral("sub/inside.txt")), QByteArray(70000, 'i'));
        // Sent slowly by the server, so that a download of it can be caught while it runs.
        server.setSlowFileRate(64 * 1024);
        QVERIFY2(server.start(), qPrintable(server.error()));

        HostRecord host;
        host.Name = "テストサーバー";
        host.Adr = "127.0.0.1";
        host.Port = server.port();
        host.User = server.user().toStdString();
        host.Pass = server.password().toStdString();
        host.DownPath = downloads.toStdString();
        CQXDoc().SaveAllHosts({host});
        // The program's temporary folder lies in the test's folder.
        SettingsKey key;
        QVERIFY(key.CreateKey(KeyFamily::System));
        key.WriteString(SettingName::Temp, LocalPath(QStringLiteral("tmp")).toStdString());
        QVERIFY(QDir().mkpath(LocalPath(QStringLiteral("tmp"))));

        frame = std::make_unique<CMainFrame>();
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }

    // Connects and waits for the root's listing.
    void Connect() {
        QVERIFY(frame->RunCommand(CommandId::Connect));
        QTRY_COMPARE_WITH_TIMEOUT(shownRows(frame->ListView()), kTopRows, 10000);
        WaitIdle();
    }

    // The browsing session rests and the transfer queue has nothing left.
    void WaitIdle() {
        QTRY_VERIFY_WITH_TIMEOUT(!frame->Engine().CanCancel() && !frame->TransferQueue().HasWork(), 10000);
    }
};

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline QModelIndex rowNamed(CQXListView* list, const QString& name) {
    const FileListModel& model = list->Model();
    for (int r = 0; r < model.RowCount(); ++r) {
        if (model.ItemText(r, 0) == name)
            return model.index(r, 0);
    }
    return {};
}

// Chooses rows as a click and control-clicks would; the first becomes the selection mark.
inline void selectRows(CQXListView* list, const QStringList& names) {
    list->SelectionModel()->clearSelection();
    for (const QString& name : names) {
        const QModelIndex index = rowNamed(list, name);
        QVERIFY2(index.isValid(), qPrintable(name));
        const auto how = QItemSelectionModel::Select | QItemSelectionModel::Rows;
        if (name == names.first())
            list->SelectionModel()->setCurrentIndex(index, how);
        else
            list->SelectionModel()->select(index, how);
    }
}
