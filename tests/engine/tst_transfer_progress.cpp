#include "engine/TransferProgress.h"

#include <QtTest>

#include <cstdint>

class TestTransferProgress : public QObject {
    Q_OBJECT
private slots:
    void firstSecondShowsNoRate();
    void slowSmallFile();
    void halfOfFiftyMillion();
    void resumedTransferCountsItsStart();
    void beyondFourGigabytes();
    void resetHidesAndEmpties();
    void moreThanAnnouncedLeavesNoTime();
};

namespace {
struct FakeClock {
    std::int64_t now = 1000;
    CTransferProgress::Clock fn() {
        return [this] { return now; };
    }
};
} // namespace

void TestTransferProgress::firstSecondShowsNoRate() {
    FakeClock clock;
    CTransferProgress p(clock.fn());
    p.BeginProgress(0, 1000);
    p.MarkTransferStart();
    p.AdvanceProgress(10);
    QCOMPARE(p.SpeedText(), std::string("-.--kbyte/s 残り-秒"));
    QCOMPARE(p.CountText(), std::string("10/1000byte 1%"));
    QVERIFY(p.BarVisible());
}

void TestTransferProgress::slowSmallFile() {
    FakeClock clock;
    CTransferProgress p(clock.fn());
    p.BeginProgress(0, 100);
    p.MarkTransferStart();
    clock.now += 2;
    p.AdvanceProgress(100);
    QCOMPARE(p.SpeedText(), std::string(" 0.05kbyte/s 残り0秒"));
    QCOMPARE(p.CountText(), std::string("100/100byte 100%"));
    QCOMPARE(p.BarValue(), p.BarMaximum());
}

void TestTransferProgress::halfOfFiftyMillion() {
    FakeClock clock;
    CTransferProgress p(clock.fn());
    p.BeginProgress(0, 50000000);
    p.MarkTransferStart();
    clock.now += 10;
    p.AdvanceProgress(25000000);
    QCOMPARE(p.Percent(), 50);
    QCOMPARE(p.CountText(), std::string("25000000/50000000byte 50%"));
    // 2.5 MB/s, 10 seconds to go.
    QCOMPARE(p.SpeedText(), std::string("2441.41kbyte/s 残り10秒"));
}

void TestTransferProgress::resumedTransferCountsItsStart() {
    FakeClock clock;
    CTransferProgress p(clock.fn());
    p.BeginProgress(600, 1000);
    QCOMPARE(p.BarValue(), 600);
    QCOMPARE(p.BarMaximum(), 1000);
    p.MarkTransferStart();
    clock.now += 1;
    p.AdvanceProgress(100);
    QCOMPARE(p.CountText(), std::string("700/1000byte 70%"));
    // The start position counts as if sent in this run: 700 bytes in one second.
    QCOMPARE(p.SpeedText(), std::string(" 0.68kbyte/s 残り0秒"));
}

void TestTransferProgress::beyondFourGigabytes() {
    FakeClock clock;
    CTransferProgress p(clock.fn());
    const std::uint64_t total = 6ull * 1024 * 1024 * 1024;
    p.BeginProgress(0, total);
    p.MarkTransferStart();
    clock.now += 100;
    p.AdvanceProgress(total / 2);
    QCOMPARE(p.Percent(), 50);
    QCOMPARE(p.CountText(), std::string("3221225472/6442450944byte 50%"));
    QVERIFY(p.BarMaximum() > 0);
    QCOMPARE(p.BarValue(), p.BarMaximum() / 2);

    // Totals near the top of the range do not overflow.
    CTransferProgress huge(clock.fn());
    const std::uint64_t big = UINT64_MAX - 10;
    huge.BeginProgress(big - 1, big);
    QCOMPARE(huge.Percent(), 99);
    huge.AdvanceProgress(1);
    QCOMPARE(huge.Percent(), 100);
}

void TestTransferProgress::resetHidesAndEmpties() {
    FakeClock clock;
    CTransferProgress p(clock.fn());
    p.BeginProgress(10, 100);
    p.MarkTransferStart();
    p.AdvanceProgress(5);
    p.ResetProgress();
    QVERIFY(!p.BarVisible());
    QCOMPARE(p.BarValue(), 0);
    QCOMPARE(p.SpeedText(), std::string());
    QCOMPARE(p.CountText(), std::string());
    // The bar starts again from 0 at the next transfer.
    p.BeginProgress(20, 100);
    QCOMPARE(p.BarValue(), 20);
}

void TestTransferProgress::moreThanAnnouncedLeavesNoTime() {
    FakeClock clock;
    CTransferProgress p(clock.fn());
    p.BeginProgress(0, 100);
    p.MarkTransferStart();
    clock.now += 1;
    p.AdvanceProgress(300);
    QCOMPARE(p.CountText(), std::string("300/100byte 300%"));
    QCOMPARE(p.SpeedText(), std::string(" 0.29kbyte/s 残り0秒"));
    QCOMPARE(p.BarValue(), p.BarMaximum());
}

QTEST_GUILESS_MAIN(TestTransferProgress)
#include "tst_transfer_progress.moc"
