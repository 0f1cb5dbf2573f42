#include "gui/settings/CPropPageOpt.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/OptionSheetControls.h"
#include "gui/settings/PageRows.h"
#include "settings/OptionSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QRadioButton>

using namespace OptionSheetControl;

CPropPageOpt::CPropPageOpt(QWidget* parent) : COptionPage(parent) {
    DialogBuilder b(this, OptionsPage, kPageWidth, 0);
    PageRows rows(b, kPageMargin, kPageMargin, kPageWidth - 2 * kPageMargin);
    rows.BeginGroup(OptionsGroup, QStringLiteral("　　　　　オプション設定"));
    m_treeexpand = rows.CheckBox(TreeExpand, QStringLiteral("フォルダの移動ごとにツリーを展開する"));
    rows.NextRow();
    m_savewinsize = rows.CheckBox(SaveWinSize, QStringLiteral("ウインドウサイズを保存する"));
    rows.NextRow();
    m_deltmp = rows.CheckBox(DelTmp, QStringLiteral("終了時に一時ファイルを削除する"));
    rows.NextRow();
    m_opendownfolder = rows.CheckBox(OpenDownFolder, QStringLiteral("ダウンロード後にフォルダを開く"));

    rows.BeginGroup(ConfirmGroup, QStringLiteral("確認ダイアログの表示"));
    m_chkdownow = rows.CheckBox(ChkDownOw, QStringLiteral("ダウンロードの上書き確認をしない"));
    rows.NextRow();
    m_chkupow = rows.CheckBox(ChkUpOw, QStringLiteral("アップロードの上書き確認をしない"));
    rows.NextRow();
    m_chkdelete = rows.CheckBox(ChkDelete, QStringLiteral("削除の時、確認しない"));
    rows.EndGroup();

    rows.BeginGroup(ModeGroup, QStringLiteral("起動時の転送モード"));
    m_mode = new QButtonGroup(this);
    const std::pair<int, const char*> modes[] = {
        {AsciiMode, "アスキーモード"}, {BinaryMode, "バイナリモード"}, {LastMode, "前回終了時の転送モード"}};
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            rows.NextRow();
        auto* radio = rows.Add(modes[i].first, new QRadioButton(QString::fromUtf8(modes[i].second), this), 0,
                               PageRows::kRowHeight);
        m_mode->addButton(radio, i);
    }
    rows.EndGroup();
    rows.EndGroup();
    PutPicture(b, findChild<QGroupBox*>(ControlName(OptionsGroup)),
               QIcon(QStringLiteral(":/toolbar/normal/10-options.svg")));
    FinishPage(b, rows);

    for (QCheckBox* box :
         {m_treeexpand, m_savewinsize, m_deltmp, m_opendownfolder, m_chkdownow, m_chkupow, m_chkdelete})
        connect(box, &QCheckBox::clicked, this, &COptionPage::Changed);
    connect(m_mode, &QButtonGroup::buttonClicked, this, &COptionPage::Changed);
}

void CPropPageOpt::Load() {
    const OptionSettings s = OptionSettings::Load();
    m_mode->button(s.type)->setChecked(true);
    m_treeexpand->setChecked(s.treeexpand);
    m_savewinsize->setChecked(s.savewinsize);
    m_deltmp->setChecked(s.deltmp);
    m_opendownfolder->setChecked(s.opendownfolder);
    m_chkdownow->setChecked(s.chkdownow);
    m_chkupow->setChecked(s.chkupow);
    m_chkdelete->setChecked(s.chkdelete);
}

bool CPropPageOpt::OnApply() {
    OptionSettings s;
    const int mode = m_mode->checkedId();
    s.type = mode == OptionSettings::Ascii    ? OptionSettings::Ascii
             : mode == OptionSettings::Binary ? OptionSettings::Binary
                                              : OptionSettings::AsAtLastExit;
    s.treeexpand = m_treeexpand->isChecked();
    s.savewinsize = m_savewinsize->isChecked();
    s.deltmp = m_deltmp->isChecked();
    s.opendownfolder = m_opendownfolder->isChecked();
    s.chkdownow = m_chkdownow->isChecked();
    s.chkupow = m_chkupow->isChecked();
    s.chkdelete = m_chkdelete->isChecked();
    s.Save();
    return true;
}
