#include "DialogDriver.h"
#include "StoreFixture.h"
#include "dialogs/DialogIds.h"
#include "gui/dialogs/AttributesDlg.h"
#include "gui/dialogs/DialogQuestions.h"
#include "settings/SettingsKey.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace DialogId;

namespace {

// The check boxes as "rwxrwxrwx" with "-" for a clear box.
QString Boxes(QWidget* dialog) {
    const char letters[] = "rwx";
    QString shown;
    for (int i = 0; i < 9; ++i)
        shown += Control<QCheckBox>(dialog, PermissionBoxes[i])->isChecked() ? QLatin1Char(letters[i % 3])
                                                                             : QLatin1Char('-');
    return shown;
}

QLineEdit* NumberEdit(QWidget* dialog) {
    return Control<QLineEdit>(dialog, IDC_NUMBER);
}

QLineEdit* CommandEdit(QWidget* dialog) {
    return Control<QLineEdit>(dialog, IDC_COMMAND);
}

// Replaces the number by typing over it, one key at a time; no keys clear it.
void TypeNumber(QWidget* dialog, const QString& keys) {
    NumberEdit(dialog)->selectAll();
    if (keys.isEmpty())
        QTest::keyClick(NumberEdit(dialog), Qt::Key_Delete);
    else
        QTest::keyClicks(NumberEdit(dialog), keys);
}

std::string StoredCommand(StoreFixture& fx, int host) {
    auto raw = fx.store().value("Software\\lumo\\Host\\Host" + std::to_string(host), "chmod");
    return raw ? raw->bytes : std::string("<none>");
}

} // namespace

class TestAttributesDialog : public QObject {
    Q_OBJECT
private slots:
    void openingShowsTheFileAndTheTemplate();
    void clickingABoxChangesTheNumber();
    void typedNumberMovesTheBoxes();
    void digitsEightAndNineLeaveTheBoxes();
    void aLetterIsRefusedWhereItWasTyped();
    void commandIsRememberedPerHost();
    void lineBreakInTheCommandIsCut();
    void answers_data();
    void answers();
    void questionForTheSelection();
};

void TestAttributesDialog::openingShowsTheFileAndTheTemplate() {
    StoreFixture fx;
    CAttributesDlg dlg(0);
    dlg.SetPermissions(FlagsFromAttributes(QStringLiteral("-rw-r--r--")));
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("属性の変更"));
    QCOMPARE(Boxes(&dlg), QStringLiteral("rw-r--r--"));
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("644"));
    QCOMPARE(NumberEdit(&dlg)->maxLength(), 3);
    QCOMPARE(CommandEdit(&dlg)->text(), QStringLiteral("SITE CHMOD"));

    QCOMPARE(Control<QGroupBox>(&dlg, IDC_ATTRIBUTE_GROUP)->title(), QStringLiteral("属性"));
    QCOMPARE(Control<QGroupBox>(&dlg, IDC_COMMAND_GROUP)->title(), QStringLiteral("送信コマンド"));
    QCOMPARE(Control<QLabel>(&dlg, IDC_OWNER_LABEL)->text(), QStringLiteral("オーナー"));
    QCOMPARE(Control<QLabel>(&dlg, IDC_GROUP_LABEL)->text(), QStringLiteral("グループ"));
    QCOMPARE(Control<QLabel>(&dlg, IDC_OTHER_LABEL)->text(), QStringLiteral("その他（公共）"));
    const QString texts[3] = {QStringLiteral("読み込み"), QStringLiteral("書き込み"),
                              QStringLiteral("\u3000実 行")};
    for (int i = 0; i < 9; ++i)
        QCOMPARE(Control<QCheckBox>(&dlg, PermissionBoxes[i])->text(), texts[i % 3]);
    QCOMPARE(Control<QPushButton>(&dlg, IDC_DEFAULT_COMMAND)->text(), QStringLiteral("標準"));
    QCOMPARE(Control<QPushButton>(&dlg, IDOK)->text(), QStringLiteral("変更"));
    QCOMPARE(Control<QPushButton>(&dlg, IDCANCEL)->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    QVERIFY(Control<QPushButton>(&dlg, IDOK)->isDefault());
    QCOMPARE(TabOrder(&dlg),
             (QList<int>{IDC_OWNER_READ, IDC_OWNER_WRITE, IDC_OWNER_EXECUTE, IDC_GROUP_READ, IDC_GROUP_WRITE,
                         IDC_GROUP_EXECUTE, IDC_OTHER_READ, IDC_OTHER_WRITE, IDC_OTHER_EXECUTE, IDC_COMMAND,
                         IDC_NUMBER, IDC_DEFAULT_COMMAND, IDOK, IDCANCEL}));

    // Owner, group and other side by side, read above write above execute, all in the attribute
    // group; the command, the number and 標準 in a row in the command group, below it.
    const QRect attributes = Control<QWidget>(&dlg, IDC_ATTRIBUTE_GROUP)->geometry();
    const QRect command = Control<QWidget>(&dlg, IDC_COMMAND_GROUP)->geometry();
    for (int i = 0; i < 9; ++i) {
        const QRect box = Control<QWidget>(&dlg, PermissionBoxes[i])->geometry();
        QVERIFY(attributes.contains(box));
        if (i % 3)
            QVERIFY(Control<QWidget>(&dlg, PermissionBoxes[i - 1])->y() < box.y());
        if (i >= 3)
            QVERIFY(Control<QWidget>(&dlg, PermissionBoxes[i - 3])->x() < box.x());
    }
    QVERIFY(attributes.bottom() < command.top());
    QVERIFY(command.contains(CommandEdit(&dlg)->geometry()));
    QVERIFY(CommandEdit(&dlg)->geometry().right() < NumberEdit(&dlg)->x());
    QVERIFY(NumberEdit(&dlg)->geometry().right() < Control<QWidget>(&dlg, IDC_DEFAULT_COMMAND)->x());
    QVERIFY(command.bottom() < Control<QWidget>(&dlg, IDOK)->y());
}

