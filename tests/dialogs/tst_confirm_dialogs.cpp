#include "DialogDriver.h"
#include "StoreFixture.h"
#include "dialogs/DialogIds.h"
#include "gui/dialogs/AccountDlg.h"
#include "gui/dialogs/DialogQuestions.h"
#include "gui/dialogs/FileOverwriteDlg.h"
#include "gui/dialogs/FolderOverwriteDlg.h"
#include "gui/dialogs/MessageDlg.h"
#include "settings/SettingsKey.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace DialogId;

namespace {

QString TextOf(QWidget* dialog, int id) {
    if (auto* label = Control<QLabel>(dialog, id))
        return label->text();
    if (auto* button = Control<QAbstractButton>(dialog, id))
        return button->text();
    return QStringLiteral("<no control %1>").arg(id);
}

bool ShowsPicture(QWidget* dialog, int id) {
    auto* label = Control<QLabel>(dialog, id);
    return label && !label->pixmap().isNull();
}

bool IsDefault(QWidget* dialog, int id) {
    auto* button = Control<QPushButton>(dialog, id);
    return button && button->isDefault();
}

// A local file of the given size, last modified at the given local time.
QString MakeFile(const QTemporaryDir& dir, const QString& name, qint64 size, const QDateTime& modified) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(QByteArray(size, 'x'));
    f.flush();
    f.setFileTime(modified, QFileDevice::FileModificationTime);
    return path;
}

void AddAnswerColumns() {
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("result");
}

} // namespace

class TestConfirmDialogs : public QObject {
    Q_OBJECT
private slots:
    void messageDialogShowsTheQuestion();
    void messageDialogAnswers_data();
    void messageDialogAnswers();
    void fileOverwriteDownloadForm();
    void fileOverwriteAnswers_data();
    void fileOverwriteAnswers();
    void fileOverwriteServesABatch();
    void folderOverwriteDialog();
    void folderOverwriteAnswers_data();
    void folderOverwriteAnswers();
    void accountDialogShowsTheStoredAccount();
    void accountSavedOnlyWhenTicked();
    void questionsForTheSession();
    void accountQuestion();
};

void TestConfirmDialogs::messageDialogShowsTheQuestion() {
    CMessageDlg dlg;
    dlg.SetDeleteQuestion(1, 1, QStringLiteral("a.txt"), QStringLiteral("pub"));
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("複数ファイルの削除の確認"));
    QCOMPARE(TextOf(&dlg, IDC_MESSAGE_TEXT),
             QStringLiteral("これらの 2個のファイルを削除してもよろしいですか。"));
    QVERIFY(ShowsPicture(&dlg, IDC_MESSAGE_ICON));
    QCOMPARE(TextOf(&dlg, IDOK), QStringLiteral("はい"));
    QCOMPARE(TextOf(&dlg, IDCANCEL), QStringLiteral("いいえ"));
    QVERIFY(IsDefault(&dlg, IDOK));
    QCOMPARE(TabOrder(&dlg), (QList<int>{IDOK, IDCANCEL}));
    // Picture left, text right of it, the buttons under the text, yes before no.
    QWidget* icon = Control<QWidget>(&dlg, IDC_MESSAGE_ICON);
    QWidget* text = Control<QWidget>(&dlg, IDC_MESSAGE_TEXT);
    QWidget* yes = Control<QWidget>(&dlg, IDOK);
    QWidget* no = Control<QWidget>(&dlg, IDCANCEL);
    QVERIFY(icon->geometry().right() < text->geometry().left());
    QVERIFY(text->geometry().bottom() < yes->geometry().top());
    QVERIFY(yes->geometry().right() < no->geometry().left());
    QVERIFY(dlg.rect().contains(no->geometry()));
    dlg.hide();

    // A name is shown as it is, never read as markup.
    dlg.SetDeleteQuestion(1, 0, QStringLiteral("<b>x</b>"), QString());
    dlg.show();
    QCOMPARE(Control<QLabel>(&dlg, IDC_MESSAGE_TEXT)->textFormat(), Qt::PlainText);
    QCOMPARE(TextOf(&dlg, IDC_MESSAGE_TEXT), QStringLiteral("「<b>x</b>」 を削除してもよろしいですか。"));
}

