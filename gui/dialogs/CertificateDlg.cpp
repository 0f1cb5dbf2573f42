#include "gui/dialogs/CertificateDlg.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
QString DateText(std::int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds).toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

// A fingerprint on two lines of 16 bytes each: one line of 95 characters would not fit.
QString FingerprintText(const std::string& hex) {
    QString text = QString::fromStdString(FormatFingerprint(hex));
    if (text.size() > 48)
        text.insert(48, QLatin1Char('\n'));
    return text;
}

QLabel* Field(const QString& text, bool fixedWidth = false) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    if (fixedWidth)
        label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return label;
}
} // namespace

CCertificateDlg::CCertificateDlg(const QString& hostName, const TlsPeerInfo& peer,
                                 CertificateStanding standing, const std::string& pinnedSha256,
                                 QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("証明書の確認"));
    const bool changed = standing == CertificateStanding::Changed;

    auto* headline =
        Field(changed ? QStringLiteral("「%1」の証明書が、以前に許可したものと違います。").arg(hostName)
                      : QStringLiteral("「%1」の証明書を確認できませんでした。").arg(hostName));
    QFont bold = headline->font();
    bold.setBold(true);
    headline->setFont(bold);
    const QString problem = QString::fromStdString(CertificateProblemText(peer));
    auto* advice =
        Field(changed ? QStringLiteral("サーバーの証明書が更新されたか、第三者が通信に割り込んでいる可能性"
                                       "があります。サーバーの管理者に確かめられないときは拒否してください。")
                      : problem + QStringLiteral("\n指紋をサーバーの管理者に確かめてから許可してください。"));

    auto* icon = new QLabel;
    const auto pixmap = changed ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning;
    icon->setPixmap(style()->standardIcon(pixmap).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("SHA-256 指紋:"), Field(FingerprintText(peer.sha256Hex), true));
    if (changed)
        form->addRow(QStringLiteral("以前の指紋:"), Field(FingerprintText(pinnedSha256), true));
    form->addRow(QStringLiteral("発行先:"), Field(QString::fromStdString(peer.subject)));
    form->addRow(QStringLiteral("発行者:"), Field(QString::fromStdString(peer.issuer)));
    form->addRow(
        QStringLiteral("有効期間:"),
        Field(QStringLiteral("%1 から %2 まで").arg(DateText(peer.notBefore), DateText(peer.notAfter))));
    form->addRow(QStringLiteral("暗号化:"), Field(QString::fromStdString(peer.protocol + " " + peer.cipher)));

    auto* buttons = new QDialogButtonBox;
    m_once = buttons->addButton(QStringLiteral("今回だけ許可(&O)"), QDialogButtonBox::AcceptRole);
    m_always = buttons->addButton(QStringLiteral("常に許可(&A)"), QDialogButtonBox::AcceptRole);
    m_refuse = buttons->addButton(QStringLiteral("拒否(&R)"), QDialogButtonBox::RejectRole);
    // Enter never accepts: only a deliberate click or shortcut does.
    m_once->setAutoDefault(false);
    m_always->setAutoDefault(false);
    m_refuse->setDefault(true);
    connect(m_once, &QPushButton::clicked, this, [this] {
        m_answer = CertificateAnswer::AcceptOnce;
        accept();
    });
    connect(m_always, &QPushButton::clicked, this, [this] {
        m_answer = CertificateAnswer::AcceptAlways;
        accept();
    });
    connect(m_refuse, &QPushButton::clicked, this, &QDialog::reject);

    auto* text = new QVBoxLayout;
    text->addWidget(headline);
    text->addWidget(advice);
    text->addLayout(form);
    text->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setMinimumWidth(560);
}

CertificateAnswer AskCertificate(QWidget* parent, const QString& hostName, const TlsPeerInfo& peer,
                                 CertificateStanding standing, const std::string& pinnedSha256) {
    CCertificateDlg dlg(hostName, peer, standing, pinnedSha256, parent);
    dlg.exec();
    return dlg.Answer();
}
