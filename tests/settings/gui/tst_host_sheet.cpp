#include "SheetKeys.h"
#include "StoreFixture.h"
#include "dialogs/DialogDriver.h"
#include "gui/settings/CPropPageConnect.h"
#include "gui/settings/CPropPageProxy.h"
#include "gui/settings/CPropSheetHost.h"
#include "gui/settings/FoldersPage.h"
#include "gui/settings/HostSheetControls.h"
#include "hosts/HostListEditor.h"
#include "hosts/HostMirrorPair.h"
#include "hosts/QXDoc.h"
#include "hosts/ServerZone.h"
#include "platform/RegistryStore.h"
#include "platform/TextCodec.h"
#include "settings/FirewallSettings.h"
#include "settings/HostInputRules.h"
#include "settings/MirrorPairs.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

using namespace HostSheetControl;

// The host settings sheet driven as a user drives it, offscreen; what it stored is read back from
// the store's file by a store of its own.
class TestHostSheet : public QObject {
    Q_OBJECT
private slots:
    void namingAndRemovalRules();
    void typedValueRules();
    void emptyStoreStartsOnTheDefaultHost();
    void newHostsFillTheGapsInTheNames();
    void removingHostsKeepsTheRestInOrder();
    void anonymousTakesTheMailAddress();
    void characterSetAndSessionCount();
    void firewallControlsFollowTheScheme();
    void passwordsStayMaskedAndScrambled();
    void editsOnEveryPageForTwoHostsAreSaved();
    void cancelWritesNothing();
    void refusedValueKeepsThePageAndTheFocus_data();
    void refusedValueKeepsThePageAndTheFocus();
    void keyboard();
    void securityChoiceAndItsPort();
    void applyKeepsTheSheetOpen();
    void unwritableStoreKeepsTheSheetOpen();
};

namespace {

HostRecord host(const std::string& name) {
    HostRecord h;
    h.Name = name;
    h.Adr = "ftp.example.jp";
    return h;
}

// A value as the file on disk holds it now.
std::optional<RegistryValue> stored(const StoreFixture& fx, const std::string& key, const char* name) {
    RegistryStore disk(fx.filePath());
    return disk.value("Software\\lumo\\Host\\" + key, name);
}

std::string storedText(const StoreFixture& fx, const std::string& key, const char* name) {
    const auto v = stored(fx, key, name);
    return v ? v->bytes : "<none>";
}

template <class W> W* Find(QWidget* page, int id) {
    W* w = Control<W>(page, id);
    if (!w)
        qFatal("no control %d", id);
    return w;
}

struct OpenSheet {
    CQXDoc doc;
    CPropSheetHost sheet;
    explicit OpenSheet(int top = 0) : sheet(doc, top) {
        sheet.show();
        if (!QTest::qWaitForWindowExposed(&sheet))
            qFatal("sheet not shown");
    }
    QWidget* connect() { return sheet.ConnectPage(); }
    QWidget* proxy() { return sheet.ProxyPage(); }
    QWidget* folders() { return sheet.FileoprPage(); }
    QLineEdit* edit(QWidget* page, int id) { return Find<QLineEdit>(page, id); }
    QCheckBox* box(QWidget* page, int id) { return Find<QCheckBox>(page, id); }
    QComboBox* hosts(QWidget* page) { return Find<QComboBox>(page, HostChoice); }
    void click(QWidget* page, int id) { QTest::mouseClick(Find<QPushButton>(page, id), Qt::LeftButton); }
    void ok() { ClickButton(&sheet, CPropertySheet::kOkButton); }
    // Clicks 削除 and answers its question; gives back the question ("" when none was asked).
    QString remove(QMessageBox::StandardButton answer = QMessageBox::Yes) {
        QString asked;
        WhenModalShown([&asked, answer](QDialog* d) {
            if (auto* box = qobject_cast<QMessageBox*>(d)) {
                asked = box->text();
                box->button(answer)->click();
            }
        });
        click(connect(), DeleteHost);
        return asked;
    }
};

} // namespace

