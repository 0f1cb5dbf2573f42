#pragma once

#include "dialogs/AttributeRules.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLineEdit;

// Edits Unix permissions as nine check boxes kept in step with a three-digit octal number, and the
// command that sends them, which is remembered per host. Ends with 1 (変更) or 2 (cancel).
class CAttributesDlg : public QDialog {
    Q_OBJECT
public:
    // hostNumber: the host whose command text is read and stored (below 0: none).
    explicit CAttributesDlg(int hostNumber, QWidget* parent = nullptr);

    // Seeds the check boxes and the number from the flags.
    void SetPermissions(const PermissionFlags& flags);

    PermissionFlags m_flags{};
    QString m_number;
    QString m_command;

public slots:
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ReadControls();
    void WriteControls();
    void OnPermissionClicked();
    void OnNumberEdited();
    void OnDefaultCommand();

    int m_hostNumber;
    std::array<QCheckBox*, 9> m_boxes{};
    QLineEdit* m_commandEdit;
    QLineEdit* m_numberEdit;
};
