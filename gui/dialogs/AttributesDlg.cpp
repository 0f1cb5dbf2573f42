#include "gui/dialogs/AttributesDlg.h"

#include "dialogs/DialogIds.h"
#include "dialogs/DialogSettings.h"
#include "gui/dialogs/DialogLayout.h"
#include "platform/TextCodec.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

using namespace DialogId;

CAttributesDlg::CAttributesDlg(int hostNumber, QWidget* parent) : QDialog(parent), m_hostNumber(hostNumber) {
    setWindowTitle(QStringLiteral("属性の変更"));
    DialogBuilder b(this, IDD_ATTRIBUTES, 219, 137);
    b.Group(IDC_ATTRIBUTE_GROUP, QStringLiteral("属性"), 8, 1, 202, 70);
    b.Static(IDC_OWNER_LABEL, QStringLiteral("オーナー"), 23, 12, 29, 8);
    b.Static(IDC_GROUP_LABEL, QStringLiteral("グループ"), 78, 12, 29, 8);
    b.Static(IDC_OTHER_LABEL, QStringLiteral("その他（公共）"), 133, 12, 46, 8);
    const QString texts[3] = {QStringLiteral("読み込み"), QStringLiteral("書き込み"),
                              QStringLiteral("　実 行")};
    const int rows[3] = {26, 39, 51};
    const int columns[3] = {29, 84, 139};
    const int widths[9] = {46, 45, 39, 46, 46, 39, 46, 45, 39};
    for (int i = 0; i < 9; ++i) {
        QCheckBox* box =
            b.CheckBox(PermissionBoxes[i], texts[i % 3], columns[i / 3], rows[i % 3], widths[i], 8);
        connect(box, &QCheckBox::clicked, this, &CAttributesDlg::OnPermissionClicked);
        m_boxes[static_cast<size_t>(i)] = box;
    }
    b.Group(IDC_COMMAND_GROUP, QStringLiteral("送信コマンド"), 10, 75, 200, 35);
    m_commandEdit = b.Edit(IDC_COMMAND, 18, 90, 124, 12);
    m_numberEdit = b.Edit(IDC_NUMBER, 144, 90, 30, 12);
    m_numberEdit->setMaxLength(3);
    connect(m_numberEdit, &QLineEdit::textEdited, this, &CAttributesDlg::OnNumberEdited);
    connect(b.Button(IDC_DEFAULT_COMMAND, QStringLiteral("標準"), 175, 90, 30, 12), &QPushButton::clicked,
            this, &CAttributesDlg::OnDefaultCommand);
    connect(b.Button(IDOK, QStringLiteral("変更"), 102, 116, 53, 14, true), &QPushButton::clicked, this,
            &CAttributesDlg::accept);
    connect(b.Button(IDCANCEL, QStringLiteral("ｷｬﾝｾﾙ"), 157, 116, 50, 14), &QPushButton::clicked, this,
            &CAttributesDlg::reject);
}

void CAttributesDlg::SetPermissions(const PermissionFlags& flags) {
    m_flags = flags;
    m_number = NumberFromFlags(flags);
}

void CAttributesDlg::ReadControls() {
    for (size_t i = 0; i < m_boxes.size(); ++i)
        m_flags[i] = m_boxes[i]->isChecked();
    m_number = m_numberEdit->text();
    m_command = m_commandEdit->text();
}

void CAttributesDlg::WriteControls() {
    for (size_t i = 0; i < m_boxes.size(); ++i)
        m_boxes[i]->setChecked(m_flags[i]);
    // Setting an unchanged text would move the caret to the end while the user types.
    if (m_numberEdit->text() != m_number)
        m_numberEdit->setText(m_number);
    if (m_commandEdit->text() != m_command)
        m_commandEdit->setText(m_command);
}

void CAttributesDlg::OnPermissionClicked() {
    ReadControls();
    m_number = NumberFromFlags(m_flags);
    WriteControls();
}

void CAttributesDlg::OnNumberEdited() {
    const QString before = m_number;
    ReadControls();
    const qsizetype bad = FirstNonDigit(m_number);
    if (bad >= 0) {
        m_number = before;
        WriteControls();
        m_numberEdit->setCursorPosition(static_cast<int>(bad));
        return;
    }
    // A number the boxes cannot show (8, 9, over 777) leaves them as they are.
    if (const std::optional<PermissionFlags> flags = FlagsFromNumber(m_number)) {
        m_flags = *flags;
        WriteControls();
    }
}

void CAttributesDlg::OnDefaultCommand() {
    m_command = QString::fromLatin1(DefaultChmodCommand);
    WriteControls();
}

void CAttributesDlg::accept() {
    ReadControls();
    // Only the first line goes on, so that a line break cannot add a command of its own.
    m_command = SingleLine(m_command);
    WriteChmodCommand(m_hostNumber, EncodeUtf8(m_command));
    done(DialogResult::Yes);
}

void CAttributesDlg::reject() {
    done(DialogResult::Cancel);
}

void CAttributesDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        m_command = DecodeUtf8(ReadChmodCommand(m_hostNumber));
        WriteControls();
    }
    QDialog::showEvent(event);
}
