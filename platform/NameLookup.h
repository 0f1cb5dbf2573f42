#pragma once

#include "platform/NetAddress.h"

#include <QObject>

#include <cstdint>
#include <string>

// Asynchronous host name lookup. Each lookup ends with exactly one Finished(): the first IPv4
// address in network byte order (0 when the name has IPv6 addresses only) and error 0, or no
// address and a Windows Sockets error number. Address() then tells the address to connect to, of
// either family: IPv4 when the name has one, else its first IPv6 address.
class CNameLookup : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~CNameLookup() override;

    // Starts a lookup and returns its id.
    int Start(const std::string& hostName);
    // Drops a running lookup: its Finished() never comes.
    void Abort(int id);
    // The address of the last lookup that finished; none after a failure.
    const NetAddress& Address() const { return m_address; }

signals:
    void Finished(int id, int error, quint32 addressNetOrder);

private:
    void OnResult(int id, int error, quint32 address, const NetAddress& found);
    int m_running = -1;
    NetAddress m_address;
};
