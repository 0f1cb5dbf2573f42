#include "gui/settings/CPropPageSystem.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/FolderBrowser.h"
#include "gui/settings/OptionSheetControls.h"
#include "gui/settings/PageRows.h"
#include "settings/HostInputRules.h"
#include "settings/TempFolder.h"
#include "settings/TransferSessions.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

using namespace OptionSheetControl;

namespace {

QString sizeText(int kb) {
    return QStringLiteral("%1 kbyte").arg(kb);
}

} // namespace

CPropPageSystem::CPropPageSystem(QWidget* parent) : COptionPage(parent) {
    DialogBuilder b(this, SystemPage, kPageWidth, 0);
    PageRows rows(b, kPageMargin, kPageMargin, kPageWidth - 2 * kPageMargin);
    rows.Text(
        SystemText,
        QStringLiteral("システム設定では、送受信の際のバッファサイズや動作タイミングの設定を行うことができま"
                       "す。デフォルトの設定で問題がなければ特に変更する必要はありません。"),
        3);

    rows.BeginGroup(TimeoutGroup, QStringLiteral("タイムアウト"));
    rows.Label(TimeoutText, QStringLiteral("タイムアウト（コマンド送信時からの待ち時間）"), 150);
    m_timeout = rows.Edit(Timeout, 30);
    m_timeout->setAlignment(Qt::AlignRight);
    rows.Label(Seconds, QStringLiteral("秒"), 10);
    rows.NextRow();
    m_untimeout = rows.CheckBox(UnTimeout, QStringLiteral("タイムアウトしない(&U)"));
    rows.EndGroup();

    rows.BeginGroup(BufferGroup, QStringLiteral("バッファサイズ"));
    rows.Label(SendBufLabel, QStringLiteral("送信バッファ"), 44);
    m_sendbuf = rows.Add(SendBuf, new QSlider(Qt::Horizontal, this), rows.RestOfRow(40), 16);
    m_sendbuf->setRange(1, 24);
    m_sendbuf->setSingleStep(1);
    m_sendbuf->setPageStep(1);
    m_sendbuf->setTickInterval(1);
    m_sendbuf->setTickPosition(QSlider::TicksBelow);
    m_sendbufSize = rows.Label(SendBufSize, QString(), 40);
    m_sendbufSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Measured on 127.0.0.1 (bench/upload_chunk.py): 1 KB sends at half the speed of 4 KB and more.
    rows.Text(NoId,
              QStringLiteral("アップロードで一度に送る最大の大きさです。小さくすると送る回数が増え、"
                             "高速な回線では転送が遅くなります。"),
              2);
    rows.EndGroup();

    rows.BeginGroup(SessionsGroup, QStringLiteral("ファイル転送"));
    rows.Label(SessionsLabel, QStringLiteral("同時接続数(&N)"), 60);
    m_sessions = rows.Add(Sessions, new QSpinBox(this), 30, PageRows::kRowHeight);
    m_sessions->setRange(TransferSessions::Min, TransferSessions::Max);
    m_sessions->setAlignment(Qt::AlignRight);
    rows.Text(SessionsText,
              QStringLiteral("多くのファイルの転送は、この数の接続で同時に行います。1 のときは、一覧を表示"
                             "している接続で 1 ファイルずつ転送します。"),
              2);
    rows.EndGroup();

    constexpr int browseWidth = 40;
    rows.BeginGroup(TempGroup, QStringLiteral("テンポラリフォルダの設定"));
    rows.Label(TempLabel, QStringLiteral("パス(&P)"), 26);
    m_temp = rows.Edit(Temp, rows.RestOfRow(browseWidth));
    m_temp->setMaxLength(kPathMax);
    QPushButton* browse = rows.Button(TempBrowse, QStringLiteral("参照(&R)"), browseWidth);
    rows.NextRow();
    m_systemp = rows.CheckBox(SysTemp, QStringLiteral("システムのテンポラリフォルダを利用する(&S)"));
    rows.EndGroup();
    FinishPage(b, rows);

    connect(m_timeout, &QLineEdit::textEdited, this, &COptionPage::Changed);
    connect(m_untimeout, &QCheckBox::clicked, this, &CPropPageSystem::OnUnTimeout);
    connect(m_sendbuf, &QSlider::valueChanged, this, &CPropPageSystem::OnSendBufMoved);
    connect(m_sessions, &QSpinBox::valueChanged, this, &COptionPage::Changed);
    connect(m_systemp, &QCheckBox::clicked, this, &CPropPageSystem::OnSysTemp);
    connect(m_temp, &QLineEdit::textEdited, this, [this] {
        m_systemp->setChecked(false);
        Changed();
    });
    connect(browse, &QPushButton::clicked, this, &CPropPageSystem::OnBrowse);
}

