#include "SheetKeys.h"
#include "StoreFixture.h"
#include "app/CommandIds.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CProgressStatusBar.h"
#include "dialogs/DialogDriver.h"
#include "engine/FtpEngine.h"
#include "fixtures/RecordingUi.h"
#include "gui/settings/CColorButton.h"
#include "gui/settings/CPropPageLogView.h"
#include "gui/settings/OptionSheetControls.h"
#include "gui/settings/OptionsSheet.h"
#include "gui/views/CQXLogView.h"
#include "gui/views/CQXTreeView.h"
#include "gui/views/HostIcons.h"
#include "hosts/QXDoc.h"
#include "platform/RegistryStore.h"
#include "platform/gui/FontFaces.h"
#include "settings/HostInputRules.h"
#include "settings/LogViewSettings.h"
#include "settings/OptionSettings.h"
#include "settings/SettingsKey.h"
#include "settings/TempFolder.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTcpServer>
#include <QtTest>

using namespace OptionSheetControl;

// The options sheet driven as a user drives it, offscreen, page by page; what it stored is read back
// from the store's file by a store of its own, and what it changed at once is read from the log pane,
// the session and the host tree.
class TestOptionsSheet : public QObject {
    Q_OBJECT
private slots:
    void plainRules();
    void openedByItsCommandWhileDisconnected();
    void cancelWritesNothing();
    void optionsPage();
    void logViewPageDefaults();
    void logViewPageChoicesReachTheLogAtOnce();
    void hostIconPage();
    void hostOrderPage();
    void systemPageStoresAndAppliesAtOnce();
    void systemPageRefusals_data();
    void systemPageRefusals();
    void ctrlTabReachesEveryPage();
};

namespace {

HostRecord host(const std::string& name, int icon = 0) {
    HostRecord h;
    h.Name = name;
    h.Adr = "ftp.example.jp";
    h.icon = icon;
    return h;
}

// A value as the file on disk holds it now, below Software\lumo\.
std::optional<RegistryValue> stored(const StoreFixture& fx, const std::string& key, const char* name) {
    return RegistryStore(fx.filePath()).value("Software\\lumo\\" + key, name);
}

std::uint32_t storedNumber(const StoreFixture& fx, const std::string& key, const char* name) {
    const auto v = stored(fx, key, name);
    return v ? v->dword : 0xDEADu;
}

std::string storedText(const StoreFixture& fx, const std::string& key, const char* name) {
    const auto v = stored(fx, key, name);
    return v ? v->bytes : "<none>";
}

// The sheet over a tree, a log pane and a session of its own, as the window opens it.
struct OpenSheet {
    CQXDoc doc;
    CQXTreeView tree;
    CQXLogView log;
    RecordingUi ui;
    CFtpEngine engine{ui};
    OptionsSheet sheet{doc, &tree, &log, &engine};

    explicit OpenSheet(int page) {
        QObject::connect(&doc, &CQXDoc::HostsChanged, &tree, &CQXTreeView::FillHostTree);
        sheet.show();
        if (!QTest::qWaitForWindowExposed(&sheet))
            qFatal("sheet not shown");
        if (!sheet.SetActivePage(page))
            qFatal("page not shown");
    }
    template <class W> W* at(int id) {
        W* w = Control<W>(sheet.ActivePage(), id);
        if (!w)
            qFatal("no control %d", id);
        return w;
    }
    // A check box takes clicks on its box and text only, so the click goes near its left end.
    void click(int id) {
        QAbstractButton* b = at<QAbstractButton>(id);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
    }
    bool checked(int id) { return at<QAbstractButton>(id)->isChecked(); }
    void ok() { ClickButton(&sheet, CPropertySheet::kOkButton); }
    QStringList treeHosts() const {
        QStringList names;
        for (int i = 0; i < tree.topLevelItemCount(); ++i)
            names << tree.topLevelItem(i)->text(0);
        return names;
    }
};

// A 16 x 16 bitmap: white, with a red square in the middle.
QString writeBitmap(const QString& path) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 4; y < 12; ++y)
        for (int x = 4; x < 12; ++x)
            image.setPixelColor(x, y, Qt::red);
    image.save(path, "BMP");
    return path;
}

