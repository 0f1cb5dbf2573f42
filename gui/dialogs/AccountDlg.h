#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

// Asks again for the user name and password when a login is refused, and stores them for the host
// when the user asks for it. Ends with 1 (OK) or 2 (cancel).
class CAccountDlg : public QDialog {
    Q_OBJECT
public:
    // hostNumber: the host whose settings receive a saved account (below 0: none).
    explicit CAccountDlg(int hostNumber, QWidget* parent = nullptr);

    QString m_pass;
    QString m_user;
    // Why the account is asked for again: the engine's line, as "ログインできませんでした（パスワード
    // が拒否されました）。".
    QString m_reason;

public slots:
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    int m_hostNumber;
    QLabel* m_reasonLabel;
    QLineEdit* m_userEdit;
    QLineEdit* m_passEdit;
    QCheckBox* m_save;
};
