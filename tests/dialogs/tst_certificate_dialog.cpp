#include "DialogDriver.h"
#include "gui/dialogs/CertificateDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

// The certificate question: how a certificate stands against the host's accepted fingerprint, the
// texts shown, and the dialog's three answers.
namespace {
const std::string kSha(64, 'A');
const std::string kOther = std::string(63, 'A') + "B";

TlsPeerInfo Peer(long verifyCode) {
    TlsPeerInfo p;
    p.sha256Hex = kSha;
    p.subject = "O=lumo test,CN=localhost";
    p.issuer = p.subject;
    p.notBefore = 1765000000;
    p.notAfter = 1765172800;
    p.verifyCode = verifyCode;
    p.verifyText = "some rare failure";
    p.protocol = "TLSv1.3";
    p.cipher = "TLS_AES_256_GCM_SHA384";
    return p;
}

// The labels' texts with line breaks taken out, as one text.
QString AllText(QWidget* w) {
    QString text;
    for (QLabel* label : w->findChildren<QLabel*>())
        text += label->text().remove(QLatin1Char('\n')) + QLatin1Char('|');
    return text;
}
} // namespace

class TestCertificateDialog : public QObject {
    Q_OBJECT
private slots:
    void standing();
    void fingerprints();
    void problemTexts();
    void unknownCertificateShowsWhatToCheck();
    void changedCertificateWarnsWithBothFingerprints();
    void answers_data();
    void answers();
};

void TestCertificateDialog::standing() {
    QCOMPARE(JudgeCertificate(Peer(0), ""), CertificateStanding::Trusted);
    // A certificate the trust store vouches for passes whatever was pinned before (a renewed one).
    QCOMPARE(JudgeCertificate(Peer(0), kOther), CertificateStanding::Trusted);
    QCOMPARE(JudgeCertificate(Peer(18), ""), CertificateStanding::Unknown);
    QCOMPARE(JudgeCertificate(Peer(18), kSha), CertificateStanding::Pinned);
    QCOMPARE(JudgeCertificate(Peer(18), FormatFingerprint(std::string(64, 'a'))),
             CertificateStanding::Pinned);
    QCOMPARE(JudgeCertificate(Peer(62), kOther), CertificateStanding::Changed);
    // A pin that is not a fingerprint (a damaged store) protects nothing and changes nothing.
    QCOMPARE(JudgeCertificate(Peer(18), "garbage"), CertificateStanding::Unknown);
    TlsPeerInfo none = Peer(0);
    none.sha256Hex.clear();
    QCOMPARE(JudgeCertificate(none, kSha), CertificateStanding::Changed);
}

void TestCertificateDialog::fingerprints() {
    QCOMPARE(FormatFingerprint("0261AB"), std::string("02:61:AB"));
    QCOMPARE(FormatFingerprint(kSha).size(), std::size_t(95));
    QCOMPARE(NormaliseFingerprint(FormatFingerprint(kSha)), kSha);
    QCOMPARE(NormaliseFingerprint("aa aa" + std::string(60, 'a')), kSha);
    QCOMPARE(NormaliseFingerprint(kSha + "A"), std::string());
    QCOMPARE(NormaliseFingerprint(std::string(63, 'A') + "G"), std::string());
    QCOMPARE(NormaliseFingerprint(""), std::string());
}

void TestCertificateDialog::problemTexts() {
    QCOMPARE(CertificateProblemText(Peer(18)),
             std::string("自己署名の証明書で、信頼できる発行者が保証していません。"));
    QCOMPARE(CertificateProblemText(Peer(10)), std::string("証明書の有効期限が切れています。"));
    QCOMPARE(CertificateProblemText(Peer(62)), std::string("証明書のホスト名が接続先と一致しません。"));
    QCOMPARE(CertificateProblemText(Peer(20)), CertificateProblemText(Peer(19)));
    QVERIFY(QString::fromStdString(CertificateProblemText(Peer(7))).contains("some rare failure"));
    QCOMPARE(CertificateProblemText(Peer(0)), std::string());
}

void TestCertificateDialog::unknownCertificateShowsWhatToCheck() {
    CCertificateDlg dlg(QStringLiteral("テスト"), Peer(18), CertificateStanding::Unknown, "");
    const QString text = AllText(&dlg);
    QVERIFY(text.contains(QStringLiteral("「テスト」の証明書を確認できませんでした。")));
    QVERIFY(text.contains(QStringLiteral("自己署名")));
    QVERIFY(text.contains(QString::fromStdString(FormatFingerprint(kSha))));
    QVERIFY(text.contains(QStringLiteral("O=lumo test,CN=localhost")));
    QVERIFY(text.contains(QStringLiteral("TLSv1.3 TLS_AES_256_GCM_SHA384")));
    const QString from =
        QDateTime::fromSecsSinceEpoch(1765000000).toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    QVERIFY(text.contains(from));
    QVERIFY(!text.contains(QStringLiteral("以前の指紋")));
    QVERIFY(dlg.refuseButton()->isDefault());
}

void TestCertificateDialog::changedCertificateWarnsWithBothFingerprints() {
    CCertificateDlg dlg(QStringLiteral("ftp.example.jp"), Peer(18), CertificateStanding::Changed, kOther);
    const QString text = AllText(&dlg);
    QVERIFY(text.contains(QStringLiteral("以前に許可したものと違います")));
    QVERIFY(text.contains(QString::fromStdString(FormatFingerprint(kSha))));
    QVERIFY(text.contains(QString::fromStdString(FormatFingerprint(kOther))));
    QVERIFY(dlg.refuseButton()->isDefault());
}

void TestCertificateDialog::answers_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("answer");
    QTest::newRow("once") << 0 << int(CertificateAnswer::AcceptOnce);
    QTest::newRow("always") << 1 << int(CertificateAnswer::AcceptAlways);
    QTest::newRow("refuse") << 2 << int(CertificateAnswer::Refuse);
    QTest::newRow("Escape") << 3 << int(CertificateAnswer::Refuse);
    QTest::newRow("Enter takes the default") << 4 << int(CertificateAnswer::Refuse);
}

void TestCertificateDialog::answers() {
    QFETCH(int, button);
    QFETCH(int, answer);
    WhenModalShown([button](QDialog* d) {
        auto* dlg = static_cast<CCertificateDlg*>(d);
        if (button == 0)
            QTest::mouseClick(dlg->onceButton(), Qt::LeftButton);
        else if (button == 1)
            QTest::mouseClick(dlg->alwaysButton(), Qt::LeftButton);
        else if (button == 2)
            QTest::mouseClick(dlg->refuseButton(), Qt::LeftButton);
        else
            QTest::keyClick(dlg, button == 3 ? Qt::Key_Escape : Qt::Key_Return);
    });
    QCOMPARE(int(AskCertificate(nullptr, QStringLiteral("h"), Peer(18), CertificateStanding::Unknown, "")),
             answer);
}

QTEST_MAIN(TestCertificateDialog)
#include "tst_certificate_dialog.moc"
