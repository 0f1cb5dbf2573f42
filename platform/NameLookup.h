#pragma once

#include <QObject>

#include <cstdint>
#include <string>

// Asynchronous host name lookup. Each lookup ends with exactly one Finished(): the first IPv4
// address in network byte order and error 0, or no address and a Windows Sockets error number.
class CNameLookup : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~CNameLookup() override;

    // Starts a lookup and returns its id.
    int Start(const std::string& hostName);
    // Drops a running lookup: its Finished() never comes.
    void Abort(int id);

signals:
    void Finished(int id, int error, quint32 addressNetOrder);

private:
    void OnResult(int id, int error, quint32 address);
    int m_running = -1;
};
