#include "hosts/QXDoc.h"

#include "settings/PasswordVault.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "settings/StoredLines.h"
#include "settings/TransferSessions.h"

#include <cstdint>

std::string HostKeyName(int number) {
    return "Host" + std::to_string(number);
}

int CQXDoc::LoadHost(int number, HostRecord& record) const {
    SettingsKey key;
    std::string keyName = HostKeyName(number);
    if (!key.OpenKey(KeyFamily::Host, keyName))
        return 0;
    namespace N = SettingName;
    auto dword = [&](const char* name, int def) {
        return static_cast<int>(key.ReadDword(name, static_cast<std::uint32_t>(def)));
    };
    HostRecord r;
    r.Name = key.ReadString(N::Name, keyName);
    r.Adr = key.ReadString(N::Adr, "");
    r.User = key.ReadString(N::User, "");
    r.Pass = key.ReadScrambled(N::Pass);
    r.Hide = dword(N::Hide, 0);
    r.Pasv = dword(N::Pasv, 0);
    r.Port = dword(N::Port, 21);
    r.anonymous = dword(N::Anonymous, 0);
    r.DownPath = key.ReadString(N::DownPath, "");
    r.UpPath = key.ReadString(N::UpPath, "");
    r.RemotePath = key.ReadString(N::RemotePath, "");
    r.Indexhtml = key.ReadString(N::Indexhtml, "index.html");
    r.Firewall = dword(N::Firewall, 0);
    r.icon = dword(N::Icon, 0);
    r.charset = dword(N::Charset, 0);
    r.Security = dword(N::Security, HostSecurity::None);
    if (r.Security < HostSecurity::None || r.Security > HostSecurity::Implicit)
        r.Security = HostSecurity::None;
    r.TlsPin = key.ReadString(N::TlsPin, "");
    r.Sessions = dword(N::Sessions, 0);
    if (r.Sessions < 0 || r.Sessions > TransferSessions::Max)
        r.Sessions = 0;
    r.ServerZone = key.ReadString(N::ServerZone, "");
    r.MirrorExcludes = ReadLines(key, N::MirrorExcludes, N::MirrorExclude);
    record = std::move(r);
    return 1;
}

int CQXDoc::SaveHost(int number, const HostRecord& r) const {
    SettingsBatch batch;
    SettingsKey key;
    if (!key.CreateKey(KeyFamily::Host, HostKeyName(number)))
        return 1;
    namespace N = SettingName;
    auto dword = [&](const char* name, int v) { key.WriteDword(name, static_cast<std::uint32_t>(v)); };
    key.WriteString(N::Name, r.Name);
    key.WriteString(N::Adr, r.Adr);
    key.WriteString(N::User, r.User);
    key.WriteScrambled(N::Pass, r.Pass);
    dword(N::Hide, r.Hide);
    dword(N::Pasv, r.Pasv);
    dword(N::Port, r.Port);
    dword(N::Anonymous, r.anonymous);
    key.WriteString(N::DownPath, r.DownPath);
    key.WriteString(N::UpPath, r.UpPath);
    key.WriteString(N::RemotePath, r.RemotePath);
    key.WriteString(N::Indexhtml, r.Indexhtml);
    dword(N::Firewall, r.Firewall);
    dword(N::Icon, r.icon);
    dword(N::Charset, r.charset);
    dword(N::Security, r.Security);
    key.WriteString(N::TlsPin, r.TlsPin);
    dword(N::Sessions, r.Sessions);
    key.WriteString(N::ServerZone, r.ServerZone);
    WriteLines(key, N::MirrorExcludes, N::MirrorExclude, r.MirrorExcludes);
    return 1;
}

HostList CQXDoc::LoadAllHosts() const {
    HostList hosts;
    for (int n = 0;; ++n) {
        HostRecord r;
        if (!LoadHost(n, r))
            break;
        hosts.push_back(std::move(r));
    }
    return hosts;
}

bool CQXDoc::SaveAllHosts(const HostList& hosts, const std::vector<int>& origins) {
    {
        SettingsBatch batch;
        if (!batch.IsHeld())
            return false;
        // An empty command reads as the standard one, so only a set command needs carrying.
        std::vector<std::string> commands(hosts.size());
        // A password the keyring holds (the store's value empty and marked) stays there while the
        // account it is filed under stays the same.
        std::vector<bool> inKeyring(hosts.size(), false);
        const std::string marker = CPasswordVault::MarkerName(SettingName::Pass);
        for (size_t i = 0; i < hosts.size() && i < origins.size(); ++i) {
            SettingsKey key;
            if (origins[i] < 0 || !key.OpenKey(KeyFamily::Host, HostKeyName(origins[i])))
                continue;
            commands[i] = key.ReadString(SettingName::Chmod, "");
            HostRecord before;
            inKeyring[i] = hosts[i].Pass.empty() && key.ReadDword(marker.c_str(), 0) == 1 &&
                           LoadHost(origins[i], before) && before.User == hosts[i].User &&
                           before.Adr == hosts[i].Adr && before.Port == hosts[i].Port;
        }
        SettingsKey hostKey;
        if (hostKey.OpenKey(KeyFamily::Host, "")) {
            for (int n = 0; hostKey.DeleteSubkey(HostKeyName(n)); ++n) {
            }
        }
        hostKey.Close();
        for (size_t i = 0; i < hosts.size(); ++i) {
            const int number = static_cast<int>(i);
            SaveHost(number, hosts[i]);
            SettingsKey key;
            if (!key.OpenKey(KeyFamily::Host, HostKeyName(number)))
                continue;
            if (!commands[i].empty())
                key.WriteString(SettingName::Chmod, commands[i]);
            if (inKeyring[i])
                key.WriteDword(marker.c_str(), 1);
        }
    }
    emit HostsChanged();
    return true;
}

bool CQXDoc::ReorderHosts(const HostList& hosts, const std::vector<int>& order) {
    HostList reordered;
    std::vector<int> origins;
    std::vector<bool> placed(hosts.size(), false);
    auto place = [&](size_t index) {
        reordered.push_back(hosts[index]);
        origins.push_back(static_cast<int>(index));
        placed[index] = true;
    };
    for (int index : order) {
        if (index >= 0 && static_cast<size_t>(index) < hosts.size() && !placed[static_cast<size_t>(index)])
            place(static_cast<size_t>(index));
    }
    // A host that no row names is not lost: it keeps its place after the others.
    for (size_t index = 0; index < hosts.size(); ++index) {
        if (!placed[index])
            place(index);
    }
    return SaveAllHosts(reordered, origins);
}

HostRecord CQXDoc::DefaultNewHost() {
    HostRecord r;
    r.Name = "新しいホスト(1)";
    // Active mode fails behind almost every home router; a stored host without the value still
    // reads as active.
    r.Pasv = 1;
    return r;
}
