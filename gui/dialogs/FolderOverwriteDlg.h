#pragma once

#include <QDialog>

class QLabel;

// A folder of the same name exists where a folder download would go. Ends with 1 (yes), 3 (yes to
// this and all later folders), 5 (no) or 2 (stop).
class CFolderOverwriteDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFolderOverwriteDlg(QWidget* parent = nullptr);

    void Prepare(const QString& localFolderPath);

    QString m_headline;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_headlineLabel;
};
