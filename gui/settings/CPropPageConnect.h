#pragma once

#include "gui/settings/CHostPage.h"
#include "gui/settings/CharsetRow.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;

// The connection page: the current host's name, address, port, account, the character set of its
// names and how many sessions transfer its files, and the buttons that add and remove hosts.
class CPropPageConnect : public CHostPage {
    Q_OBJECT
public:
    explicit CPropPageConnect(HostListEditor& editor, QWidget* parent = nullptr);

protected:
    void LoadFields(const HostRecord& host) override;
    bool StoreFields(HostRecord& host) override;

private:
    void OnAnonymous();
    void OnNewHost();
    void OnDeleteHost();

    QLineEdit* m_name;
    QLineEdit* m_address;
    QCheckBox* m_hide;
    QLineEdit* m_port;
    QComboBox* m_security;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QCheckBox* m_anonymous;
    std::unique_ptr<CharsetRow> m_charset;
    QComboBox* m_sessions;
    QComboBox* m_serverZone;
};