void TestConfirmDialogs::messageDialogAnswers_data() {
    AddAnswerColumns();
    QTest::newRow("はい") << IDOK << DialogResult::Yes;
    QTest::newRow("いいえ") << IDCANCEL << DialogResult::Cancel;
    QTest::newRow("Escape") << PressEscape << DialogResult::Cancel;
    QTest::newRow("close box") << CloseBox << DialogResult::Cancel;
}

void TestConfirmDialogs::messageDialogAnswers() {
    QFETCH(int, how);
    CMessageDlg dlg;
    dlg.SetDeleteQuestion(0, 3, QString(), QStringLiteral("pub"));
    WhenModalShown([how](QDialog* d) { AnswerDialog(d, how); });
    QTEST(dlg.exec(), "result");
}

void TestConfirmDialogs::fileOverwriteDownloadForm() {
    QTemporaryDir dir;
    const QString path =
        MakeFile(dir, QStringLiteral("report.txt"), 2047, QDateTime(QDate(2022, 3, 4), QTime(5, 6, 7)));
    CFileOverwriteDlg dlg;
    QVERIFY(dlg.PrepareDownload(path, QStringLiteral("2000/12/05 09:07"), 1));
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("ファイル上書きの確認"));
    QCOMPARE(TextOf(&dlg, IDC_HEADLINE),
             QStringLiteral("このフォルダには、既に 「report.txt」\u3000ファイルが存在します。"));
    QCOMPARE(Control<QLabel>(&dlg, IDC_HEADLINE)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QCOMPARE(TextOf(&dlg, IDC_EXISTING_SIZE), QStringLiteral("サイズ: 1KB"));
    QCOMPARE(TextOf(&dlg, IDC_EXISTING_DATE), QStringLiteral("更新日時: 2022年3月4日、5:06:07"));
    QCOMPARE(TextOf(&dlg, IDC_NEW_SIZE), QStringLiteral("サイズ: 1KB"));
    QCOMPARE(TextOf(&dlg, IDC_NEW_DATE), QStringLiteral("更新日時: 2000年12月5日、9:07:00"));
    QVERIFY(ShowsPicture(&dlg, IDC_EXISTING_ICON));
    QVERIFY(ShowsPicture(&dlg, IDC_NEW_ICON));
    QCOMPARE(TextOf(&dlg, IDOK), QStringLiteral("はい(&Y)"));
    QCOMPARE(TextOf(&dlg, IDC_RESUME), QStringLiteral("レジューム(&R)"));
    QCOMPARE(TextOf(&dlg, IDC_OVERWRITE_ALL), QStringLiteral("全て上書き(&A)"));
    QCOMPARE(TextOf(&dlg, IDCANCEL), QStringLiteral("キャンセル"));
    QVERIFY(IsDefault(&dlg, IDOK));
    QCOMPARE(TabOrder(&dlg), (QList<int>{IDOK, IDC_RESUME, IDC_OVERWRITE_ALL, IDCANCEL}));
    QStringList fixed;
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
        if (label->objectName().isEmpty())
            fixed << label->text();
    }
    QCOMPARE(fixed, (QStringList{QStringLiteral("現在のファイル"),
                                 QStringLiteral("に次の新しいファイルを上書きしますか?")}));
    // Existing file above the question, new file below it.
    QVERIFY(Control<QWidget>(&dlg, IDC_EXISTING_DATE)->y() < Control<QWidget>(&dlg, IDC_NEW_SIZE)->y());
    QVERIFY(Control<QWidget>(&dlg, IDC_NEW_DATE)->geometry().bottom() < Control<QWidget>(&dlg, IDOK)->y());
}

void TestConfirmDialogs::fileOverwriteAnswers_data() {
    AddAnswerColumns();
    QTest::newRow("はい") << IDOK << DialogResult::Yes;
    QTest::newRow("レジューム") << IDC_RESUME << DialogResult::Resume;
    QTest::newRow("全て上書き") << IDC_OVERWRITE_ALL << DialogResult::OverwriteAll;
    QTest::newRow("キャンセル") << IDCANCEL << DialogResult::Cancel;
    QTest::newRow("Escape") << PressEscape << DialogResult::Cancel;
    QTest::newRow("close box") << CloseBox << DialogResult::Cancel;
}

