#pragma once

#include <QDialog>

class QLabel;

// A yes/no question with a title, a picture and a text: the delete confirmation. Ends with 1 (yes)
// or 2 (no, Escape, close box).
class CMessageDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMessageDlg(QWidget* parent = nullptr);

    // Sets up the question for deleting the selected files and folders; the names are the last
    // selected of each.
    void SetDeleteQuestion(int files, int folders, const QString& lastFileName,
                           const QString& lastFolderName);

    QString m_title;
    int m_kind = 0;
    QString m_message;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_icon;
    QLabel* m_text;
};