// Answers the file dialog of "変更(&C)" with a file.
void ChooseFile(const QString& path) {
    WhenModalShown([path](QDialog* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        QVERIFY(files);
        files->selectFile(path);
        dialog->accept();
    });
}

void ChooseColour(const QColor& colour) {
    WhenModalShown([colour](QDialog* dialog) {
        auto* chooser = qobject_cast<QColorDialog*>(dialog);
        QVERIFY(chooser);
        chooser->setCurrentColor(colour);
        dialog->accept();
    });
}

QImage picture(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

void TestOptionsSheet::plainRules() {
    StoreFixture fx;
    // A face is left out when a listed face begins with its name; the list is sorted.
    QCOMPARE(LogFaceChoices({QStringLiteral("IPAGothic Bold"), QStringLiteral("ipagothic"),
                             QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAPGothic")}),
             (QStringList{QStringLiteral("IPAGothic Bold"), QStringLiteral("IPAPGothic"),
                          QStringLiteral("ＭＳ ゴシック")}));
    LogViewSettings log;
    log.usedefft = false;
    log.fontsize = "30";
    QCOMPARE(log.FaceShown(), std::string("ＭＳ ゴシック"));
    QCOMPARE(log.PointsShown(), 11);
    log.fontsize = " 24";
    log.font = "IPAGothic";
    QCOMPARE(log.FaceShown(), std::string("IPAGothic"));
    QCOMPARE(log.PointsShown(), 24);

    QString message;
    QCOMPARE(ReadUnsignedInRange(QStringLiteral(" 999 "), 1, 999, message),
             std::optional<std::uint32_t>(999));
    QVERIFY(!ReadUnsignedInRange(QStringLiteral("-5"), 1, 999, message));
    QCOMPARE(message, QStringLiteral("正の整数を入力してください。"));
    QVERIFY(!ReadUnsignedInRange(QStringLiteral("0"), 1, 999, message));
    QCOMPARE(message, QStringLiteral("1 から 999 までの整数を入力してください。"));

    QVERIFY(TempFolderProblem(fx.dir()).isEmpty());
    QCOMPARE(QDir(fx.dir()).entryList(QDir::Files), QStringList()); // the probe left nothing behind
    QVERIFY(!TempFolderProblem(QString()).isEmpty());
    QVERIFY(!TempFolderProblem(QStringLiteral("relative/folder")).isEmpty());
    QVERIFY(!TempFolderProblem(fx.filePath() + QStringLiteral("/below-a-file")).isEmpty());
    QCOMPARE(SystemTempFolder(), QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                                     QStringLiteral("/lumo/tmp/"));
}

void TestOptionsSheet::openedByItsCommandWhileDisconnected() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("top")});
    CMainFrame frame;
    frame.UpdateCommandUi();
    QAction* options = frame.Action(CommandId::Options);
    QVERIFY(options->isEnabled());
    QString caption;
    QStringList tabs;
    WhenModalShown([&](QDialog* dialog) {
        auto* sheet = qobject_cast<OptionsSheet*>(dialog);
        QVERIFY(sheet);
        caption = sheet->windowTitle();
        for (int i = 0; i < sheet->Tabs()->count(); ++i)
            tabs << sheet->Tabs()->tabText(i);
        dialog->reject();
    });
    QVERIFY(frame.RunCommand(CommandId::Options));
    QCOMPARE(caption, QStringLiteral("オプション"));

    // A new picture for the host on top reaches the tree and the status bar's host pane.
    WhenModalShown([](QDialog* dialog) {
        auto* sheet = qobject_cast<OptionsSheet*>(dialog);
        QVERIFY(sheet && sheet->SetActivePage(2));
        Control<QListWidget>(sheet->ActivePage(), IconList)->item(6)->setCheckState(Qt::Checked);
        ClickButton(sheet, CPropertySheet::kOkButton);
    });
    QVERIFY(frame.RunCommand(CommandId::Options));
    frame.UpdateCommandUi();
    QCOMPARE(frame.TreeView()->TopItemText(), QStringLiteral("top"));
    QCOMPARE(picture(frame.TreeView()->TopItemIcon()), picture(GetHostIcon(6)));
    bool paneShowsIt = false;
    for (QLabel* label : frame.StatusBar()->findChildren<QLabel*>())
        paneShowsIt = paneShowsIt || label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32) ==
                                         picture(GetHostIcon(6));
    QVERIFY(paneShowsIt);
    QCOMPARE(tabs, (QStringList{QStringLiteral("オプション"), QStringLiteral("ログビュー"),
                                QStringLiteral("ホストアイコン"), QStringLiteral("ホストの順番"),
                                QStringLiteral("システム")}));

    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    HostRecord local = host("local");
    local.Adr = "127.0.0.1";
    local.Port = server.serverPort();
    frame.Engine().ConnectHost(local, -1);
    frame.UpdateCommandUi();
    QVERIFY(!options->isEnabled());
    frame.Engine().CloseSession();
    frame.UpdateCommandUi();
    QVERIFY(options->isEnabled());
}