void TestConfirmDialogs::fileOverwriteAnswers() {
    QFETCH(int, how);
    QTemporaryDir dir;
    const QString path = MakeFile(dir, QStringLiteral("a.bin"), 10, QDateTime::currentDateTime());
    CFileOverwriteDlg dlg;
    QVERIFY(dlg.PrepareUpload(path, QStringLiteral("2000/12/05"), QStringLiteral("10")));
    WhenModalShown([how](QDialog* d) { AnswerDialog(d, how); });
    QTEST(dlg.exec(), "result");
}

void TestConfirmDialogs::fileOverwriteServesABatch() {
    QTemporaryDir dir;
    const QDateTime when(QDate(2022, 3, 4), QTime(15, 16, 17));
    const QString first = MakeFile(dir, QStringLiteral("one.html"), 0, when);
    const QString second = MakeFile(dir, QStringLiteral("two.tar.gz"), 5000, when);
    CFileOverwriteDlg dlg;
    QVERIFY(dlg.PrepareDownload(first, QStringLiteral("2000/12/05 09:07"), 4096));
    WhenModalShown([](QDialog* d) {
        QCOMPARE(TextOf(d, IDC_EXISTING_SIZE), QStringLiteral("サイズ: 0KB"));
        QCOMPARE(TextOf(d, IDC_NEW_SIZE), QStringLiteral("サイズ: 4KB"));
        ClickButton(d, IDOK);
    });
    QCOMPARE(dlg.exec(), DialogResult::Yes);

    // The next clash replaces every line, the date the server gave none for included.
    QVERIFY(dlg.PrepareUpload(second, QStringLiteral("-"), QStringLiteral("77")));
    WhenModalShown([](QDialog* d) {
        QCOMPARE(TextOf(d, IDC_HEADLINE),
                 QStringLiteral("ホストには、既に 「two.tar.gz」\u3000ファイルが存在します。"));
        QCOMPARE(TextOf(d, IDC_EXISTING_SIZE), QStringLiteral("サイズ: 77バイト"));
        QCOMPARE(TextOf(d, IDC_EXISTING_DATE), QString());
        QCOMPARE(TextOf(d, IDC_NEW_SIZE), QStringLiteral("サイズ: 4ＫＢ"));
        QCOMPARE(TextOf(d, IDC_NEW_DATE), QStringLiteral("更新日時: 2022年3月4日、15:16:17"));
        ClickButton(d, IDC_OVERWRITE_ALL);
    });
    QCOMPARE(dlg.exec(), DialogResult::OverwriteAll);

    // A rename onto a remote file: only yes and cancel, until a transfer asks again.
    dlg.PrepareRename(QStringLiteral("名前.txt"), {QStringLiteral("2000/12/05"), QStringLiteral("12")},
                      {QStringLiteral("2001/01/02 03:04"), QStringLiteral("7")});
    WhenModalShown([](QDialog* d) {
        QCOMPARE(TextOf(d, IDC_NEW_SIZE), QStringLiteral("サイズ: 7バイト"));
        QCOMPARE(TextOf(d, IDC_NEW_DATE), QStringLiteral("更新日時: 2001年1月2日、3:04:00"));
        QCOMPARE(TextOf(d, IDC_HEADLINE),
                 QStringLiteral("ホストには、既に 「名前.txt」\u3000ファイルが存在します。"));
        QCOMPARE(TextOf(d, IDC_EXISTING_SIZE), QStringLiteral("サイズ: 12バイト"));
        QVERIFY(!d->findChild<QWidget*>(ControlName(IDC_RESUME))->isVisible());
        QVERIFY(!d->findChild<QWidget*>(ControlName(IDC_OVERWRITE_ALL))->isVisible());
        ClickButton(d, IDOK);
    });
    QCOMPARE(dlg.exec(), DialogResult::Yes);
    QVERIFY(dlg.PrepareUpload(second, QStringLiteral("-"), QStringLiteral("77")));
    WhenModalShown([](QDialog* d) {
        QVERIFY(d->findChild<QWidget*>(ControlName(IDC_RESUME))->isVisible());
        ClickButton(d, IDCANCEL);
    });
    QCOMPARE(dlg.exec(), DialogResult::Cancel);

    // A file whose status cannot be read is not asked about.
    QVERIFY(!dlg.PrepareDownload(dir.filePath(QStringLiteral("gone")), QString(), 1));
    QVERIFY(!dlg.PrepareUpload(dir.filePath(QStringLiteral("gone")), QString(), QString()));
}