QString CPropPageSystem::SystemFolderText() {
    const QString folder = SystemTempFolder();
    return folder.isEmpty() ? QStringLiteral("テンポラリが取得できませんでした。")
                            : QDir::toNativeSeparators(folder);
}

void CPropPageSystem::Load() {
    m_stored = SystemPageSettings::Load();
    m_timeout->setText(QString::number(m_stored.timeout));
    m_untimeout->setChecked(m_stored.untimeout);
    OnUnTimeout();
    m_systemp->setChecked(m_stored.systemp);
    OnSysTemp();
    m_sendbuf->setValue(static_cast<int>(m_stored.sendbuf));
    OnSendBufMoved(m_sendbuf->value());
    m_sessions->setValue(DefaultTransferSessions());
}

void CPropPageSystem::OnUnTimeout() {
    m_timeout->setEnabled(!m_untimeout->isChecked());
    Changed();
}

void CPropPageSystem::OnSendBufMoved(int kb) {
    m_sendbufSize->setText(sizeText(kb));
    Changed();
}

void CPropPageSystem::OnSysTemp() {
    if (m_systemp->isChecked()) {
        m_temp->setText(SystemFolderText());
    } else {
        const QString stored = ShownText(m_stored.temp);
        if (!stored.isEmpty())
            m_temp->setText(stored);
        if (m_temp->text().isEmpty())
            m_temp->setText(SystemFolderText());
    }
    Changed();
}

void CPropPageSystem::OnBrowse() {
    const QString folder = BrowseForFolder(this, m_temp->text());
    if (folder.isEmpty())
        return;
    m_temp->setText(folder);
    m_systemp->setChecked(false);
    Changed();
}

bool CPropPageSystem::ReadControls(SystemPageSettings& s) {
    s.untimeout = m_untimeout->isChecked();
    s.systemp = m_systemp->isChecked();
    s.sendbuf = static_cast<std::uint32_t>(m_sendbuf->value());
    s.temp = TextForStore(m_stored.temp, m_temp->text());
    QString timeoutProblem;
    const std::optional<std::uint32_t> timeout =
        ReadUnsignedInRange(m_timeout->text(), 1, kTimeoutMax, timeoutProblem);
    // A time-out that is switched off cannot be corrected in its greyed field; it keeps what it was.
    if (!timeout && s.untimeout)
        timeoutProblem.clear();
    s.timeout = timeout.value_or(m_stored.timeout);
    const QString path = m_temp->text();
    return AcceptValues({
        {m_timeout, timeoutProblem},
        {m_temp, path.size() > kPathMax ? QStringLiteral("%1 文字以内で入力してください。").arg(kPathMax)
                                        : QString()},
        {m_temp, TextLengthProblem(s.temp, QStringLiteral("テンポラリフォルダのパス"))},
        {m_temp, s.systemp ? QString() : TempFolderProblem(path)},
    });
}

bool CPropPageSystem::OnKillActive() {
    SystemPageSettings s;
    return ReadControls(s);
}

bool CPropPageSystem::OnApply() {
    SystemPageSettings s;
    if (!ReadControls(s))
        return false;
    s.Save();
    m_stored = s;
    SaveDefaultTransferSessions(m_sessions->value());
    return true;
}