void TestOptionsSheet::cancelWritesNothing() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("a"), host("b")});
    const QByteArray before = fx.fileBytes();
    OpenSheet s(0);
    const LogAppearance look = s.log.Appearance();
    s.click(DelTmp);
    QVERIFY(s.sheet.SetActivePage(1));
    ChooseColour(Qt::red);
    s.click(TextColour);
    QVERIFY(s.sheet.SetActivePage(2));
    s.at<QListWidget>(IconList)->item(3)->setCheckState(Qt::Checked);
    QVERIFY(s.sheet.SetActivePage(3));
    s.click(MoveUp);
    s.click(MoveUp);
    QVERIFY(s.sheet.SetActivePage(4));
    s.click(UnTimeout);
    QVERIFY(s.sheet.IsModified());
    ClickButton(&s.sheet, CPropertySheet::kCancelButton);
    QVERIFY(!s.sheet.isVisible());
    QCOMPARE(fx.fileBytes(), before);
    QCOMPARE(s.log.Appearance().text, look.text);
    QCOMPARE(s.engine.TimeoutMs(), 30000);
    QCOMPARE(s.treeHosts(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

void TestOptionsSheet::optionsPage() {
    StoreFixture fx;
    {
        OpenSheet s(0);
        QVERIFY(s.checked(BinaryMode) && s.checked(SaveWinSize));
        for (int id : {TreeExpand, DelTmp, ChkDownOw, ChkUpOw, ChkDelete, AsciiMode, LastMode})
            QVERIFY2(!s.checked(id), qPrintable(QString::number(id)));
        QVERIFY(!s.sheet.IsModified());
        s.click(TreeExpand);
        s.click(SaveWinSize);
        s.click(ChkDelete);
        s.click(AsciiMode);
        QVERIFY(s.sheet.IsModified());
        s.ok();
        QVERIFY(!s.sheet.isVisible());
    }
    QCOMPARE(storedNumber(fx, "option", "type"), 0u);
    QCOMPARE(storedNumber(fx, "option", "treeexpand"), 1u);
    QCOMPARE(storedNumber(fx, "option", "savewinsize"), 0u);
    QCOMPARE(storedNumber(fx, "option", "chkdelete"), 1u);
    QCOMPARE(storedNumber(fx, "option", "chkdownow"), 0u);
    // Pages that were never shown wrote nothing.
    QVERIFY(!stored(fx, "system", "timeout"));
    QVERIFY(!stored(fx, "option", "Sessions"));
    QVERIFY(!stored(fx, "lumo\\Log", "usedefft"));
    QVERIFY(!stored(fx, "TreeIcon", "0"));

    // "As at the last exit" is stored as 2 whichever mode the window last closed in.
    SettingsKey key;
    QVERIFY(key.CreateKey(KeyFamily::Option));
    key.WriteDword("type", 3);
    OpenSheet s(0);
    QVERIFY(s.checked(LastMode) && s.checked(TreeExpand) && !s.checked(SaveWinSize));
    s.click(ChkUpOw);
    s.ok();
    QCOMPARE(storedNumber(fx, "option", "type"), 2u);
    QCOMPARE(storedNumber(fx, "option", "chkupow"), 1u);
    QCOMPARE(OptionSettings::Load().type, OptionSettings::AsAtLastExit);
}

void TestOptionsSheet::logViewPageDefaults() {
    StoreFixture fx;
    OpenSheet s(1);
    QVERIFY(s.checked(DefaultFont) && s.checked(DefaultColour) && !s.checked(WindowColour));
    QCOMPARE(s.at<QComboBox>(Face)->currentText(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(s.at<QComboBox>(Size)->currentText(), QStringLiteral("11"));
    QCOMPARE(s.at<QComboBox>(Size)->count(), 19);
    QCOMPARE(s.at<QComboBox>(Size)->itemText(0), QStringLiteral("6"));
    // The stored Windows name is kept, and the page names the face that really draws it.
    const QString japanese = JapaneseFixedWidthFace();
    QVERIFY(!japanese.isEmpty());
    QVERIFY(s.at<QComboBox>(Face)->findText(japanese) >= 0);
    QCOMPARE(s.at<QLabel>(FaceUsed)->text(), QStringLiteral("表示に使われるフォント: %1").arg(japanese));
    QCOMPARE(Control<CColorButton>(s.sheet.ActivePage(), BackColour)->Color(),
             CPropPageLogView::SystemButtonFace());
    QVERIFY(!s.sheet.IsModified());
}

void TestOptionsSheet::logViewPageChoicesReachTheLogAtOnce() {
    StoreFixture fx;
    {
        OpenSheet s(1);
        QComboBox* face = s.at<QComboBox>(Face);
        Choose(face, face->findText(JapaneseFixedWidthFace()));
        QVERIFY(!s.checked(DefaultFont));
        Choose(s.at<QComboBox>(Size), s.at<QComboBox>(Size)->findText(QStringLiteral("14")));
        ChooseColour(QColor(0x12, 0x34, 0x56));
        s.click(TextColour);
        ChooseColour(QColor(0xFF, 0xFF, 0xE0));
        s.click(BackColour);
        QVERIFY(!s.checked(DefaultColour) && !s.checked(WindowColour));
        QTest::mouseClick(s.sheet.ApplyButton(), Qt::LeftButton);
        QVERIFY(s.sheet.isVisible());
        // The log pane looks as stored, without a restart.
        QCOMPARE(s.log.Appearance().face, JapaneseFixedWidthFace());
        QCOMPARE(s.log.Appearance().pointSize, 14);
        QCOMPARE(s.log.font().pointSize(), 14);
        QCOMPARE(s.log.palette().color(QPalette::Text), QColor(0x12, 0x34, 0x56));
        QCOMPARE(s.log.palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0xE0));
        QCOMPARE(storedNumber(fx, "lumo\\Log", "usedefft"), 0u);
        QCOMPARE(storedNumber(fx, "lumo\\Log", "ftcolor"), 0x563412u);
        QCOMPARE(storedNumber(fx, "lumo\\Log", "bkcolor"), 0xE0FFFFu);
        QCOMPARE(storedText(fx, "lumo\\Log", "font"), JapaneseFixedWidthFace().toStdString());
        QCOMPARE(storedText(fx, "lumo\\Log", "fontsize"), std::string("14"));

        // The default font and the window colour leave the choices stored for later.
        s.click(DefaultFont);
        s.click(WindowColour);
        s.ok();
        QCOMPARE(s.log.Appearance().face, QStringLiteral("ＭＳ ゴシック"));
        QCOMPARE(s.log.Appearance().pointSize, 11);
        QCOMPARE(s.log.Appearance().text, QColor(Qt::black));
        QCOMPARE(s.log.Appearance().background, CPropPageLogView::SystemWindowColour());
    }
    QCOMPARE(storedNumber(fx, "lumo\\Log", "usedefft"), 1u);
    QCOMPARE(storedNumber(fx, "lumo\\Log", "usewincolor"), 1u);
    QCOMPARE(storedText(fx, "lumo\\Log", "fontsize"), std::string("14"));
    QCOMPARE(storedNumber(fx, "lumo\\Log", "ftcolor"), 0x563412u);
    QCOMPARE(storedNumber(fx, "lumo\\Log", "bkcolor"), 0xE0FFFFu);

    // Unchecking the boxes brings those choices back.
    OpenSheet s(1);
    QVERIFY(s.checked(DefaultFont) && s.checked(WindowColour));
    s.click(DefaultFont);
    QCOMPARE(s.at<QComboBox>(Face)->currentText(), JapaneseFixedWidthFace());
    QCOMPARE(s.at<QComboBox>(Size)->currentText(), QStringLiteral("14"));
    QCOMPARE(Control<CColorButton>(s.sheet.ActivePage(), TextColour)->Color(), QColor(0x12, 0x34, 0x56));
    s.click(WindowColour);
    QCOMPARE(Control<CColorButton>(s.sheet.ActivePage(), BackColour)->Color(), QColor(0xFF, 0xFF, 0xE0));
    QVERIFY(!s.checked(DefaultColour));
    s.click(DefaultColour);
    QCOMPARE(Control<CColorButton>(s.sheet.ActivePage(), BackColour)->Color(),
             CPropPageLogView::SystemButtonFace());
    QVERIFY(!s.checked(WindowColour));
}

void TestOptionsSheet::hostIconPage() {
    StoreFixture fx;
    {
        // With no host the icon page still stores its slots; the order page has no rows.
        OpenSheet none(2);
        QCOMPARE(none.at<QComboBox>(IconHost)->count(), 1);
        QCOMPARE(none.at<QComboBox>(IconHost)->currentText(),
                 QStringLiteral("登録されているホストはありません"));
        QVERIFY(none.sheet.SetActivePage(3));
        QCOMPARE(none.at<QListWidget>(OrderList)->count(), 0);
        none.click(MoveUp);
        none.ok();
        QCOMPARE(storedText(fx, "TreeIcon", "9"), std::string());
        QVERIFY(!RegistryStore(fx.filePath()).keyExists("Software\\lumo\\Host"));
    }
    CQXDoc().SaveAllHosts({host("A", 12), host("B", 3)});
    QTemporaryDir files;
    const QString bitmap = writeBitmap(files.filePath(QStringLiteral("square.BMP")));
    QFile text(files.filePath(QStringLiteral("not-a-picture.png")));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("plain text\n") > 0);
    text.close();

    // A bitmap's white pixels (the window colour here) are left out; its own colours stay.
    const QImage square = picture(HostIconFromFile(bitmap, Qt::white));
    QCOMPARE(square.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(square.pixelColor(8, 8), QColor(Qt::red));
    QVERIFY(HostIconFromFile(text.fileName(), Qt::white).isNull());
    // Other pictures keep their own transparency: an icon file, a PNG, an SVG.
    QImage green(32, 32, QImage::Format_ARGB32);
    green.fill(Qt::green);
    const QString ico = files.filePath(QStringLiteral("green.ico"));
    QVERIFY(green.save(ico, "ICO"));
    QCOMPARE(picture(HostIconFromFile(ico, Qt::green)).pixelColor(8, 8), QColor(Qt::green));
    QFile svg(files.filePath(QStringLiteral("blue.svg")));
    QVERIFY(svg.open(QIODevice::WriteOnly));
    svg.write(R"(<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16">)"
              R"(<rect x="4" y="4" width="8" height="8" fill="#0000ff"/></svg>)");
    svg.close();
    const QImage blue = picture(HostIconFromFile(svg.fileName(), Qt::white));
    QCOMPARE(blue.pixelColor(8, 8), QColor(Qt::blue));
    QCOMPARE(blue.pixelColor(0, 0).alpha(), 0);
    QFile broken(files.filePath(QStringLiteral("broken.svg")));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("<svg") > 0);
    broken.close();
    QVERIFY(HostIconFromFile(broken.fileName(), Qt::white).isNull());

    {
        OpenSheet s(2);
        QListWidget* icons = s.at<QListWidget>(IconList);
        QComboBox* hosts = s.at<QComboBox>(IconHost);
        QCOMPARE(icons->count(), 10);
        QCOMPARE(icons->item(0)->text(), QStringLiteral("アイコン(01)"));
        QCOMPARE(icons->item(9)->text(), QStringLiteral("アイコン(10)"));
        // The host on top of the tree is chosen first; an icon number above 9 shows as the first row.
        QCOMPARE(hosts->currentText(), QStringLiteral("A"));
        QCOMPARE(icons->item(0)->checkState(), Qt::Checked);
        Choose(hosts, 1);
        QCOMPARE(icons->item(3)->checkState(), Qt::Checked);
        QCOMPARE(icons->item(0)->checkState(), Qt::Unchecked);
        Choose(hosts, 0);
        icons->item(4)->setCheckState(Qt::Checked);
        for (int row = 0; row < 10; ++row)
            QCOMPARE(icons->item(row)->checkState(), row == 4 ? Qt::Checked : Qt::Unchecked);
        // A choice is kept while another host is looked at.
        Choose(hosts, 1);
        icons->item(3)->setCheckState(Qt::Unchecked);
        Choose(hosts, 0);
        QCOMPARE(icons->item(4)->checkState(), Qt::Checked);

        icons->setCurrentRow(2);
        ChooseFile(bitmap);
        s.click(IconChange);
        QCOMPARE(picture(icons->item(2)->icon()), square);
        QCOMPARE(s.at<QLabel>(IconFile)->text(), QStringLiteral("square.BMP"));
        // A file that is no picture leaves the slot as it was and says so.
        icons->setCurrentRow(5);
        ChooseFile(text.fileName());
        QCOMPARE(MessageFrom([&] { s.click(IconChange); }),
                 QStringLiteral("「%1」は画像として読み込めないため、アイコンは変更しませんでした。")
                     .arg(text.fileName()));
        QCOMPARE(picture(icons->item(5)->icon()), picture(GetHostIcon(5)));
        icons->setCurrentRow(7);
        ChooseFile(bitmap);
        s.click(IconChange);
        s.click(IconDelete);
        QCOMPARE(picture(icons->item(7)->icon()), picture(GetHostIcon(7)));
        s.ok();
        // The tree shows the new picture for the host at once.
        QCOMPARE(picture(s.tree.topLevelItem(0)->icon(0)), picture(GetHostIcon(4)));
        QCOMPARE(picture(CQXTreeView::AddHostIcons().at(2)), square);
    }
    QCOMPARE(storedText(fx, "TreeIcon", "2"), bitmap.toStdString());
    QCOMPARE(storedText(fx, "TreeIcon", "5"), std::string());
    QCOMPARE(storedText(fx, "TreeIcon", "7"), std::string());
    QCOMPARE(storedNumber(fx, "Host\\Host0", "icon"), 4u);
    QCOMPARE(storedNumber(fx, "Host\\Host1", "icon"), 3u);

    // The other host takes the new picture of slot 2.
    OpenSheet s(2);
    QCOMPARE(s.at<QListWidget>(IconList)->item(4)->checkState(), Qt::Checked);
    Choose(s.at<QComboBox>(IconHost), 1);
    s.at<QListWidget>(IconList)->item(2)->setCheckState(Qt::Checked);
    s.ok();
    QCOMPARE(storedNumber(fx, "Host\\Host1", "icon"), 2u);
    QCOMPARE(picture(s.tree.topLevelItem(1)->icon(0)), square);
}

void TestOptionsSheet::hostOrderPage() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("A"), host("B", 1), host("C", 2)});
    {
        SettingsKey key;
        QVERIFY(key.OpenKey(KeyFamily::Host, ""));
        key.WriteString("MailAdr", "me@example.jp");
        key.WriteDword("FireType", 3);
        QVERIFY(key.OpenKey(KeyFamily::Host, "Host2"));
        key.WriteString("chmod", "SITE CHMOD-C");
    }
    OpenSheet s(3);
    QListWidget* rows = s.at<QListWidget>(OrderList);
    auto texts = [rows] {
        QStringList t;
        for (int r = 0; r < rows->count(); ++r)
            t << rows->item(r)->text();
        return t;
    };
    QCOMPARE(texts(), (QStringList{QStringLiteral("1 A"), QStringLiteral("2 B"), QStringLiteral("3 C")}));
    QVERIFY(!s.sheet.IsModified());
    // With nothing marked, up marks the last row and down the first, and nothing moves.
    s.click(MoveUp);
    QCOMPARE(rows->currentRow(), 2);
    rows->setCurrentRow(-1);
    s.click(MoveDown);
    QCOMPARE(rows->currentRow(), 0);
    rows->setCurrentRow(2);
    s.click(MoveUp);
    s.click(MoveUp);
    s.click(MoveUp); // already on top
    QCOMPARE(texts(), (QStringList{QStringLiteral("3 C"), QStringLiteral("1 A"), QStringLiteral("2 B")}));
    QCOMPARE(picture(rows->item(0)->icon()), picture(GetHostIcon(2)));
    QTest::mouseClick(s.sheet.ApplyButton(), Qt::LeftButton);
    QCOMPARE(storedText(fx, "Host\\Host0", "Name"), std::string("C"));
    QCOMPARE(storedText(fx, "Host\\Host1", "Name"), std::string("A"));
    QCOMPARE(storedText(fx, "Host\\Host2", "Name"), std::string("B"));
    // The permission command goes with its host; the values of the Host key itself stay.
    QCOMPARE(storedText(fx, "Host\\Host0", "chmod"), std::string("SITE CHMOD-C"));
    QVERIFY(!stored(fx, "Host\\Host2", "chmod"));
    QCOMPARE(storedText(fx, "Host", "MailAdr"), std::string("me@example.jp"));
    QCOMPARE(storedNumber(fx, "Host", "FireType"), 3u);
    QCOMPARE(s.treeHosts(), (QStringList{QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("B")}));
    QCOMPARE(s.tree.GetTopHostIndex(), 0);

    // The rows keep their numbers until reset; a second acceptance starts from the new order.
    QCOMPARE(texts(), (QStringList{QStringLiteral("3 C"), QStringLiteral("1 A"), QStringLiteral("2 B")}));
    rows->setCurrentRow(2);
    s.click(MoveUp);
    QVERIFY(s.sheet.SetActivePage(2));
    QCOMPARE(s.at<QComboBox>(IconHost)->itemText(0), QStringLiteral("C"));
    s.at<QListWidget>(IconList)->item(6)->setCheckState(Qt::Checked);
    s.ok();
    QCOMPARE(storedText(fx, "Host\\Host0", "Name"), std::string("C"));
    QCOMPARE(storedText(fx, "Host\\Host1", "Name"), std::string("B"));
    QCOMPARE(storedText(fx, "Host\\Host2", "Name"), std::string("A"));
    QCOMPARE(storedNumber(fx, "Host\\Host0", "icon"), 6u);
    QCOMPARE(storedText(fx, "Host\\Host0", "chmod"), std::string("SITE CHMOD-C"));
    QCOMPARE(s.treeHosts(), (QStringList{QStringLiteral("C"), QStringLiteral("B"), QStringLiteral("A")}));

    OpenSheet again(3);
    QCOMPARE(again.at<QListWidget>(OrderList)->item(1)->text(), QStringLiteral("2 B"));
}

