#pragma once

#include "gui/settings/COptionPage.h"

class QButtonGroup;
class QCheckBox;

// The options page: six switches of the program's behaviour and the transfer mode at start-up.
class CPropPageOpt : public COptionPage {
    Q_OBJECT
public:
    explicit CPropPageOpt(QWidget* parent = nullptr);

    bool OnApply() override;

protected:
    void Load() override;

private:
    QCheckBox* m_treeexpand;
    QCheckBox* m_savewinsize;
    QCheckBox* m_deltmp;
    QCheckBox* m_opendownfolder;
    QCheckBox* m_chkdownow;
    QCheckBox* m_chkupow;
    QCheckBox* m_chkdelete;
    QButtonGroup* m_mode;
};
