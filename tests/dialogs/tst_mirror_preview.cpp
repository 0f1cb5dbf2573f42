#include "StoreFixture.h"
#include "engine/MirrorPlan.h"
#include "engine/MirrorRecord.h"
#include "gui/dialogs/MirrorFolderDlg.h"
#include "gui/dialogs/MirrorPreviewDlg.h"
#include "settings/MirrorPairs.h"
#include "settings/TempFolder.h"
#include "views/MirrorPlanModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// A tree in a few words: "a/" a folder, "l->" a link, "a/x=5@100" a file of 5 bytes changed at
// second 100.
MirrorSide Tree(const QString& text) {
    MirrorSide side;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        MirrorEntry e;
        if (word.endsWith(QStringLiteral("->"))) {
            e.path = word.chopped(2).toStdString();
            e.link = true;
        } else if (word.endsWith(QLatin1Char('/'))) {
            e.path = word.chopped(1).toStdString();
            e.folder = true;
        } else {
            const QStringList parts = word.split(QRegularExpression(QStringLiteral("[=@]")));
            e.path = parts[0].toStdString();
            e.size = parts[1].toLongLong();
            e.time = {parts[2].toLongLong(), 0, TimePrecision::Exact};
        }
        side.entries.push_back(e);
    }
    return side;
}

// An upload that makes a folder for two files, meets a conflict it can send, one it can only remove,
// one between a folder and a file, a link, a file already the same, and a folder to remove.
struct UploadCase {
    MirrorSide source = Tree(QStringLiteral("new/ new/a=10@1 new/b=20@1 keep=5@100 dir/ link-> same=1@1"));
    MirrorSide destination = Tree(QStringLiteral("keep=5@200 dir=1@1 same=1@1 gone=3@1 old/ old/x=7@1"));
    MirrorPlan plan;

    UploadCase() {
        MirrorRecord record;
        MirrorRecordEntry gone;
        gone.localSize = 3;
        gone.remoteSize = 2; // changed on the server since it was sent
        record.Set("gone", gone);
        plan = PlanMirror(source, destination, record, {MirrorDirection::Up, true, false}, {});
    }
};

int RowOf(const MirrorPlanModel& model, const std::string& path) {
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.ActionAt(row).path == path)
            return row;
    }
    return -1;
}

QVariant CheckOf(const MirrorPlanModel& model, const std::string& path) {
    return model.data(model.index(RowOf(model, path), MirrorPlanModel::ColAction), Qt::CheckStateRole);
}

void Tick(MirrorPlanModel& model, const std::string& path, bool ticked) {
    QVERIFY(model.setData(model.index(RowOf(model, path), MirrorPlanModel::ColAction),
                          ticked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole));
}

// The chosen plan in a few words: "send:new/a mkdir:new remove:old".
QString Words(const MirrorPlan& plan) {
    static const char* const kinds[] = {"mkdir", "send", "record", "conflict", "skip", "remove"};
    QStringList words;
    for (const MirrorAction& a : plan.actions)
        words << QStringLiteral("%1:%2").arg(QLatin1String(kinds[a.kind]), QString::fromStdString(a.path));
    return words.join(QLatin1Char(' '));
}

// Runs `action`; the message box it shows is answered with `answer`, and its text given back.
QString AnswerMessage(QMessageBox::StandardButton answer, const std::function<void()>& action) {
    QString text;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&text, answer] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->button(answer)->click();
        }
    });
    poll.start();
    action();
    return text;
}

MirrorPairId Pair(const std::string& user) {
    return {"ftp.example.jp", 21, user, "/public_html"};
}

} // namespace

class TestMirrorPreview : public QObject {
    Q_OBJECT
private slots:
    void linesAndTheirTicks();
    void chosenPlanFollowsTheTicks();
    void summaryCountsWhatIsTicked();
    void stoppedPlanCannotRun();
    void largeRemovalAsksAgain();
    void pairSettingsRoundTrip();
    void folderProblems();
    void folderDialogRefusesWhatCannotServe();
};