void TestOptionsSheet::systemPageStoresAndAppliesAtOnce() {
    StoreFixture fx;
    {
        SettingsKey key;
        QVERIFY(key.CreateKey(KeyFamily::System));
        key.WriteDword("timeout", 0);
        key.WriteDword("sendbuf", 25);
        QVERIFY(key.CreateKey(KeyFamily::Option));
        key.WriteDword("Sessions", 0);
    }
    QTemporaryDir mine;
    {
        OpenSheet s(4);
        QCOMPARE(s.at<QLineEdit>(Timeout)->text(), QStringLiteral("30"));
        QCOMPARE(s.at<QSlider>(SendBuf)->value(), 4);
        QCOMPARE(s.at<QLabel>(SendBufSize)->text(), QStringLiteral("4 kbyte"));
        QCOMPARE(s.at<QSpinBox>(Sessions)->value(), 4);
        QVERIFY(s.checked(SysTemp));
        QCOMPARE(s.at<QLineEdit>(Temp)->text(), SystemTempFolder());
        QVERIFY(!s.sheet.IsModified());

        s.at<QSlider>(SendBuf)->setValue(24);
        QCOMPARE(s.at<QLabel>(SendBufSize)->text(), QStringLiteral("24 kbyte"));
        s.at<QSpinBox>(Sessions)->setValue(11);
        Type(s.at<QLineEdit>(Timeout), QStringLiteral("45"));
        Type(s.at<QLineEdit>(Temp), mine.path());
        QVERIFY(!s.checked(SysTemp));
        QTest::mouseClick(s.sheet.ApplyButton(), Qt::LeftButton);
        // The running session takes the new values at once.
        QCOMPARE(s.engine.TimeoutMs(), 45000);
        QCOMPARE(s.engine.SendChunk(), 24 * 1024);
        QCOMPARE(GetTempFolder(), mine.path() + QLatin1Char('/'));

        s.click(UnTimeout);
        QVERIFY(!s.at<QLineEdit>(Timeout)->isEnabled());
        s.ok();
        QCOMPARE(s.engine.TimeoutMs(), 0);
    }
    QCOMPARE(storedNumber(fx, "system", "timeout"), 45u);
    QCOMPARE(storedNumber(fx, "system", "untimeout"), 1u);
    QCOMPARE(storedNumber(fx, "system", "sendbuf"), 24u);
    QCOMPARE(storedNumber(fx, "option", "Sessions"), 10u);
    QCOMPARE(storedNumber(fx, "system", "systemp"), 0u);
    QCOMPARE(storedText(fx, "system", "temp"), mine.path().toStdString());

    // Back to the system folder: the box fills the path again.
    OpenSheet s(4);
    QCOMPARE(s.at<QSpinBox>(Sessions)->value(), 10);
    QCOMPARE(s.at<QLineEdit>(Temp)->text(), mine.path());
    s.click(SysTemp);
    QCOMPARE(s.at<QLineEdit>(Temp)->text(), SystemTempFolder());
    s.ok();
    QCOMPARE(storedNumber(fx, "system", "systemp"), 1u);
}

