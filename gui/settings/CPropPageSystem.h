#pragma once

#include "gui/settings/COptionPage.h"
#include "settings/SystemSettings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;

// The system page: the reply time-out, the upload block size, how many sessions transfer a run of
// many files (kept in the option key) and the temporary folder. Accepting it stores them; the sheet
// then hands the time-out and block size to the running session.
class CPropPageSystem : public COptionPage {
    Q_OBJECT
public:
    static constexpr int kPathMax = 256;
    static constexpr std::uint32_t kTimeoutMax = 999;

    explicit CPropPageSystem(QWidget* parent = nullptr);

    bool OnKillActive() override;
    bool OnApply() override;

protected:
    void Load() override;

private:
    // The controls' values; false, having told the user why, when one is refused.
    bool ReadControls(SystemPageSettings& s);
    void OnUnTimeout();
    void OnSendBufMoved(int kb);
    void OnSysTemp();
    void OnBrowse();
    // The system's folder, or the text saying that there is none.
    static QString SystemFolderText();

    SystemPageSettings m_stored;
    QLineEdit* m_timeout;
    QCheckBox* m_untimeout;
    QSlider* m_sendbuf;
    QLabel* m_sendbufSize;
    QSpinBox* m_sessions;
    QLineEdit* m_temp;
    QCheckBox* m_systemp;
};