void TestMirrorPreview::linesAndTheirTicks() {
    UploadCase c;
    MirrorPlanModel model(c.plan, MirrorDirection::Up, c.source, c.destination);
    QCOMPARE(model.rowCount(), 9); // "same" is only recorded
    QCOMPARE(RowOf(model, "same"), -1);
    QCOMPARE(CheckOf(model, "new/a"), QVariant(Qt::Checked));
    QCOMPARE(CheckOf(model, "new"), QVariant(Qt::Checked));
    QCOMPARE(CheckOf(model, "old/x"), QVariant(Qt::Checked));
    QCOMPARE(CheckOf(model, "keep"), QVariant(Qt::Unchecked));
    QCOMPARE(CheckOf(model, "gone"), QVariant(Qt::Unchecked));
    // Neither side can win between a folder and a file; a link is only listed.
    for (const std::string path : {"dir", "link"}) {
        QVERIFY(!CheckOf(model, path).isValid());
        const QModelIndex index = model.index(RowOf(model, path), MirrorPlanModel::ColAction);
        QVERIFY(!(model.flags(index) & Qt::ItemIsUserCheckable));
        QVERIFY(!model.setData(index, Qt::Checked, Qt::CheckStateRole));
    }
    const int row = RowOf(model, "new/b");
    QCOMPARE(model.data(model.index(row, MirrorPlanModel::ColAction)).toString(), QStringLiteral("送信"));
    QCOMPARE(model.data(model.index(row, MirrorPlanModel::ColSize)).toString(), QStringLiteral("20"));
    QCOMPARE(model.data(model.index(RowOf(model, "old"), MirrorPlanModel::ColPath)).toString(),
             QStringLiteral("old/"));
    QCOMPARE(model.data(model.index(RowOf(model, "keep"), MirrorPlanModel::ColReason)).toString(),
             QStringLiteral("サーバー側の方が新しくなっています"));
    MirrorPlanModel down(c.plan, MirrorDirection::Down, c.source, c.destination);
    QCOMPARE(down.data(down.index(row, MirrorPlanModel::ColAction)).toString(), QStringLiteral("受信"));
}

void TestMirrorPreview::chosenPlanFollowsTheTicks() {
    UploadCase c;
    MirrorPlanModel model(c.plan, MirrorDirection::Up, c.source, c.destination);
    QCOMPARE(Words(model.ChosenPlan()),
             QStringLiteral("skip:link mkdir:new send:new/a send:new/b record:same remove:old/x remove:old"));
    // Ticked conflicts let the source win: "keep" is sent, "gone" (the source has none) removed.
    Tick(model, "keep", true);
    Tick(model, "gone", true);
    // Without its files the new folder is not made; a folder is removed only with all it holds.
    Tick(model, "new/a", false);
    Tick(model, "new/b", false);
    Tick(model, "old/x", false);
    MirrorPlan chosen = model.ChosenPlan();
    QCOMPARE(Words(chosen), QStringLiteral("send:keep skip:link record:same remove:gone"));
    QCOMPARE(chosen.removedFiles, 1);
    // One file still sent keeps its folder, even with the folder's own line unticked.
    Tick(model, "new/b", true);
    Tick(model, "new", false);
    QCOMPARE(Words(model.ChosenPlan()),
             QStringLiteral("send:keep skip:link mkdir:new send:new/b record:same remove:gone"));
}

void TestMirrorPreview::summaryCountsWhatIsTicked() {
    UploadCase c;
    MirrorPlanModel model(c.plan, MirrorDirection::Up, c.source, c.destination);
    QSignalSpy changed(&model, &MirrorPlanModel::ChoiceChanged);
    QCOMPARE(
        MirrorSummaryText(model.ChosenSummary(), MirrorDirection::Up),
        QStringLiteral(
            "送信 2 件（30 バイト）、フォルダ作成 1 件、削除 2 件（7 バイト）、競合 3 件、スキップ 1 件"));
    Tick(model, "keep", true);
    Tick(model, "old/x", false);
    QCOMPARE(changed.count(), 2);
    const MirrorSummary summary = model.ChosenSummary();
    QCOMPARE(summary.count[MirrorAction::Send], 3);
    QCOMPARE(summary.bytes[MirrorAction::Send], 35);
    QCOMPARE(summary.count[MirrorAction::Remove], 0);
    QCOMPARE(summary.count[MirrorAction::Conflict], 2);
    QCOMPARE(MirrorSummaryText(summary, MirrorDirection::Down),
             QStringLiteral("受信 3 件（35 バイト）、フォルダ作成 1 件、競合 2 件、スキップ 1 件"));
    QCOMPARE(ByteAmountText(3'565'158), QStringLiteral("3.4 MB"));
}

void TestMirrorPreview::stoppedPlanCannotRun() {
    MirrorSide source = Tree(QString());
    MirrorSide destination = Tree(QStringLiteral("a=1@1"));
    const MirrorPlan plan = PlanMirror(source, destination, {}, {}, {});
    QVERIFY(plan.stopReason);
    CMirrorPreviewDlg dlg(plan, MirrorDirection::Up, source, destination, QStringLiteral("/home/u/site"),
                          "/www");
    QVERIFY(!dlg.runButton()->isEnabled());
    bool shown = false;
    for (const QLabel* label : dlg.findChildren<QLabel*>())
        shown = shown || label->text() == QString::fromUtf8(plan.stopReason);
    QVERIFY(shown);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("ミラーリングアップロードの確認"));
}