void TestOptionsSheet::systemPageRefusals_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    const QString range = QStringLiteral("1 から 999 までの整数を入力してください。");
    QTest::newRow("word") << Timeout << QStringLiteral("thirty")
                          << QStringLiteral("正の整数を入力してください。");
    QTest::newRow("negative") << Timeout << QStringLiteral("-1")
                              << QStringLiteral("正の整数を入力してください。");
    QTest::newRow("empty") << Timeout << QString() << QStringLiteral("正の整数を入力してください。");
    QTest::newRow("zero") << Timeout << QStringLiteral("0") << range;
    QTest::newRow("1000") << Timeout << QStringLiteral("1000") << range;
    QTest::newRow("missing folder")
        << Temp << QStringLiteral("/nonexistent/lumo")
        << QStringLiteral("「/nonexistent/lumo」にはファイルを作成できないため、テンポラリフォル"
                          "ダに使えません。");
    QTest::newRow("relative folder") << Temp << QStringLiteral("tmp")
                                     << QStringLiteral("テンポラリフォルダはフルパスで入力してください。");
    QTest::newRow("too many bytes")
        << Temp << QStringLiteral("/tmp/") + QString(100, QChar(0x3042))
        << QStringLiteral("テンポラリフォルダのパスが長すぎます。299 バイト以内で入力してください。");
}