void TestAttributesDialog::clickingABoxChangesTheNumber() {
    StoreFixture fx;
    CAttributesDlg dlg(0);
    dlg.SetPermissions(FlagsFromAttributes(QStringLiteral("-rw-r--r--")));
    dlg.show();
    QTest::mouseClick(Control<QCheckBox>(&dlg, IDC_OWNER_EXECUTE), Qt::LeftButton);
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("744"));
    QTest::mouseClick(Control<QCheckBox>(&dlg, IDC_OTHER_READ), Qt::LeftButton);
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("740"));
    QTest::keyClick(Control<QCheckBox>(&dlg, IDC_GROUP_WRITE), Qt::Key_Space);
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("760"));
    QCOMPARE(Boxes(&dlg), QStringLiteral("rwxrw----"));
}

void TestAttributesDialog::typedNumberMovesTheBoxes() {
    StoreFixture fx;
    CAttributesDlg dlg(0);
    dlg.SetPermissions(FlagsFromAttributes(QStringLiteral("-rw-r--r--")));
    dlg.show();
    TypeNumber(&dlg, QStringLiteral("7"));
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("7"));
    QCOMPARE(Boxes(&dlg), QStringLiteral("rwx------"));
    QTest::keyClicks(NumberEdit(&dlg), QStringLiteral("55"));
    QCOMPARE(Boxes(&dlg), QStringLiteral("rwxr-xr-x"));
    // A digit replaced in the middle keeps the caret where the user typed.
    NumberEdit(&dlg)->setSelection(1, 1);
    QTest::keyClicks(NumberEdit(&dlg), QStringLiteral("1"));
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("715"));
    QCOMPARE(NumberEdit(&dlg)->cursorPosition(), 2);
    QCOMPARE(Boxes(&dlg), QStringLiteral("rwx--xr-x"));
    // No more than three digits.
    QTest::keyClick(NumberEdit(&dlg), Qt::Key_End);
    QTest::keyClicks(NumberEdit(&dlg), QStringLiteral("7"));
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("715"));
    // An empty number reads as 000.
    TypeNumber(&dlg, QString());
    QCOMPARE(Boxes(&dlg), QStringLiteral("---------"));
}

void TestAttributesDialog::digitsEightAndNineLeaveTheBoxes() {
    StoreFixture fx;
    CAttributesDlg dlg(0);
    dlg.SetPermissions(FlagsFromAttributes(QStringLiteral("-rw-r--r--")));
    dlg.show();
    TypeNumber(&dlg, QStringLiteral("8"));
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("8"));
    QCOMPARE(Boxes(&dlg), QStringLiteral("rw-r--r--"));
    TypeNumber(&dlg, QStringLiteral("64"));
    QCOMPARE(Boxes(&dlg), QStringLiteral("rw-r-----"));
    QTest::keyClicks(NumberEdit(&dlg), QStringLiteral("9"));
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("649"));
    QCOMPARE(Boxes(&dlg), QStringLiteral("rw-r-----"));
    TypeNumber(&dlg, QStringLiteral("690"));
    QCOMPARE(Boxes(&dlg), QStringLiteral("rw-------"));
}

void TestAttributesDialog::aLetterIsRefusedWhereItWasTyped() {
    StoreFixture fx;
    CAttributesDlg dlg(0);
    dlg.show();
    TypeNumber(&dlg, QStringLiteral("64"));
    QTest::keyClicks(NumberEdit(&dlg), QStringLiteral("x"));
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("64"));
    QCOMPARE(NumberEdit(&dlg)->cursorPosition(), 2);
    QTest::keyClick(NumberEdit(&dlg), Qt::Key_Home);
    QTest::keyClicks(NumberEdit(&dlg), QStringLiteral("z"));
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("64"));
    QCOMPARE(NumberEdit(&dlg)->cursorPosition(), 0);
    QCOMPARE(Boxes(&dlg), QStringLiteral("rw-r-----"));
    // After a refusal the number goes on from what it was.
    QTest::keyClick(NumberEdit(&dlg), Qt::Key_End);
    QTest::keyClicks(NumberEdit(&dlg), QStringLiteral("4"));
    QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("644"));
    QCOMPARE(Boxes(&dlg), QStringLiteral("rw-r--r--"));
}