void TestHostSheet::namingAndRemovalRules() {
    HostList list{host("新しいホスト(1)"), host("新しいホスト(3)"), host("新しいホスト(2) ")};
    QCOMPARE(HostListEditor::NewHostName(list), std::string("新しいホスト(2)"));
    // New hosts go passive, the first one of an empty store too; a stored host without the value
    // still reads as active.
    QCOMPARE(HostListEditor::NewHost("x").Pasv, 1);
    QCOMPARE(HostListEditor({}, 0).CurrentRecord()->Pasv, 1);
    QCOMPARE(HostRecord().Pasv, 0);

    HostListEditor editor({host("a"), host("b"), host("c")}, 7);
    QCOMPARE(editor.Current(), 0);
    editor.Remove(2);
    QCOMPARE(editor.Current(), 1);
    editor.Remove(0);
    QCOMPARE(editor.CurrentRecord()->Name, std::string("b"));
    QCOMPARE(editor.Origins(), std::vector<int>{1});
    editor.Remove(0);
    QCOMPARE(editor.Count(), 1);
    QCOMPARE(editor.CurrentRecord()->Name, std::string("新しいホスト(1)"));
    QCOMPARE(editor.CurrentRecord()->Indexhtml, std::string());
    QCOMPARE(editor.Origins(), std::vector<int>{-1});
    editor.Saved();
    QCOMPARE(editor.Origins(), std::vector<int>{0});

    const FirewallEnabling off = FirewallEnablingFor(false, 4);
    QVERIFY(!off.scheme && !off.address && !off.port && !off.account);
    QVERIFY(!FirewallEnablingFor(true, 2).account);
    QVERIFY(FirewallEnablingFor(true, 3).account && FirewallEnablingFor(true, 3).port);
    QCOMPARE(FirewallSchemeShown(4), 4);
    QCOMPARE(FirewallSchemeShown(9), 5); // the session logs in with scheme 5 for any larger value
}

void TestHostSheet::typedValueRules() {
    QString message;
    QCOMPARE(ReadHostPort(QStringLiteral(" 2121 "), message), std::optional<int>(2121));
    QCOMPARE(ReadHostPort(QStringLiteral("65535"), message), std::optional<int>(65535));
    QVERIFY(!ReadHostPort(QStringLiteral("21a"), message));
    QCOMPARE(message, QStringLiteral("整数を入力してください。"));
    QVERIFY(!ReadHostPort(QStringLiteral("-21"), message));
    QCOMPARE(message, QStringLiteral("1 から 65535 までの整数を入力してください。"));
    QVERIFY(!ReadHostPort(QStringLiteral("99999999999999999999"), message));
    QCOMPARE(ReadFirewallPort(QStringLiteral("0"), false, message), std::optional<std::uint32_t>(0));
    QVERIFY(!ReadFirewallPort(QStringLiteral("-1"), false, message));
    QCOMPARE(message, QStringLiteral("正の整数を入力してください。"));
    QVERIFY(!ReadFirewallPort(QStringLiteral("65536"), false, message));
    QCOMPARE(message, QStringLiteral("0 から 65535 までの整数を入力してください。"));
    // A host that goes through the firewall needs its port.
    QVERIFY(!ReadFirewallPort(QStringLiteral("0"), true, message));
    QCOMPARE(message, QStringLiteral("1 から 65535 までの整数を入力してください。"));

    QVERIFY(AddressProblem(QStringLiteral("ftp.example.jp"), {}).isEmpty());
    QVERIFY(!AddressProblem(QStringLiteral("ftp.example.jp\tx"), {}).isEmpty());
    QVERIFY(!LineBreakProblem(QStringLiteral("me\r"), {}).isEmpty());
    QVERIFY(TextLengthProblem(std::string(299, 'a'), {}).isEmpty());
    QVERIFY(!TextLengthProblem(std::string(300, 'a'), {}).isEmpty());
    QVERIFY(PasswordLengthProblem(std::string(400, 'a'), {}).isEmpty());
    QVERIFY(!PasswordLengthProblem(std::string(401, 'a'), {}).isEmpty());

    // A stored text in CP932 keeps its bytes while unchanged; a changed text is stored as UTF-8.
    const std::string cp932 = "\x83\x65\x83\x58\x83\x67"; // テスト
    QCOMPARE(ShownText(cp932), QStringLiteral("テスト"));
    QCOMPARE(TextForStore(cp932, QStringLiteral("テスト")), cp932);
    QCOMPARE(TextForStore(cp932, QStringLiteral("テスト2")), std::string("テスト2"));
}

void TestHostSheet::emptyStoreStartsOnTheDefaultHost() {
    StoreFixture fx;
    {
        OpenSheet s(-1);
        QCOMPARE(s.sheet.windowTitle(), QStringLiteral("接続設定"));
        QCOMPARE(s.sheet.Tabs()->tabText(1), QStringLiteral("ファイヤーウオール"));
        QCOMPARE(s.hosts(s.connect())->currentText(), QStringLiteral("新しいホスト(1)"));
        QCOMPARE(s.edit(s.connect(), Port)->text(), QStringLiteral("21"));
        QVERIFY(s.sheet.SetActivePage(2));
        QCOMPARE(s.edit(s.folders(), IndexFile)->text(), QStringLiteral("index.html"));
        s.sheet.reject();
    }
    QVERIFY(!QFile::exists(fx.filePath()));

    OpenSheet s(-1);
    QSignalSpy changed(&s.doc, &CQXDoc::HostsChanged);
    s.ok();
    QVERIFY(!s.sheet.isVisible());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(storedText(fx, "Host0", "Name"), std::string("新しいホスト(1)"));
    QCOMPARE(stored(fx, "Host0", "Port")->dword, 21u);
    QCOMPARE(storedText(fx, "Host0", "Indexhtml"), std::string("index.html"));
    QVERIFY(!stored(fx, "Host1", "Name"));
    // The firewall page was never shown, so nothing of it was written.
    QVERIFY(!stored(fx, "", "FireType"));
}