void TestConfirmDialogs::folderOverwriteDialog() {
    CFolderOverwriteDlg dlg;
    dlg.Prepare(QStringLiteral("/home/u/dl/新しいフォルダ"));
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("フォルダ上書きの確認"));
    QCOMPARE(TextOf(&dlg, IDC_FOLDER_HEADLINE),
             QStringLiteral("このフォルダには既に「新しいフォルダ」フォルダが存在します。"));
    QVERIFY(ShowsPicture(&dlg, IDC_FOLDER_ICON));
    QCOMPARE(TextOf(&dlg, IDOK), QStringLiteral("はい(&Y)"));
    QCOMPARE(TextOf(&dlg, IDC_OVERWRITE_ALL), QStringLiteral("全て上書き(&A)"));
    QCOMPARE(TextOf(&dlg, IDC_FOLDER_NO), QStringLiteral("いいえ(&N)"));
    QCOMPARE(TextOf(&dlg, IDCANCEL), QStringLiteral("キャンセル"));
    QVERIFY(IsDefault(&dlg, IDOK));
    QCOMPARE(TabOrder(&dlg), (QList<int>{IDOK, IDC_OVERWRITE_ALL, IDC_FOLDER_NO, IDCANCEL}));
    QList<QLabel*> fixed;
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
        if (label->objectName().isEmpty())
            fixed << label;
    }
    QCOMPARE(fixed.size(), 1);
    QCOMPARE(
        fixed[0]->text(),
        QStringLiteral("現在のフォルダのファイルと新しいフォルダのファイルが同じ名前の場合、新しいファイル"
                       "で上書きされます。フォルダをダウンロードしますか。"));
}

void TestConfirmDialogs::folderOverwriteAnswers_data() {
    AddAnswerColumns();
    QTest::newRow("はい") << IDOK << DialogResult::Yes;
    QTest::newRow("全て上書き") << IDC_OVERWRITE_ALL << DialogResult::OverwriteAll;
    QTest::newRow("いいえ") << IDC_FOLDER_NO << DialogResult::No;
    QTest::newRow("キャンセル") << IDCANCEL << DialogResult::Cancel;
    QTest::newRow("Escape") << PressEscape << DialogResult::Cancel;
    QTest::newRow("close box") << CloseBox << DialogResult::Cancel;
}

void TestConfirmDialogs::folderOverwriteAnswers() {
    QFETCH(int, how);
    CFolderOverwriteDlg dlg;
    dlg.Prepare(QStringLiteral("/tmp/x"));
    WhenModalShown([how](QDialog* d) { AnswerDialog(d, how); });
    QTEST(dlg.exec(), "result");
}

