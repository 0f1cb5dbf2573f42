#pragma once

#include "hosts/HostRecord.h"

#include <QObject>

#include <utility>
#include <vector>

// The gateway through which every part of the program reads and writes the registered hosts.
// It holds no data of its own: each call goes to the settings store.
class CQXDoc : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // 1 and the record filled when the host's key exists; 0 and the record untouched otherwise.
    int LoadHost(int number, HostRecord& record) const;
    // Always 1; when the key cannot be created nothing is written.
    int SaveHost(int number, const HostRecord& record) const;

    // Host0, Host1, ... up to the first missing number.
    HostList LoadAllHosts() const;
    // Deletes Host0, Host1, ... until a deletion fails, then stores the list as Host0..Host(n-1), all
    // in one write of the store, so that no crash and no other running copy can see some hosts gone.
    // origins[i], when given, is the number entry i was loaded from (-1 for a new host): the host's
    // permission command moves with it. False, with nothing written, when the store cannot be locked.
    bool SaveAllHosts(const HostList& hosts, const std::vector<int>& origins = {});
    // Numbers the stored hosts anew, `hosts` being them as loaded (entry i from Host i): row r of
    // the order list becomes Host r. Rows that name no entry, or one named before, are skipped;
    // entries no row names follow in their order. Each host keeps what it has beside its record
    // (its permission command), and it all reaches the store in one write, as SaveAllHosts does.
    bool ReorderHosts(const HostList& hosts, const std::vector<int>& order);

    // The record the host settings sheet starts from when no host is stored.
    static HostRecord DefaultNewHost();

signals:
    // The stored hosts changed as a whole; the host tree rebuilds itself.
    void HostsChanged();
};