void TestHostSheet::newHostsFillTheGapsInTheNames() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("新しいホスト(1)"), host("新しいホスト(3)")});
    OpenSheet s;
    s.click(s.connect(), NewHost);
    QCOMPARE(s.hosts(s.connect())->currentText(), QStringLiteral("新しいホスト(2)"));
    QCOMPARE(s.edit(s.connect(), Name)->text(), QStringLiteral("新しいホスト(2)"));
    QCOMPARE(s.edit(s.connect(), Port)->text(), QStringLiteral("21"));
    QCOMPARE(s.edit(s.connect(), Address)->text(), QString());
    QVERIFY(s.sheet.IsModified());
    s.click(s.connect(), NewHost);
    QCOMPARE(s.hosts(s.connect())->currentText(), QStringLiteral("新しいホスト(4)"));
    QCOMPARE(s.hosts(s.connect())->count(), 4);
    s.ok();
    QCOMPARE(storedText(fx, "Host3", "Name"), std::string("新しいホスト(4)"));
    QCOMPARE(storedText(fx, "Host2", "Indexhtml"), std::string());
}

void TestHostSheet::removingHostsKeepsTheRestInOrder() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("only")});
    {
        OpenSheet s;
        // The host is removed only when the user says so.
        QCOMPARE(s.remove(QMessageBox::No), QStringLiteral("ホスト「only」を削除しますか。"));
        QCOMPARE(s.edit(s.connect(), Name)->text(), QStringLiteral("only"));
        QVERIFY(!s.sheet.IsModified());
        QCOMPARE(s.remove(), QStringLiteral("ホスト「only」を削除しますか。"));
        QCOMPARE(s.hosts(s.connect())->count(), 1);
        QCOMPARE(s.edit(s.connect(), Name)->text(), QStringLiteral("新しいホスト(1)"));
        QVERIFY(s.sheet.SetActivePage(2));
        QCOMPARE(s.edit(s.folders(), IndexFile)->text(), QString());
    }

    CQXDoc().SaveAllHosts({host("a"), host("b"), host("c"), host("d")});
    OpenSheet s(3);
    QCOMPARE(s.edit(s.connect(), Name)->text(), QStringLiteral("d"));
    QCOMPARE(s.remove(),
             QStringLiteral("ホスト「d」を削除しますか。")); // the last: the one before it is current
    QCOMPARE(s.edit(s.connect(), Name)->text(), QStringLiteral("c"));
    Choose(s.hosts(s.connect()), 0);
    s.remove(); // the first: the former second becomes current
    QCOMPARE(s.edit(s.connect(), Name)->text(), QStringLiteral("b"));
    QSignalSpy changed(&s.doc, &CQXDoc::HostsChanged);
    s.ok();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(storedText(fx, "Host0", "Name"), std::string("b"));
    QCOMPARE(storedText(fx, "Host1", "Name"), std::string("c"));
    QVERIFY(!RegistryStore(fx.filePath()).keyExists("Software\\lumo\\Host\\Host2"));
}

void TestHostSheet::anonymousTakesTheMailAddress() {
    StoreFixture fx;
    {
        SettingsKey k;
        QVERIFY(k.CreateKey(KeyFamily::Host, ""));
        k.WriteString("MailAdr", "me@example.jp");
    }
    OpenSheet s;
    QCheckBox* anonymous = s.box(s.connect(), Anonymous);
    QTest::mouseClick(anonymous, Qt::LeftButton);
    QCOMPARE(s.edit(s.connect(), User)->text(), QStringLiteral("anonymous"));
    QCOMPARE(s.edit(s.connect(), Password)->text(), QStringLiteral("me@example.jp"));
    QVERIFY(s.edit(s.connect(), User)->isEnabled() && s.edit(s.connect(), Password)->isEnabled());
    Type(s.edit(s.connect(), User), QStringLiteral("guest"));
    QTest::mouseClick(anonymous, Qt::LeftButton); // unchecking changes nothing else
    QCOMPARE(s.edit(s.connect(), User)->text(), QStringLiteral("guest"));
    s.ok();
    QCOMPARE(stored(fx, "Host0", "anonymous")->dword, 0u);
    QCOMPARE(SettingsKey::Unscramble(storedText(fx, "Host0", "Pass")), std::string("me@example.jp"));
}