void TestConfirmDialogs::accountDialogShowsTheStoredAccount() {
    StoreFixture fx;
    CAccountDlg dlg(0);
    dlg.m_user = QStringLiteral("anna");
    dlg.m_pass = QStringLiteral("secret");
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("アカウント情報の再確認"));
    auto* user = Control<QLineEdit>(&dlg, IDC_USER);
    auto* pass = Control<QLineEdit>(&dlg, IDC_PASSWORD);
    QCOMPARE(user->text(), QStringLiteral("anna"));
    QCOMPARE(pass->text(), QStringLiteral("secret"));
    QCOMPARE(pass->echoMode(), QLineEdit::Password);
    QCOMPARE(pass->selectedText(), QStringLiteral("secret"));
    QCOMPARE(TextOf(&dlg, IDC_SAVE_ACCOUNT), QStringLiteral("このユーザー情報を保存する"));
    QVERIFY(!Control<QCheckBox>(&dlg, IDC_SAVE_ACCOUNT)->isChecked());
    QCOMPARE(TextOf(&dlg, IDOK), QStringLiteral("OK"));
    QCOMPARE(TextOf(&dlg, IDCANCEL), QStringLiteral("ｷｬﾝｾﾙ"));
    QVERIFY(IsDefault(&dlg, IDOK));
    QCOMPARE(TabOrder(&dlg), (QList<int>{IDC_USER, IDC_PASSWORD, IDC_SAVE_ACCOUNT, IDOK, IDCANCEL}));
    // User name above password, both inside the account group, the check box under it.
    auto* group = dlg.findChild<QGroupBox*>();
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("アカウント"));
    QVERIFY(group->geometry().contains(user->geometry()) && group->geometry().contains(pass->geometry()));
    QVERIFY(user->y() < pass->y());
    QVERIFY(group->geometry().bottom() <= Control<QWidget>(&dlg, IDC_SAVE_ACCOUNT)->y());
}

void TestConfirmDialogs::accountSavedOnlyWhenTicked() {
    StoreFixture fx;
    {
        // Not ticked: the answer carries the edits, the store is left alone.
        CAccountDlg dlg(3);
        dlg.m_user = QStringLiteral("anna");
        WhenModalShown([](QDialog* d) {
            Control<QLineEdit>(d, IDC_USER)->setText(QStringLiteral("bert"));
            QTest::keyClicks(Control<QLineEdit>(d, IDC_PASSWORD), QStringLiteral("new"));
            ClickButton(d, IDOK);
        });
        QCOMPARE(dlg.exec(), DialogResult::Yes);
        QCOMPARE(dlg.m_user, QStringLiteral("bert"));
        QCOMPARE(dlg.m_pass, QStringLiteral("new"));
        QVERIFY(!QFile::exists(fx.filePath()));
    }
    {
        // Ticked but cancelled: nothing is stored.
        CAccountDlg dlg(3);
        WhenModalShown([](QDialog* d) {
            QTest::mouseClick(Control<QCheckBox>(d, IDC_SAVE_ACCOUNT), Qt::LeftButton);
            ClickButton(d, IDCANCEL);
        });
        QCOMPARE(dlg.exec(), DialogResult::Cancel);
        QVERIFY(!QFile::exists(fx.filePath()));
    }
    {
        // Ticked and confirmed: User and the scrambled Pass go to the host's key.
        CAccountDlg dlg(3);
        dlg.m_user = QStringLiteral("ユーザー");
        dlg.m_pass = QStringLiteral("old");
        WhenModalShown([](QDialog* d) {
            QTest::sendKeyEvent(QTest::Click, Control<QLineEdit>(d, IDC_PASSWORD), Qt::Key_unknown,
                                QStringLiteral("パス"), Qt::NoModifier);
            QTest::mouseClick(Control<QCheckBox>(d, IDC_SAVE_ACCOUNT), Qt::LeftButton);
            QTest::keyClick(Control<QLineEdit>(d, IDC_PASSWORD), Qt::Key_Return);
        });
        QCOMPARE(dlg.exec(), DialogResult::Yes);
        SettingsKey key;
        QVERIFY(key.OpenKey(KeyFamily::Host, "Host3"));
        QCOMPARE(key.ReadString("User", ""), std::string("ユーザー"));
        QCOMPARE(key.ReadScrambled("Pass"), std::string("パス"));
        auto raw = fx.store().value("Software\\lumo\\Host\\Host3", "Pass");
        QVERIFY(raw && raw->type == RegistryValue::Type::Binary);
    }
}

