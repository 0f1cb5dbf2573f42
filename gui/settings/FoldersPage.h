#pragma once

#include "gui/settings/CHostPage.h"

class QLineEdit;
class QPlainTextEdit;

// The folders page: the current host's upload and download folders, the name of its index file and
// the names its mirror pairs leave alone until a pair has a list of its own.
// First designed as CPropPageFileopr.
class FoldersPage : public CHostPage {
    Q_OBJECT
public:
    explicit FoldersPage(HostListEditor& editor, QWidget* parent = nullptr);

protected:
    void LoadFields(const HostRecord& host) override;
    bool StoreFields(HostRecord& host) override;

private:
    void OnBrowse(QLineEdit* edit);

    QLineEdit* m_upload;
    QLineEdit* m_download;
    QLineEdit* m_remote;
    QLineEdit* m_index;
    QPlainTextEdit* m_mirrorExcludes;
};