void TestHostSheet::characterSetAndSessionCount() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("a")});
    {
        // A host stored before the setting existed has no value of it.
        SettingsKey k;
        QVERIFY(k.CreateKey(KeyFamily::Host, "Host1"));
        k.WriteString("Name", "b");
    }
    HostRecord older;
    QVERIFY(CQXDoc().LoadHost(1, older));
    QCOMPARE(older.charset, 0);
    QCOMPARE(older.Sessions, 0);
    QCOMPARE(older.MirrorExcludes, std::string());
    {
        OpenSheet s;
        QComboBox* set = Find<QComboBox>(s.connect(), Charset);
        QCOMPARE(set->count(), kRemoteCharsetCount);
        QCOMPARE(set->currentText(), QStringLiteral("自動"));
        set->setCurrentIndex(set->findText(QStringLiteral("EUC-JP")));
        emit set->activated(set->currentIndex());
        QComboBox* sessions = Find<QComboBox>(s.connect(), Sessions);
        QCOMPARE(sessions->count(), 11);
        QCOMPARE(sessions->currentText(), QStringLiteral("オプションの設定に従う"));
        Choose(sessions, 7);
        // The server's time zone: this computer's unless one is chosen, in quarter hours.
        QComboBox* zone = Find<QComboBox>(s.connect(), ServerZone);
        QCOMPARE(zone->currentText(), QStringLiteral("このコンピューターと同じ"));
        QCOMPARE(zone->count(), 1 + 26 * 4 + 1);
        Choose(zone, zone->findText(QStringLiteral("UTC+09:00")));
        s.ok();
    }
    QCOMPARE(stored(fx, "Host0", "ServerZone")->bytes, std::string("+09:00"));
    HostRecord zoned;
    QVERIFY(CQXDoc().LoadHost(0, zoned));
    QCOMPARE(ServerZoneMinutes(zoned), 540);
    QCOMPARE(ParseServerZone("-05:30"), std::optional<int>(-330));
    QCOMPARE(ServerZoneText(-330), std::string("-05:30"));
    for (const char* bad : {"+15:00", "09:00", "+9:00", "+09:60"})
        QVERIFY(!ParseServerZone(bad));
    QCOMPARE(stored(fx, "Host0", "charset")->dword, 3u);
    QCOMPARE(stored(fx, "Host0", "Sessions")->dword, 7u);
    QCOMPARE(stored(fx, "Host1", "Sessions")->dword, 0u);
    OpenSheet again;
    QCOMPARE(Find<QComboBox>(again.connect(), Charset)->currentText(), QStringLiteral("EUC-JP"));
    QCOMPARE(Find<QComboBox>(again.connect(), Sessions)->currentText(), QStringLiteral("7"));
}

void TestHostSheet::firewallControlsFollowTheScheme() {
    StoreFixture fx;
    {
        SettingsKey k;
        QVERIFY(k.CreateKey(KeyFamily::Host, ""));
        k.WriteDword("FireType", 9);
    }
    CQXDoc().SaveAllHosts({host("a")});
    OpenSheet s;
    QVERIFY(s.sheet.SetActivePage(1));
    QComboBox* scheme = Find<QComboBox>(s.proxy(), Scheme);
    QCOMPARE(scheme->count(), 6);
    QCOMPARE(scheme->currentIndex(), 5);
    QCOMPARE(scheme->itemText(3), QStringLiteral("Firewallｱｶｳﾝﾄ／Firewallﾊﾟｽﾜｰﾄﾞ／OPEN ﾎｽﾄ"));
    auto enabled = [&] {
        QString shown;
        for (int id : {Scheme, FireAddress, FirePort, FireUser, FirePassword, Passive, Mail})
            shown += s.proxy()->findChild<QWidget*>(ControlName(id))->isEnabled() ? QLatin1Char('+')
                                                                                  : QLatin1Char('-');
        return shown;
    };
    QCOMPARE(enabled(), QStringLiteral("-----++"));
    QTest::mouseClick(s.box(s.proxy(), UseFirewall), Qt::LeftButton);
    QCOMPARE(enabled(), QStringLiteral("+++++++"));
    Choose(scheme, 2);
    QCOMPARE(enabled(), QStringLiteral("+++--++"));
    Choose(scheme, 3);
    QCOMPARE(enabled(), QStringLiteral("+++++++"));
    Type(s.edit(s.proxy(), FirePort), QStringLiteral("8021"));
    s.ok();
    QCOMPARE(stored(fx, "", "FireType")->dword, 3u);
    QCOMPARE(stored(fx, "Host0", "Firewall")->dword, 1u);
}