void TestMirrorPreview::largeRemovalAsksAgain() {
    QString source = QStringLiteral("keep=1@1");
    QString destination = source;
    for (int i = 0; i < 12; ++i)
        destination += QStringLiteral(" f%1=1@1").arg(i);
    MirrorSide s = Tree(source);
    MirrorSide d = Tree(destination);
    const MirrorPlan plan = PlanMirror(s, d, {}, {MirrorDirection::Down, true, false}, {});
    QVERIFY(plan.needsConfirmation);
    CMirrorPreviewDlg dlg(plan, MirrorDirection::Down, s, d, QStringLiteral("/home/u/site"), "/www");
    QCOMPARE(dlg.summaryLabel()->text(), QStringLiteral("受信 0 件、削除 12 件（12 バイト）"));
    dlg.show();
    const QString question =
        AnswerMessage(QMessageBox::No, [&dlg] { QTest::mouseClick(dlg.runButton(), Qt::LeftButton); });
    QCOMPARE(question, QStringLiteral("送り先のファイル 13 個のうち 12 個を削除します。よろしいですか。"));
    QVERIFY(dlg.isVisible());
    // Below the rule nothing more is asked.
    Tick(dlg.model(), "f0", false);
    Tick(dlg.model(), "f1", false);
    QCOMPARE(dlg.summaryLabel()->text(), QStringLiteral("受信 0 件、削除 10 件（10 バイト）"));
    QCOMPARE(AnswerMessage(QMessageBox::No, [&dlg] { QTest::mouseClick(dlg.runButton(), Qt::LeftButton); }),
             QString());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.TakeChosenPlan().removedFiles, 10);
}

void TestMirrorPreview::pairSettingsRoundTrip() {
    StoreFixture store;
    QCOMPARE(LoadMirrorPair(Pair("a")).localFolder, QString());
    MirrorPairSettings settings;
    settings.localFolder = QStringLiteral("/home/u/サイト");
    settings.removeAbsent = true;
    settings.exclusions = "*.tmp\n.git/\n# memo";
    QVERIFY(SaveMirrorPair(Pair("a"), settings));
    MirrorPairSettings loaded = LoadMirrorPair(Pair("a"));
    QCOMPARE(loaded.localFolder, settings.localFolder);
    QVERIFY(loaded.removeAbsent);
    QCOMPARE(loaded.exclusions, settings.exclusions);
    // Another account's pair of the same folder is its own.
    QCOMPARE(LoadMirrorPair(Pair("b")).localFolder, QString());
    // A shorter list leaves nothing of the longer one behind.
    settings.exclusions = "*.bak";
    settings.removeAbsent = false;
    QVERIFY(SaveMirrorPair(Pair("a"), settings));
    loaded = LoadMirrorPair(Pair("a"));
    QCOMPARE(loaded.exclusions, std::string("*.bak"));
    QVERIFY(!loaded.removeAbsent);
    QVERIFY(!store.fileBytes().contains("# memo"));
    // What the store could not give back is refused rather than cut short.
    settings.localFolder = QStringLiteral("/") + QString(400, QLatin1Char('x'));
    QVERIFY(!SaveMirrorPair(Pair("a"), settings));
    QCOMPARE(LoadMirrorPair(Pair("a")).exclusions, std::string("*.bak"));
}

void TestMirrorPreview::folderProblems() {
    StoreFixture store;
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    const QString temp = SystemTempFolder();
    QVERIFY(QDir().mkpath(temp + QStringLiteral("sub")));
    QVERIFY(!MirrorFolderProblem(temp + QStringLiteral("sub")).isEmpty());
    QVERIFY(!MirrorFolderProblem(QStringLiteral("relative/site")).isEmpty());
    QVERIFY(!MirrorFolderProblem(cache.filePath(QStringLiteral("missing"))).isEmpty());
    QCOMPARE(MirrorFolderProblem(cache.path()), QString());
    qputenv("LUMO_CONFIG_DIR", cache.path().toUtf8());
    QCOMPARE(MirrorRecordBase(), cache.path());
    qunsetenv("LUMO_CONFIG_DIR");
    QVERIFY(MirrorRecordBase().endsWith(QStringLiteral("/lumo")));
}

void TestMirrorPreview::folderDialogRefusesWhatCannotServe() {
    StoreFixture store;
    MirrorPairSettings stored;
    stored.exclusions = "*.tmp";
    CMirrorFolderDlg dlg(QStringLiteral("テスト"), Pair("a"), stored);
    QVERIFY(!dlg.removeBox()->isChecked());
    dlg.show();
    dlg.folderEdit()->setText(QStringLiteral("relative"));
    QVERIFY(!AnswerMessage(QMessageBox::Ok, [&dlg] { dlg.accept(); }).isEmpty());
    QVERIFY(dlg.isVisible());
    QTemporaryDir site;
    dlg.folderEdit()->setText(site.path() + QStringLiteral("/"));
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.Settings().localFolder, site.path());
    QCOMPARE(dlg.Settings().exclusions, std::string("*.tmp"));
}

QTEST_MAIN(TestMirrorPreview)
#include "tst_mirror_preview.moc"
