#include "StoreFixture.h"
#include "app/DisplayCheck.h"
#include "app/WindowLayout.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QtTest>

class TestWindowLayout : public QObject {
    Q_OBJECT
private slots:
    void defaultsOfAnEmptyStore();
    void writtenLayoutReadsBack();
    void damagedLayoutIsClampedToTheScreens();
    void showStates();
    void logRowsToggle();
    void hostPaneWidth();
    void transferModeAtStartAndExit();
    void missingDisplayIsNamed();
};

void TestWindowLayout::defaultsOfAnEmptyStore() {
    StoreFixture fx;
    const WindowLayout l = ReadWindowLayout();
    QCOMPARE(l.left, 0);
    QCOMPARE(l.top, 0);
    QCOMPARE(l.right - l.left, 590);
    QCOMPARE(l.bottom - l.top, 380);
    QCOMPARE(l.treelisth, 200);
    QCOMPARE(l.logh, 80);
    QCOMPARE(l.treew, 160);
    QCOMPARE(l.listw, 415);
    QCOMPARE(l.rawcount, 2);
    QCOMPARE(l.menu, 0);
    QCOMPARE(ReadStartupShowState(), ShowState::Normal);
}

void TestWindowLayout::writtenLayoutReadsBack() {
    StoreFixture fx;
    WindowLayout l;
    l.type = 2;
    l.top = -20; // a window partly above the screen keeps its negative position
    l.left = -300;
    l.bottom = 700;
    l.right = 1000;
    l.treelisth = 321;
    l.logh = 0;
    l.treew = 90;
    l.listw = 700;
    l.rawcount = 1;
    l.menu = 1;
    WriteWindowLayout(l);
    l.sizeStored = true;
    QCOMPARE(ReadWindowLayout(), l);
    QCOMPARE(ReadStartupShowState(), ShowState::Maximised);

    // A rectangle without width or height is not used.
    l.right = l.left;
    QVERIFY(!l.HasUsableRect());
    l.right = l.left + 1;
    l.bottom = l.top - 5;
    QVERIFY(!l.HasUsableRect());
}

void TestWindowLayout::damagedLayoutIsClampedToTheScreens() {
    const std::vector<QRect> one = {QRect(0, 0, 1280, 900)};
    const std::vector<QRect> screens = {one.front(), QRect(1280, -100, 1920, 1080)};
    const int huge = 0x7ffffff0;
    WindowLayout l;
    l.right = l.bottom = l.treelisth = l.logh = l.treew = l.listw = huge;
    WindowLayout c = ClampWindowLayout(l, one);
    QCOMPARE(QRect(c.left, c.top, c.right - c.left, c.bottom - c.top), QRect(0, 0, 1280, 900));
    QCOMPARE(c.treelisth, 900);
    QCOMPARE(c.logh, 900);
    QCOMPARE(c.treew, 1280);
    QCOMPARE(c.listw, 1280);

    // Edges whose difference overflows an int; negative pane sizes; band values that mean nothing.
    l = WindowLayout();
    l.left = -huge;
    l.top = -huge;
    l.treelisth = -5;
    l.rawcount = 7;
    l.menu = -1;
    QVERIFY(l.HasUsableRect());
    c = ClampWindowLayout(l, one);
    QCOMPARE(QRect(c.left, c.top, c.right - c.left, c.bottom - c.top), QRect(0, 0, 1280, 900));
    QCOMPARE(c.treelisth, 0);
    QCOMPARE(c.rawcount, 2);
    QCOMPARE(c.menu, 0);

    // Left on a screen that is gone: brought onto the nearest edge of the primary screen.
    l = WindowLayout();
    l.left = 9000;
    l.right = 9600;
    c = ClampWindowLayout(l, screens);
    QCOMPARE(QRect(c.left, c.top, c.right - c.left, c.bottom - c.top), QRect(680, 0, 600, 380));

    // On the second screen, or partly off a screen edge, a sound layout stays as it was.
    for (const QRect& r : {QRect(1500, -50, 1000, 700), QRect(-300, -20, 1000, 500)}) {
        l = WindowLayout();
        l.left = r.left();
        l.top = r.top();
        l.right = r.left() + r.width();
        l.bottom = r.top() + r.height();
        QCOMPARE(ClampWindowLayout(l, screens), l);
    }
    // A window taller than the screen it is on is cut to that screen's height.
    l.top = -50;
    l.left = 1500;
    l.right = 2500;
    l.bottom = 2000;
    c = ClampWindowLayout(l, screens);
    QCOMPARE(c.bottom - c.top, 1080);
    QCOMPARE(c.left, 1500);
}

void TestWindowLayout::showStates() {
    QCOMPARE(ShowStateFromType(1), ShowState::Minimised);
    QCOMPARE(ShowStateFromType(2), ShowState::Maximised);
    QCOMPARE(ShowStateFromType(0), ShowState::Normal);
    QCOMPARE(ShowStateFromType(5), ShowState::Normal);
    for (ShowState s : {ShowState::Normal, ShowState::Minimised, ShowState::Maximised})
        QCOMPARE(ShowStateFromType(TypeFromShowState(s)), s);
}

void TestWindowLayout::logRowsToggle() {
    auto hidden = ToggleLogRows(300, 100);
    QCOMPARE(hidden, std::make_pair(400, 0));
    auto shown = ToggleLogRows(hidden.first, hidden.second);
    QCOMPARE(shown, std::make_pair(280, 120));
    // Fractions are dropped on both rows.
    QCOMPARE(ToggleLogRows(301, 0), std::make_pair(210, 90));
    QCOMPARE(ToggleLogRows(0, 0), std::make_pair(0, 0));
}

void TestWindowLayout::hostPaneWidth() {
    QCOMPARE(HostPaneWidth(100), 125);
    QCOMPARE(HostPaneWidth(149), 125);
    QCOMPARE(HostPaneWidth(150), 155);
    QCOMPARE(HostPaneWidth(200), 205);
}

void TestWindowLayout::transferModeAtStartAndExit() {
    StoreFixture fx;
    QVERIFY(!ReadStartupAsciiMode()); // binary by default
    struct Case {
        std::uint32_t stored;
        bool ascii;
        bool asciiChecked;
        std::uint32_t after;
    };
    const Case cases[] = {
        {0, true, false, 0}, {1, false, true, 1},  {2, true, false, 3},
        {3, false, true, 2}, {3, false, false, 3}, {7, false, true, 7},
    };
    for (const Case& c : cases) {
        SettingsKey key;
        QVERIFY(key.CreateKey(KeyFamily::Option));
        key.WriteDword(SettingName::Type, c.stored);
        QCOMPARE(ReadStartupAsciiMode(), c.ascii);
        SaveTransferModeAtExit(c.asciiChecked);
        QCOMPARE(key.ReadDword(SettingName::Type, 99), c.after);
    }
}

void TestWindowLayout::missingDisplayIsNamed() {
    const QByteArray display = qgetenv("DISPLAY"), wayland = qgetenv("WAYLAND_DISPLAY"),
                     platform = qgetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    const std::string message = MissingDisplayMessage();
    QVERIFY(message.find("xvfb-run") != std::string::npos);
    QVERIFY(message.find('\n') == std::string::npos);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QVERIFY(MissingDisplayMessage().empty());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("DISPLAY", ":7");
    QVERIFY(MissingDisplayMessage().empty());
    qputenv("DISPLAY", display);
    qputenv("WAYLAND_DISPLAY", wayland);
    qputenv("QT_QPA_PLATFORM", platform);
}

QTEST_GUILESS_MAIN(TestWindowLayout)
#include "tst_window_layout.moc"