void TestHostSheet::passwordsStayMaskedAndScrambled() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("a")});
    QString secret;
    for (int i = 0; secret.size() < 400; ++i)
        secret += QString::number(i % 10);
    {
        OpenSheet s;
        QCOMPARE(s.edit(s.connect(), Password)->echoMode(), QLineEdit::Password);
        Type(s.edit(s.connect(), Password), QStringLiteral("host-secret"));
        QVERIFY(s.sheet.SetActivePage(1));
        QCOMPARE(s.edit(s.proxy(), FirePassword)->echoMode(), QLineEdit::Password);
        QTest::mouseClick(s.box(s.proxy(), UseFirewall), Qt::LeftButton);
        Choose(Find<QComboBox>(s.proxy(), Scheme), 4);
        Type(s.edit(s.proxy(), FirePort), QStringLiteral("8021"));
        Type(s.edit(s.proxy(), FirePassword), secret + QLatin1Char('x'));
        QCOMPARE(
            MessageFrom([&] { s.ok(); }),
            QStringLiteral("ファイヤーウオールのパスワードが長すぎます。400 バイト以内で入力してください。"));
        Type(s.edit(s.proxy(), FirePassword), secret);
        s.ok();
        QVERIFY(!s.sheet.isVisible());
    }
    QVERIFY(!fx.fileBytes().contains("host-secret"));
    QVERIFY(!fx.fileBytes().contains(secret.toLatin1()));
    QCOMPARE(stored(fx, "", "FirePass")->type, RegistryValue::Type::Binary);
    QCOMPARE(storedText(fx, "", "FirePass"), SettingsKey::Scramble(secret.toStdString()));
    QCOMPARE(storedText(fx, "Host0", "Pass"), SettingsKey::Scramble("host-secret"));
    OpenSheet again;
    QVERIFY(again.sheet.SetActivePage(1));
    QCOMPARE(again.edit(again.proxy(), FirePassword)->text(), secret);
}

void TestHostSheet::editsOnEveryPageForTwoHostsAreSaved() {
    StoreFixture fx;
    HostRecord sjis = host("\x83\x65\x83\x58\x83\x67"); // テスト in CP932, from another program
    CQXDoc().SaveAllHosts({host("a"), sjis});
    OpenSheet s;
    QVERIFY(s.sheet.SetActivePage(2));
    QTemporaryDir local;
    const QString chosen = local.filePath(QStringLiteral("ダウンロード"));
    QVERIFY(QDir().mkpath(chosen));
    WhenModalShown([&](QDialog* dialog) {
        auto* browser = qobject_cast<QFileDialog*>(dialog);
        QVERIFY(browser);
        QCOMPARE(browser->windowTitle(), QStringLiteral("ローカルフォルダを選択して下さい。"));
        QCOMPARE(browser->fileMode(), QFileDialog::Directory);
        browser->setDirectory(chosen);
        dialog->accept(); // as the button does: QFileDialog takes the folder it shows
    });
    s.click(s.folders(), DownloadBrowse);
    QCOMPARE(s.edit(s.folders(), Download)->text(), chosen);
    QVERIFY(s.sheet.IsModified());
    QVERIFY(s.sheet.SetActivePage(0));
    Choose(s.hosts(s.connect()), 1);
    QCOMPARE(s.edit(s.connect(), Name)->text(), QStringLiteral("テスト"));
    Type(s.edit(s.connect(), Port), QStringLiteral("2121"));
    QVERIFY(s.sheet.SetActivePage(1));
    QTest::mouseClick(s.box(s.proxy(), Passive), Qt::LeftButton);
    QVERIFY(s.sheet.SetActivePage(2));
    Type(s.edit(s.folders(), Upload), QStringLiteral("/srv/アップ"));
    Type(s.edit(s.folders(), Remote), QStringLiteral("/www/サイト"));
    // Return in the exclusions starts a line rather than closing the sheet.
    auto* excludes = Find<QPlainTextEdit>(s.folders(), MirrorExcludes);
    QCOMPARE(excludes->toPlainText(), QString());
    excludes->setFocus();
    excludes->insertPlainText(QStringLiteral("# 作業中")); // as an input method puts it
    QTest::keyClick(excludes, Qt::Key_Return);
    QTest::keyClicks(excludes, QStringLiteral("*.tmp"));
    QVERIFY(s.sheet.isVisible());
    s.ok();
    QCOMPARE(storedText(fx, "Host0", "DownPath"), chosen.toStdString());
    QCOMPARE(stored(fx, "Host0", "Pasv")->dword, 0u);
    QCOMPARE(storedText(fx, "Host1", "Name"), sjis.Name);
    QCOMPARE(stored(fx, "Host1", "Port")->dword, 2121u);
    QCOMPARE(stored(fx, "Host1", "Pasv")->dword, 1u);
    QCOMPARE(storedText(fx, "Host1", "UpPath"), std::string("/srv/アップ"));
    QCOMPARE(storedText(fx, "Host1", "RemotePath"), std::string("/www/サイト"));
    QCOMPARE(stored(fx, "Host1", "MirrorExcludes")->dword, 2u);
    QCOMPARE(storedText(fx, "Host1", "MirrorExclude1"), std::string("*.tmp"));
    QCOMPARE(stored(fx, "Host0", "MirrorExcludes")->dword, 0u);

    // A pair never stored starts with its host's list; a stored pair keeps its own, even none.
    HostRecord loaded;
    QVERIFY(CQXDoc().LoadHost(1, loaded));
    QCOMPARE(loaded.MirrorExcludes, std::string("# 作業中\n*.tmp"));
    const MirrorPairId pair = HostMirrorPair(loaded, "/www");
    QCOMPARE(LoadMirrorPair(pair).exclusions, loaded.MirrorExcludes);
    QVERIFY(SaveMirrorPair(pair, MirrorPairSettings{local.path(), false, ""}));
    QCOMPARE(LoadMirrorPair(pair).exclusions, std::string());

    // A line the store cannot hold is refused with its number.
    OpenSheet again;
    QVERIFY(again.sheet.SetActivePage(2));
    Find<QPlainTextEdit>(again.folders(), MirrorExcludes)
        ->setPlainText(QStringLiteral("*.tmp\n") + QString(300, u'x'));
    QCOMPARE(MessageFrom([&] { again.ok(); }),
             QStringLiteral("除外するパターンの 2 行目が長すぎます。299 バイト以内で入力してください。"));
    QVERIFY(again.sheet.isVisible());
}

