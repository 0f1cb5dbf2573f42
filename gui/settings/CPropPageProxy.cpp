#include "gui/settings/CPropPageProxy.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/HostSheetControls.h"
#include "gui/settings/PageRows.h"
#include "settings/HostInputRules.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

using namespace HostSheetControl;

CPropPageProxy::CPropPageProxy(HostListEditor& editor, QWidget* parent)
    : CHostPage(editor, ProxyPage, parent) {
    DialogBuilder b(this, ProxyPage, kWidth, 0);
    PageRows rows(b, kMargin, kMargin, kWidth - 2 * kMargin);
    AddHostChoice(rows);

    m_useFirewall = rows.CheckBox(UseFirewall, QStringLiteral("ファイヤーウオールの使用   "), 110);
    m_passive = rows.CheckBox(Passive, QStringLiteral(" &PASVモード"), 70);
    rows.NextRow();
    constexpr int labelWidth = 50;
    rows.Label(SchemeLabel, QStringLiteral("種類(&S)"), labelWidth);
    m_scheme = rows.DropDown(Scheme);
    for (const char* scheme : kFirewallSchemes)
        m_scheme->addItem(QString::fromUtf8(scheme));
    rows.NextRow();
    rows.Label(FireAddressLabel, QStringLiteral("アドレス(&A)"), labelWidth);
    m_address = rows.Edit(FireAddress);
    rows.NextRow();
    rows.Label(FireUserLabel, QStringLiteral("ユーザ名(&U)"), labelWidth);
    m_user = rows.Edit(FireUser);
    rows.NextRow();
    rows.Label(FirePasswordLabel, QStringLiteral("パスワード(&W)"), labelWidth);
    m_password = rows.Edit(FirePassword);
    m_password->setEchoMode(QLineEdit::Password);
    rows.NextRow();
    rows.Label(FirePortLabel, QStringLiteral("ポート番号(&P)"), labelWidth);
    m_port = rows.Edit(FirePort, 40);
    rows.NextRow();

    rows.BeginGroup(AnonymousGroup, QStringLiteral("anonymous"));
    rows.Text(AnonymousText,
              QStringLiteral("匿名（anonymous)でホストにログインするときには、このメールアドレスがパスワード"
                             "として使用されます。"),
              2);
    rows.Label(MailLabel, QStringLiteral("メールアドレス(&M)"), 70);
    m_mail = rows.Edit(Mail);
    rows.EndGroup();
    FinishPage(b, rows);

    for (QLineEdit* edit : {m_address, m_user, m_password, m_port, m_mail})
        connect(edit, &QLineEdit::textEdited, this, &CPropertyPage::SetModified);
    connect(m_passive, &QCheckBox::clicked, this, &CPropertyPage::SetModified);
    connect(m_useFirewall, &QCheckBox::clicked, this, [this] {
        UpdateEnabling();
        SetModified();
    });
    connect(m_scheme, &QComboBox::activated, this, [this] {
        UpdateEnabling();
        SetModified();
    });
}

void CPropPageProxy::OnSetActive() {
    if (!m_loaded) {
        m_loaded = true;
        m_stored = FirewallSettings::Load();
        m_scheme->setCurrentIndex(FirewallSchemeShown(m_stored.FireType));
        m_address->setText(ShownText(m_stored.FireAdr));
        m_user->setText(ShownText(m_stored.FireUser));
        m_password->setText(ShownText(m_stored.FirePass));
        m_port->setText(QString::number(m_stored.FirePort));
        m_mail->setText(ShownText(m_stored.MailAdr));
    }
    CHostPage::OnSetActive();
}

void CPropPageProxy::UpdateEnabling() {
    const FirewallEnabling e = FirewallEnablingFor(m_useFirewall->isChecked(), m_scheme->currentIndex());
    m_scheme->setEnabled(e.scheme);
    m_address->setEnabled(e.address);
    m_port->setEnabled(e.port);
    m_user->setEnabled(e.account);
    m_password->setEnabled(e.account);
}

std::optional<FirewallSettings> CPropPageProxy::ReadFirewall() {
    FirewallSettings s;
    s.FireType = static_cast<std::uint32_t>(std::max(0, m_scheme->currentIndex()));
    s.FireAdr = TextForStore(m_stored.FireAdr, m_address->text());
    s.FireUser = TextForStore(m_stored.FireUser, m_user->text());
    s.FirePass = TextForStore(m_stored.FirePass, m_password->text());
    s.MailAdr = TextForStore(m_stored.MailAdr, m_mail->text());
    const QString addressWhat = QStringLiteral("ファイヤーウオールのアドレス");
    const QString userWhat = QStringLiteral("ファイヤーウオールのユーザ名");
    const QString passwordWhat = QStringLiteral("ファイヤーウオールのパスワード");
    const QString mailWhat = QStringLiteral("メールアドレス");
    QString portProblem;
    const std::optional<std::uint32_t> port =
        ReadFirewallPort(m_port->text(), m_useFirewall->isChecked(), portProblem);
    // A value the user cannot reach now (its control is disabled) is kept as it was, never refused.
    auto problem = [](QWidget* control, const QString& text) {
        return control->isEnabled() ? text : QString();
    };
    if (!AcceptValues({
            {m_address, problem(m_address, AddressProblem(m_address->text(), addressWhat))},
            {m_address, problem(m_address, TextLengthProblem(s.FireAdr, addressWhat))},
            {m_user, problem(m_user, LineBreakProblem(m_user->text(), userWhat))},
            {m_user, problem(m_user, TextLengthProblem(s.FireUser, userWhat))},
            {m_password, problem(m_password, LineBreakProblem(m_password->text(), passwordWhat))},
            {m_password, problem(m_password, PasswordLengthProblem(s.FirePass, passwordWhat))},
            {m_port, problem(m_port, portProblem)},
            {m_mail, LineBreakProblem(m_mail->text(), mailWhat)},
            {m_mail, TextLengthProblem(s.MailAdr, mailWhat)},
        }))
        return std::nullopt;
    s.FirePort = port.value_or(m_stored.FirePort);
    return s;
}

void CPropPageProxy::LoadFields(const HostRecord& host) {
    m_useFirewall->setChecked(host.Firewall != 0);
    m_passive->setChecked(host.Pasv != 0);
    UpdateEnabling();
}

bool CPropPageProxy::StoreFields(HostRecord& host) {
    // Leaving the page or the host checks the common values as well: they are on the same page.
    if (!ReadFirewall())
        return false;
    host.Firewall = m_useFirewall->isChecked() ? 1 : 0;
    host.Pasv = m_passive->isChecked() ? 1 : 0;
    return true;
}

bool CPropPageProxy::OnApply() {
    const std::optional<FirewallSettings> firewall = ReadFirewall();
    if (!firewall)
        return false;
    firewall->Save();
    m_stored = *firewall;
    return true;
}
