#pragma once

#include "gui/settings/CHostPage.h"
#include "settings/FirewallSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

// The firewall page: whether the current host goes through the firewall and uses passive mode, and
// the firewall itself with the mail address, which are common to all hosts.
class CPropPageProxy : public CHostPage {
    Q_OBJECT
public:
    explicit CPropPageProxy(HostListEditor& editor, QWidget* parent = nullptr);

    void OnSetActive() override;
    // Writes the firewall and the mail address.
    bool OnApply() override;

protected:
    void LoadFields(const HostRecord& host) override;
    bool StoreFields(HostRecord& host) override;

private:
    // The firewall values as the controls show them; nothing when one is refused.
    std::optional<FirewallSettings> ReadFirewall();
    void UpdateEnabling();

    FirewallSettings m_stored;
    bool m_loaded = false;
    QCheckBox* m_useFirewall;
    QCheckBox* m_passive;
    QComboBox* m_scheme;
    QLineEdit* m_address;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_port;
    QLineEdit* m_mail;
};