void TestHostSheet::cancelWritesNothing() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("a"), host("b")});
    const QByteArray before = fx.fileBytes();
    for (bool escape : {false, true}) {
        OpenSheet s;
        QSignalSpy changed(&s.doc, &CQXDoc::HostsChanged);
        Type(s.edit(s.connect(), Name), QStringLiteral("changed"));
        s.click(s.connect(), NewHost);
        s.remove();
        QVERIFY(s.sheet.SetActivePage(1));
        Type(s.edit(s.proxy(), Mail), QStringLiteral("x@example.jp"));
        if (escape)
            QTest::keyClick(&s.sheet, Qt::Key_Escape);
        else
            ClickButton(&s.sheet, CPropertySheet::kCancelButton);
        QVERIFY(!s.sheet.isVisible());
        QCOMPARE(changed.count(), 0);
    }
    QCOMPARE(fx.fileBytes(), before);
}

void TestHostSheet::refusedValueKeepsThePageAndTheFocus_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    const QString integer = QStringLiteral("整数を入力してください。");
    const QString range = QStringLiteral("1 から 65535 までの整数を入力してください。");
    const QString blank = QStringLiteral("ホストアドレスに空白や改行を含めることはできません。");
    QTest::newRow("port word") << 0 << Port << QStringLiteral("twenty") << integer;
    QTest::newRow("port empty") << 0 << Port << QStringLiteral("") << integer;
    QTest::newRow("port 0") << 0 << Port << QStringLiteral("0") << range;
    QTest::newRow("port 65536") << 0 << Port << QStringLiteral("65536") << range;
    QTest::newRow("address space") << 0 << Address << QStringLiteral("ftp.example.jp x") << blank;
    QTest::newRow("address line") << 0 << Address << QStringLiteral("ftp.example.jp\nx") << blank;
    QTest::newRow("user line") << 0 << User << QStringLiteral("me\r\nDELE x")
                               << QStringLiteral("ユーザ名に改行を含めることはできません。");
    QTest::newRow("password line") << 0 << Password << QStringLiteral("pw\nDELE x")
                                   << QStringLiteral("パスワードに改行を含めることはできません。");
    QTest::newRow("name too long") << 0 << Name << QString(100, QChar(0x3042))
                                   << QStringLiteral(
                                          "ホスト設定名が長すぎます。299 バイト以内で入力してください。");
    QTest::newRow("firewall port") << 1 << FirePort << QStringLiteral("-1")
                                   << QStringLiteral("正の整数を入力してください。");
    QTest::newRow("firewall port 0") << 1 << FirePort << QStringLiteral("0") << range;
    QTest::newRow("firewall user line")
        << 1 << FireUser << QStringLiteral("fw\nx")
        << QStringLiteral("ファイヤーウオールのユーザ名に改行を含めることはできません。");
    QTest::newRow("mail line") << 1 << Mail << QStringLiteral("me@example.jp\nx")
                               << QStringLiteral("メールアドレスに改行を含めることはできません。");
    QTest::newRow("index line") << 2 << IndexFile << QStringLiteral("index\n.html")
                                << QStringLiteral("インデックスファイル名に改行を含めることはできません。");
}

