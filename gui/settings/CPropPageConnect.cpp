#include "gui/settings/CPropPageConnect.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/dialogs/DialogQuestions.h"
#include "gui/settings/CharsetRow.h"
#include "gui/settings/HostSheetControls.h"
#include "gui/settings/PageRows.h"
#include "gui/settings/PasswordKeeping.h"
#include "gui/settings/SecurityRow.h"
#include "gui/settings/ServerZoneRow.h"
#include "gui/settings/SessionsRow.h"
#include "hosts/HostListEditor.h"
#include "settings/FirewallSettings.h"
#include "settings/HostInputRules.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace HostSheetControl;

CPropPageConnect::CPropPageConnect(HostListEditor& editor, QWidget* parent)
    : CHostPage(editor, ConnectPage, parent) {
    DialogBuilder b(this, ConnectPage, kWidth, 0);
    PageRows rows(b, kMargin, kMargin, kWidth - 2 * kMargin);
    AddHostChoice(rows);

    constexpr int labelWidth = 62;
    rows.BeginGroup(HostInfoGroup, QStringLiteral("ホスト情報"));
    rows.Label(NameLabel, QStringLiteral("ホスト設定名(&H)"), labelWidth);
    m_name = rows.Edit(Name);
    rows.NextRow();
    rows.Label(AddressLabel, QStringLiteral("ホストアドレス(&A)"), labelWidth);
    m_address = rows.Edit(Address);
    rows.NextRow();
    m_hide = rows.CheckBox(Hide, QStringLiteral("ツリーに表示しない(&S)"), 100);
    rows.AlignRight(50 + 32 + PageRows::kGap);
    rows.Label(PortLabel, QStringLiteral("ポート番号(&P)"), 50);
    m_port = rows.Edit(Port, 32);
    m_port->setAlignment(Qt::AlignRight);
    m_security = SecurityRow::Add(rows, labelWidth);
    rows.EndGroup();

    rows.BeginGroup(LoginGroup, QStringLiteral("ログイン"));
    rows.Label(UserLabel, QStringLiteral("ユーザ名(&U)"), labelWidth);
    m_user = rows.Edit(User);
    rows.NextRow();
    rows.Label(PasswordLabel, QStringLiteral("パスワード(&L)"), labelWidth);
    m_password = rows.Edit(Password);
    m_password->setEchoMode(QLineEdit::Password);
    rows.NextRow();
    m_anonymous = rows.CheckBox(Anonymous, QStringLiteral("an&onymous"), 80);
    rows.NextRow();
    QLabel* keeping = rows.Text(PasswordKeeping, {}, 2);
    rows.EndGroup();
    m_charset = std::make_unique<CharsetRow>(rows, labelWidth);
    m_sessions = SessionsRow::Add(rows, labelWidth);
    m_serverZone = ServerZoneRow::Add(rows, labelWidth);

    QPushButton* newHost = rows.Button(NewHost, QStringLiteral("新規ホスト(&N)"), 62);
    QPushButton* deleteHost = rows.Button(DeleteHost, QStringLiteral("削除(&D)"), 50);
    rows.NextRow();
    FinishPage(b, rows);

    for (QLineEdit* edit : {m_name, m_address, m_port, m_user, m_password})
        connect(edit, &QLineEdit::textEdited, this, &CPropertyPage::SetModified);
    connect(m_hide, &QCheckBox::clicked, this, &CPropertyPage::SetModified);
    SecurityRow::KeepPortInStep(m_security, m_port);
    connect(m_security, QOverload<int>::of(&QComboBox::activated), this, &CPropertyPage::SetModified);
    connect(m_anonymous, &QCheckBox::clicked, this, &CPropPageConnect::OnAnonymous);
    connect(m_charset->Box(), &QComboBox::activated, this, &CPropertyPage::SetModified);
    connect(m_sessions, &QComboBox::activated, this, &CPropertyPage::SetModified);
    connect(m_serverZone, &QComboBox::activated, this, &CPropertyPage::SetModified);
    ShowWherePasswordsAreKept(keeping);
    connect(newHost, &QPushButton::clicked, this, &CPropPageConnect::OnNewHost);
    connect(deleteHost, &QPushButton::clicked, this, &CPropPageConnect::OnDeleteHost);
}

void CPropPageConnect::LoadFields(const HostRecord& host) {
    m_name->setText(ShownText(host.Name));
    m_address->setText(ShownText(host.Adr));
    m_hide->setChecked(host.Hide != 0);
    m_port->setText(QString::number(host.Port));
    m_user->setText(ShownText(host.User));
    m_password->setText(ShownText(host.Pass));
    m_anonymous->setChecked(host.anonymous != 0);
    m_charset->Load(host);
    SecurityRow::Show(m_security, host.Security);
    SessionsRow::Show(m_sessions, host.Sessions);
    ServerZoneRow::Show(m_serverZone, host.ServerZone);
}

bool CPropPageConnect::StoreFields(HostRecord& host) {
    const std::string name = TextForStore(host.Name, m_name->text());
    const std::string address = TextForStore(host.Adr, m_address->text());
    const std::string user = TextForStore(host.User, m_user->text());
    const std::string password = TextForStore(host.Pass, m_password->text());
    const QString nameWhat = QStringLiteral("ホスト設定名");
    const QString addressWhat = QStringLiteral("ホストアドレス");
    const QString userWhat = QStringLiteral("ユーザ名");
    const QString passwordWhat = QStringLiteral("パスワード");
    QString portProblem;
    const std::optional<int> port = ReadHostPort(m_port->text(), portProblem);
    if (!AcceptValues({
            {m_name, LineBreakProblem(m_name->text(), nameWhat)},
            {m_name, TextLengthProblem(name, nameWhat)},
            {m_address, AddressProblem(m_address->text(), addressWhat)},
            {m_address, TextLengthProblem(address, addressWhat)},
            {m_port, portProblem},
            {m_user, LineBreakProblem(m_user->text(), userWhat)},
            {m_user, TextLengthProblem(user, userWhat)},
            {m_password, LineBreakProblem(m_password->text(), passwordWhat)},
            {m_password, PasswordLengthProblem(password, passwordWhat)},
        }))
        return false;
    host.Name = name;
    // A certificate accepted for one server says nothing about another.
    if (address != host.Adr)
        host.TlsPin.clear();
    host.Adr = address;
    host.Hide = m_hide->isChecked() ? 1 : 0;
    host.Port = *port;
    host.User = user;
    host.Pass = password;
    host.anonymous = m_anonymous->isChecked() ? 1 : 0;
    m_charset->Store(host);
    host.Security = SecurityRow::Chosen(m_security);
    host.Sessions = SessionsRow::Chosen(m_sessions);
    host.ServerZone = ServerZoneRow::Chosen(m_serverZone);
    return true;
}

void CPropPageConnect::OnAnonymous() {
    if (m_anonymous->isChecked()) {
        m_user->setText(QStringLiteral("anonymous"));
        m_password->setText(ShownText(ReadMailAddress()));
    }
    SetModified();
}

void CPropPageConnect::OnNewHost() {
    if (!StoreCurrent())
        return;
    Editor().AddNewHost();
    RefillHostChoice();
    LoadCurrent();
    SetModified();
}

void CPropPageConnect::OnDeleteHost() {
    const int selected = HostChoice()->currentIndex();
    if (selected < 0 || !AskRemoveHost(this, HostChoice()->itemText(selected)))
        return;
    Editor().Remove(selected);
    RefillHostChoice();
    LoadCurrent();
    SetModified();
}
