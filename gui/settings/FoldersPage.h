#pragma once

#include "gui/settings/CHostPage.h"

class QLineEdit;

// The folders page: the current host's upload and download folders and the name of its index file.
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
};