void TestAttributesDialog::commandIsRememberedPerHost() {
    StoreFixture fx;
    {
        CAttributesDlg dlg(2);
        dlg.show();
        CommandEdit(&dlg)->selectAll();
        QTest::keyClicks(CommandEdit(&dlg), QStringLiteral("SITE ATTR"));
        QTest::mouseClick(Control<QPushButton>(&dlg, IDOK), Qt::LeftButton);
        QCOMPARE(dlg.result(), DialogResult::Yes);
        QCOMPARE(dlg.m_command, QStringLiteral("SITE ATTR"));
        QCOMPARE(StoredCommand(fx, 2), std::string("SITE ATTR"));
    }
    {
        CAttributesDlg dlg(1);
        dlg.show();
        QCOMPARE(CommandEdit(&dlg)->text(), QStringLiteral("SITE CHMOD"));
    }
    {
        CAttributesDlg dlg(2);
        dlg.SetPermissions(FlagsFromAttributes(QStringLiteral("-rwx------")));
        dlg.show();
        QCOMPARE(CommandEdit(&dlg)->text(), QStringLiteral("SITE ATTR"));
        QTest::mouseClick(Control<QPushButton>(&dlg, IDC_DEFAULT_COMMAND), Qt::LeftButton);
        QCOMPARE(CommandEdit(&dlg)->text(), QStringLiteral("SITE CHMOD"));
        QCOMPARE(NumberEdit(&dlg)->text(), QStringLiteral("700"));
        QCOMPARE(Boxes(&dlg), QStringLiteral("rwx------"));
        // Cancel stores nothing.
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QCOMPARE(dlg.result(), DialogResult::Cancel);
        QCOMPARE(StoredCommand(fx, 2), std::string("SITE ATTR"));
    }
    {
        // OK stores the command even when it is the standard one.
        CAttributesDlg dlg(2);
        dlg.show();
        QTest::mouseClick(Control<QPushButton>(&dlg, IDC_DEFAULT_COMMAND), Qt::LeftButton);
        QTest::keyClick(CommandEdit(&dlg), Qt::Key_Return);
        QCOMPARE(dlg.result(), DialogResult::Yes);
        QCOMPARE(StoredCommand(fx, 2), std::string("SITE CHMOD"));
    }
}

void TestAttributesDialog::lineBreakInTheCommandIsCut() {
    StoreFixture fx;
    {
        SettingsKey key;
        QVERIFY(key.CreateKey(KeyFamily::Host, "Host0"));
        key.WriteString("chmod", "SITE CHMOD\r\nDELE /etc");
    }
    WhenModalShown([](QDialog* d) { ClickButton(d, IDOK); });
    const AttributesAnswer answer = AskAttributes(nullptr, 0, "-rw-r--r--");
    QCOMPARE(answer.result, DialogResult::Yes);
    QCOMPARE(answer.command, std::string("SITE CHMOD"));
    QCOMPARE(StoredCommand(fx, 0), std::string("SITE CHMOD"));
}

void TestAttributesDialog::answers_data() {
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("変更") << IDOK << DialogResult::Yes;
    QTest::newRow("ｷｬﾝｾﾙ") << IDCANCEL << DialogResult::Cancel;
    QTest::newRow("Escape") << PressEscape << DialogResult::Cancel;
    QTest::newRow("close box") << CloseBox << DialogResult::Cancel;
}

void TestAttributesDialog::answers() {
    QFETCH(int, how);
    StoreFixture fx;
    CAttributesDlg dlg(4);
    WhenModalShown([how](QDialog* d) { AnswerDialog(d, how); });
    QTEST(dlg.exec(), "result");
    QFETCH(int, result);
    QCOMPARE(StoredCommand(fx, 4),
             result == DialogResult::Yes ? std::string("SITE CHMOD") : std::string("<none>"));
}

void TestAttributesDialog::questionForTheSelection() {
    StoreFixture fx;
    WhenModalShown([](QDialog* d) {
        QCOMPARE(d->objectName(), ControlName(IDD_ATTRIBUTES));
        QCOMPARE(Boxes(d), QStringLiteral("rwxr-xr-x"));
        TypeNumber(d, QStringLiteral("7"));
        QCOMPARE(Boxes(d), QStringLiteral("rwx------"));
        ClickButton(d, IDOK);
    });
    AttributesAnswer answer = AskAttributes(nullptr, 1, "drwxr-xr-x");
    QCOMPARE(answer.result, DialogResult::Yes);
    QCOMPARE(answer.command, std::string("SITE CHMOD"));
    QCOMPARE(answer.number, std::string("700"));

    WhenModalShown([](QDialog* d) { ClickButton(d, IDCANCEL); });
    answer = AskAttributes(nullptr, 1, "-rw-r--r--");
    QCOMPARE(answer.result, DialogResult::Cancel);
    QCOMPARE(answer.number, std::string());
}

QTEST_MAIN(TestAttributesDialog)
#include "tst_attributes_dialog.moc"
