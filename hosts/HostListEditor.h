#pragma once

#include "hosts/HostRecord.h"

#include <string>
#include <vector>

// The host settings sheet's own copy of the registered hosts and the host its pages show. It holds
// the sheet's rules for adding and removing hosts; the pages only show it. Nothing reaches the store
// from here.
class HostListEditor {
public:
    // hosts: as stored, Host0 first. topHostIndex: the host on top of the host tree (-1 when the tree
    // shows none); it becomes the current host. An empty list starts with the default new host.
    HostListEditor(HostList hosts, int topHostIndex);

    const HostList& Hosts() const { return m_hosts; }
    int Count() const { return static_cast<int>(m_hosts.size()); }
    // The stored number each host was loaded from, -1 for a host added here.
    const std::vector<int>& Origins() const { return m_origins; }

    int Current() const { return m_current; }
    // The current host's record; null while no host is current.
    HostRecord* CurrentRecord();
    // Makes another host current; an index outside the list leaves no host current.
    void SetCurrent(int index);

    // Appends a host named by NewHostName with port 21 and nothing else filled in, and makes it
    // current. Returns its index.
    int AddNewHost();
    // Removes a host; later hosts move up by one. The host now at its place becomes current, or the
    // one before it when the last was removed. The list never stays empty: removing the only host
    // adds a new one.
    void Remove(int index);

    // The list has been stored as Host0, Host1, ...: each host now comes from its own position.
    void Saved();

    // "新しいホスト(n)" with the smallest n from 1 that no host's name equals byte for byte.
    static std::string NewHostName(const HostList& hosts);
    // The record a host added here starts from: its name, port 21 and nothing else filled in.
    static HostRecord NewHost(const std::string& name);

private:
    HostList m_hosts;
    std::vector<int> m_origins;
    int m_current = 0;
};