void TestHostSheet::refusedValueKeepsThePageAndTheFocus() {
    QFETCH(int, page);
    QFETCH(int, control);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("a"), host("b")});
    const QByteArray before = fx.fileBytes();
    OpenSheet s;
    QVERIFY(s.sheet.SetActivePage(page));
    QWidget* shown = s.sheet.ActivePage();
    if (page == 1) {
        QTest::mouseClick(s.box(shown, UseFirewall), Qt::LeftButton);
        Choose(Find<QComboBox>(shown, Scheme), 3);
        Type(s.edit(shown, FirePort), QStringLiteral("8021"));
    }
    QLineEdit* edit = s.edit(shown, control);
    Type(edit, typed);
    QCOMPARE(edit->text(), typed);

    // Leaving the page, choosing another host and OK are each refused with the message.
    QCOMPARE(MessageFrom([&] {
                 QTest::mouseClick(s.sheet.Tabs()->tabBar(), Qt::LeftButton, {},
                                   s.sheet.Tabs()->tabBar()->tabRect((page + 1) % 3).center());
             }),
             message);
    QCOMPARE(s.sheet.ActivePage(), shown);
    QCOMPARE(s.sheet.Tabs()->currentWidget(), shown);
    QCOMPARE(s.sheet.focusWidget(), edit);
    QCOMPARE(MessageFrom([&] { Choose(s.hosts(shown), 1); }), message);
    QCOMPARE(s.hosts(shown)->currentIndex(), 0);
    QCOMPARE(MessageFrom([&] { s.ok(); }), message);
    QVERIFY(s.sheet.isVisible());
    QCOMPARE(fx.fileBytes(), before);
}

void TestHostSheet::keyboard() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("a")});
    OpenSheet s;
    QCOMPARE(TabOrder(s.connect()),
             (QList<int>{HostChoice, Name, Address, Hide, Port, Security, User, Password, Anonymous, Charset,
                         Sessions, ServerZone, NewHost, DeleteHost}));
    QCOMPARE(TabOrder(s.folders()), (QList<int>{HostChoice, Upload, UploadBrowse, Download, DownloadBrowse,
                                                Remote, IndexFile, MirrorExcludes}));
    QVERIFY(QTest::qWaitForWindowActive(&s.sheet));
    QCOMPARE(s.sheet.focusWidget(), s.hosts(s.connect()));
    QTest::keyClick(s.sheet.focusWidget(), Qt::Key_Tab);
    QCOMPARE(s.sheet.focusWidget(), s.edit(s.connect(), Name));
    QTest::keyClick(&s.sheet, Qt::Key_P, Qt::AltModifier);
    QLineEdit* port = s.edit(s.connect(), Port);
    QCOMPARE(s.sheet.focusWidget(), port);
    CheckPageKeys(s.sheet);
    QVERIFY(s.sheet.SetActivePage(0));
    port->setFocus();
    port->end(false);
    QTest::keyClicks(port, QStringLiteral("990"));
    QTest::keyClick(port, Qt::Key_Return);
    QVERIFY(!s.sheet.isVisible());
    QCOMPARE(stored(fx, "Host0", "Port")->dword, 21990u);
}