void TestConfirmDialogs::questionsForTheSession() {
    // Remote names come as the server's bytes: UTF-8, or Shift-JIS when they are not UTF-8.
    WhenModalShown([](QDialog* d) {
        QCOMPARE(d->objectName(), ControlName(IDD_MESSAGE));
        QCOMPARE(d->windowTitle(), QStringLiteral("ファイル削除の確認"));
        QCOMPARE(TextOf(d, IDC_MESSAGE_TEXT), QStringLiteral("「表.txt」 を削除してもよろしいですか。"));
        ClickButton(d, IDOK);
    });
    QCOMPARE(AskDeleteConfirmation(nullptr, 1, 0, "\x95\x5C.txt", ""), DialogResult::Yes);
    WhenModalShown([](QDialog* d) {
        QCOMPARE(
            TextOf(d, IDC_MESSAGE_TEXT),
            QStringLiteral("フォルダ 「資料」 とフォルダ内のすべてのファイルを削除してもよろしいですか。"));
        AnswerDialog(d, PressEscape);
    });
    QCOMPARE(AskDeleteConfirmation(nullptr, 0, 1, "", "資料"), DialogResult::Cancel);

    QTemporaryDir dir;
    const QString path = MakeFile(dir, QStringLiteral("data.csv"), 3000, QDateTime::currentDateTime());
    WhenModalShown([](QDialog* d) {
        QCOMPARE(d->objectName(), ControlName(IDD_FILE_OVERWRITE));
        QCOMPARE(TextOf(d, IDC_NEW_SIZE), QStringLiteral("サイズ: 5242880KB"));
        ClickButton(d, IDC_RESUME);
    });
    QCOMPARE(AskDownloadOverwrite(nullptr, path, "2000/12/05", std::int64_t(5) << 30), DialogResult::Resume);
    WhenModalShown([](QDialog* d) {
        QCOMPARE(TextOf(d, IDC_EXISTING_SIZE), QStringLiteral("サイズ: 4096バイト"));
        ClickButton(d, IDC_OVERWRITE_ALL);
    });
    QCOMPARE(AskUploadOverwrite(nullptr, path, "2000/12/05 10:00", "4096"), DialogResult::OverwriteAll);
    // No dialog at all for a local file that cannot be read.
    QCOMPARE(AskDownloadOverwrite(nullptr, dir.filePath(QStringLiteral("gone")), "", 1),
             DialogResult::NotAsked);
    QCOMPARE(AskUploadOverwrite(nullptr, dir.filePath(QStringLiteral("gone")), "", "1"),
             DialogResult::NotAsked);

    WhenModalShown([](QDialog* d) {
        QCOMPARE(d->objectName(), ControlName(IDD_FOLDER_OVERWRITE));
        QCOMPARE(TextOf(d, IDC_FOLDER_HEADLINE),
                 QStringLiteral("このフォルダには既に「pub」フォルダが存在します。"));
        ClickButton(d, IDC_FOLDER_NO);
    });
    QCOMPARE(AskFolderOverwrite(nullptr, dir.filePath(QStringLiteral("pub"))), DialogResult::No);
}

void TestConfirmDialogs::accountQuestion() {
    StoreFixture fx;
    WhenModalShown([](QDialog* d) {
        QCOMPARE(d->objectName(), ControlName(IDD_ACCOUNT));
        QCOMPARE(Control<QLineEdit>(d, IDC_USER)->text(), QStringLiteral("anna"));
        QCOMPARE(Control<QLineEdit>(d, IDC_PASSWORD)->text(), QStringLiteral("pw"));
        // A line break pasted into the password must not reach the server as a second command.
        Control<QLineEdit>(d, IDC_PASSWORD)->setText(QStringLiteral("pw2\r\nDELE x"));
        ClickButton(d, IDOK);
    });
    AccountAnswer answer = AskAccount(nullptr, 0, "anna", "pw");
    QCOMPARE(answer.result, DialogResult::Yes);
    QCOMPARE(answer.user, std::string("anna"));
    QCOMPARE(answer.pass, std::string("pw2"));

    WhenModalShown([](QDialog* d) { ClickButton(d, IDCANCEL); });
    answer = AskAccount(nullptr, 0, "anna", "pw");
    QCOMPARE(answer.result, DialogResult::Cancel);
    QCOMPARE(answer.user, std::string());
    QVERIFY(!QFile::exists(fx.filePath()));
}

QTEST_MAIN(TestConfirmDialogs)
#include "tst_confirm_dialogs.moc"