void TestOptionsSheet::systemPageRefusals() {
    QFETCH(int, control);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    StoreFixture fx;
    OpenSheet s(4);
    QLineEdit* edit = s.at<QLineEdit>(control);
    Type(edit, typed);
    // Leaving the page and OK are each refused, with the focus on the value.
    QCOMPARE(MessageFrom([&] { s.sheet.SetActivePage(0); }), message);
    QCOMPARE(s.sheet.ActivePage(), s.sheet.Page(4));
    QCOMPARE(s.sheet.focusWidget(), edit);
    QCOMPARE(MessageFrom([&] { s.ok(); }), message);
    QVERIFY(s.sheet.isVisible());
    QVERIFY(!QFile::exists(fx.filePath()));
    QCOMPARE(s.engine.TimeoutMs(), 30000);
    // A switched-off time-out is not asked for; it keeps the value it had.
    if (control == Timeout) {
        s.click(UnTimeout);
        s.ok();
        QVERIFY(!s.sheet.isVisible());
        QCOMPARE(storedNumber(fx, "system", "timeout"), 30u);
    }
}

void TestOptionsSheet::ctrlTabReachesEveryPage() {
    StoreFixture fx;
    CQXDoc().SaveAllHosts({host("a"), host("b")});
    OpenSheet s(0);
    QVERIFY(QTest::qWaitForWindowActive(&s.sheet));
    CheckPageKeys(s.sheet);
    // From the first page, four presses go round to the last page and back to the first.
    QVERIFY(s.sheet.SetActivePage(0));
    for (int i = 0; i < s.sheet.PageCount(); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(s.sheet.Tabs()->currentIndex(), 0);
}

QTEST_MAIN(TestOptionsSheet)
#include "tst_options_sheet.moc"