void TestHostSheet::securityChoiceAndItsPort() {
    StoreFixture fx;
    HostRecord pinned = host("b");
    pinned.TlsPin = std::string(64, 'C');
    CQXDoc().SaveAllHosts({host("a"), pinned});
    // A store from before encryption has no Security values: none. (Host 0 is stored as implicit
    // here, so that only the missing value can make it read as none.)
    {
        SettingsKey key;
        QVERIFY(key.OpenKey(KeyFamily::Host, "Host0"));
        key.WriteDword(SettingName::Security, HostSecurity::Implicit);
        QList<QByteArray> lines = fx.fileBytes().split('\n');
        lines.removeIf([](const QByteArray& line) { return line.startsWith("\"Security\"="); });
        QFile file(fx.filePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(lines.join('\n'));
    }
    OpenSheet s;
    // The widget tests run without a session bus: no keyring, and the page says where passwords go.
    QLabel* keeping = Find<QLabel>(s.connect(), PasswordKeeping);
    QTRY_COMPARE(keeping->text(), QStringLiteral("キーリングが見つからないため、パスワードはこれまでどおり"
                                                 "設定ファイルに保存します。"));
    // After a save it says where the passwords went.
    Type(s.edit(s.connect(), Password), QStringLiteral("host-secret"));
    QTest::mouseClick(s.sheet.ApplyButton(), Qt::LeftButton);
    QTRY_COMPARE(keeping->text(), QStringLiteral("キーリングが見つからないため、パスワードはこれまでどおり"
                                                 "設定ファイルに保存しました。"));
    QCOMPARE(SettingsKey::Unscramble(storedText(fx, "Host0", "Pass")), std::string("host-secret"));
    QComboBox* security = Find<QComboBox>(s.connect(), Security);
    QLineEdit* port = s.edit(s.connect(), Port);
    QCOMPARE(security->currentIndex(), HostSecurity::None);
    QCOMPARE(security->count(), 4);
    // Implicit TLS takes its own port from 21, and gives it back; a port of the user's stays.
    Choose(security, HostSecurity::Implicit);
    QCOMPARE(port->text(), QStringLiteral("990"));
    Choose(security, HostSecurity::Explicit);
    QCOMPARE(port->text(), QStringLiteral("21"));
    Type(port, QStringLiteral("2121"));
    Choose(security, HostSecurity::Implicit);
    QCOMPARE(port->text(), QStringLiteral("2121"));
    // Host 1 moves to another address: the certificate accepted for the old one goes.
    Choose(s.hosts(s.connect()), 1);
    Choose(security, HostSecurity::ExplicitIfOffered);
    Type(s.edit(s.connect(), Address), QStringLiteral("other.example"));
    s.ok();
    QCOMPARE(stored(fx, "Host0", "Security")->dword, static_cast<std::uint32_t>(HostSecurity::Implicit));
    QCOMPARE(stored(fx, "Host0", "Port")->dword, 2121u);
    QCOMPARE(stored(fx, "Host1", "Security")->dword,
             static_cast<std::uint32_t>(HostSecurity::ExplicitIfOffered));
    QCOMPARE(storedText(fx, "Host1", "TlsPin"), std::string());
}

void TestHostSheet::applyKeepsTheSheetOpen() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("a"), host("b")});
    {
        SettingsKey k;
        QVERIFY(k.OpenKey(KeyFamily::Host, "Host1"));
        k.WriteString("chmod", "chmod-b");
    }
    OpenSheet s;
    QPushButton* apply = s.sheet.ApplyButton();
    QVERIFY(!apply->isEnabled());
    s.remove();
    QVERIFY(apply->isEnabled());
    QTest::mouseClick(apply, Qt::LeftButton);
    QVERIFY(s.sheet.isVisible());
    QVERIFY(!apply->isEnabled());
    QCOMPARE(storedText(fx, "Host0", "Name"), std::string("b"));
    QCOMPARE(storedText(fx, "Host0", "chmod"), std::string("chmod-b"));
    // A new host renamed before Apply shows its new name in the drop-down too, as the tree does.
    s.click(s.connect(), NewHost);
    Type(s.edit(s.connect(), Name), QStringLiteral("c"));
    QTest::mouseClick(apply, Qt::LeftButton);
    QCOMPARE(s.hosts(s.connect())->currentText(), QStringLiteral("c"));
    QCOMPARE(storedText(fx, "Host1", "Name"), std::string("c"));
    Choose(s.hosts(s.connect()), 0);
    Type(s.edit(s.connect(), Name), QStringLiteral("b2"));
    s.ok();
    QCOMPARE(storedText(fx, "Host0", "Name"), std::string("b2"));
    QCOMPARE(storedText(fx, "Host0", "chmod"), std::string("chmod-b"));
    QCOMPARE(storedText(fx, "Host1", "Name"), std::string("c"));
    QVERIFY(!stored(fx, "Host2", "Name"));
}

void TestHostSheet::unwritableStoreKeepsTheSheetOpen() {
    StoreFixture fx;
    RegistryStore::setGlobalFilePath(QStringLiteral("/dev/null/lumo/lumo.reg"));
    OpenSheet s;
    Type(s.edit(s.connect(), Address), QStringLiteral("ftp.example.jp"));
    QCOMPARE(MessageFrom([&] { s.ok(); }),
             QStringLiteral("設定ファイルを書き込めないため、設定を保存できませんでした。"));
    QVERIFY(s.sheet.isVisible());
    QCOMPARE(s.edit(s.connect(), Address)->text(), QStringLiteral("ftp.example.jp"));
}

QTEST_MAIN(TestHostSheet)
#include "tst_host_sheet.moc"
