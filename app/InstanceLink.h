#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One window per user and settings store: a lumo started with an ftp:// address while another runs
// on the same store hands the address over and ends, and the running one opens it. They meet at a
// local socket in the user's runtime folder, named after the store so that a demo or test store
// has its own.
QString InstanceSocketPath();

// True when a running lumo took the address; false when none listens or it did not answer in time.
bool HandToRunningInstance(const QString& address, int timeoutMs = 3000);

// The running side: listens at InstanceSocketPath() and reports each address handed to it.
class InstanceServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(QObject* parent = nullptr);

    // False when another lumo listens there already. A socket left behind by a lumo that ended
    // without removing it is taken over.
    bool Listen();

signals:
    void AddressReceived(const QString& address);

private:
    void OnNewConnection();

    QLocalServer m_server;
};
