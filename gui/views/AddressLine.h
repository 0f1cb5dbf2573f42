#pragma once

#include <QLineEdit>

// The line above the file list: it shows the remote folder the session is in and takes a typed
// folder or a whole ftp:// address. What was typed goes out on Enter; Escape or leaving the line
// without Enter brings back the folder shown.
class AddressLine : public QLineEdit {
    Q_OBJECT
public:
    explicit AddressLine(QWidget* parent = nullptr);

    // The folder to show; it replaces what the user is typing only when the line is not in use.
    void ShowPath(const QString& path);
    QString ShownPath() const { return m_shown; }
    // Drops what was typed and shows the folder again.
    void Revert();

signals:
    void AddressEntered(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString m_shown;
};
