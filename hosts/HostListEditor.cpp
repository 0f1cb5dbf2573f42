#include "hosts/HostListEditor.h"

#include "hosts/QXDoc.h"

#include <algorithm>

HostListEditor::HostListEditor(HostList hosts, int topHostIndex) : m_hosts(std::move(hosts)) {
    for (int i = 0; i < Count(); ++i)
        m_origins.push_back(i);
    if (m_hosts.empty()) {
        m_hosts.push_back(CQXDoc::DefaultNewHost());
        m_origins.push_back(-1);
    }
    // The tree shows hosts of this same list, so its top host is in it; anything else starts on the
    // first host rather than on none.
    m_current = topHostIndex >= 0 && topHostIndex < Count() ? topHostIndex : 0;
}

HostRecord* HostListEditor::CurrentRecord() {
    return m_current >= 0 && m_current < Count() ? &m_hosts[static_cast<size_t>(m_current)] : nullptr;
}

void HostListEditor::SetCurrent(int index) {
    m_current = index >= 0 && index < Count() ? index : -1;
}

void HostListEditor::Saved() {
    for (int i = 0; i < Count(); ++i)
        m_origins[static_cast<size_t>(i)] = i;
}

std::string HostListEditor::NewHostName(const HostList& hosts) {
    for (int n = 1;; ++n) {
        const std::string name = "新しいホスト(" + std::to_string(n) + ")";
        if (std::none_of(hosts.begin(), hosts.end(), [&](const HostRecord& h) { return h.Name == name; }))
            return name;
    }
}

HostRecord HostListEditor::NewHost(const std::string& name) {
    HostRecord host;
    host.Name = name;
    host.Indexhtml.clear();
    // Passive, as for the first host: active mode fails behind almost every home router.
    host.Pasv = 1;
    return host;
}

int HostListEditor::AddNewHost() {
    m_hosts.push_back(NewHost(NewHostName(m_hosts)));
    m_origins.push_back(-1);
    m_current = Count() - 1;
    return m_current;
}

void HostListEditor::Remove(int index) {
    if (index < 0 || index >= Count())
        return;
    m_hosts.erase(m_hosts.begin() + index);
    m_origins.erase(m_origins.begin() + index);
    if (m_hosts.empty()) {
        AddNewHost();
        return;
    }
    m_current = std::min(index, Count() - 1);
}
