#pragma once

#include <cstdint>
#include <string>

// The firewall that every host may connect through, and the mail address used as the password of
// anonymous logins: the values kept in the Host key itself, beside the host keys.
struct FirewallSettings {
    std::uint32_t FireType = 0;
    std::string FireAdr;
    std::string FireUser;
    std::string FirePass;
    std::uint32_t FirePort = 0;
    std::string MailAdr;

    static FirewallSettings Load();
    // Creates the Host key when it is missing.
    void Save() const;

    bool operator==(const FirewallSettings&) const = default;
};

// The login schemes in list order; the position is the stored FireType.
inline constexpr int kFirewallSchemeCount = 6;
extern const char* const kFirewallSchemes[kFirewallSchemeCount];
// The scheme a stored FireType stands for: the session treats every value above 5 as scheme 5.
int FirewallSchemeShown(std::uint32_t fireType);
// How the session names the host to the firewall, by the positions of kFirewallSchemes: the
// account at the host in USER, OPEN, open, or one of these after logging in to the firewall.
enum class FirewallScheme {
    UserAtHost = 0,
    Open = 1,
    OpenLowercase = 2,
    AccountThenOpen = 3,
    AccountThenUserAtHost = 4,
    AccountThenSite = 5
};
inline FirewallScheme FirewallSchemeOf(std::uint32_t fireType) {
    return static_cast<FirewallScheme>(FirewallSchemeShown(fireType));
}
// Schemes 3 to 5 log in to the firewall with its own account first.
bool SchemeUsesFirewallAccount(int scheme);

// Which firewall controls can be used: the scheme, address and port only while the host uses the
// firewall; the firewall's account only while the scheme also logs in to the firewall.
struct FirewallEnabling {
    bool scheme = false;
    bool address = false;
    bool port = false;
    bool account = false;
};
FirewallEnabling FirewallEnablingFor(bool hostUsesFirewall, int scheme);

// The stored mail address (the anonymous password); "" when none is stored.
std::string ReadMailAddress();
