#include "platform/NameLookup.h"

#include "platform/SocketError.h"

#include <QHostAddress>
#include <QHostInfo>

#include <arpa/inet.h>

CNameLookup::~CNameLookup() {
    if (m_running != -1)
        QHostInfo::abortHostLookup(m_running);
}

int CNameLookup::Start(const std::string& hostName) {
    if (m_running != -1)
        QHostInfo::abortHostLookup(m_running);
    m_running = QHostInfo::lookupHost(QString::fromStdString(hostName), this, [this](const QHostInfo& info) {
        int error = SocketError::None;
        quint32 address = 0;
        if (info.error() == QHostInfo::HostNotFound)
            error = SocketError::HostNotFound;
        else if (info.error() != QHostInfo::NoError)
            error = SocketError::NoRecovery;
        if (error == SocketError::None) {
            error = SocketError::HostNotFound;
            for (const QHostAddress& a : info.addresses()) {
                if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                    address = htonl(a.toIPv4Address());
                    error = SocketError::None;
                    break;
                }
            }
        }
        OnResult(info.lookupId(), error, address);
    });
    return m_running;
}

void CNameLookup::Abort(int id) {
    QHostInfo::abortHostLookup(id);
    if (id == m_running)
        m_running = -1;
}

void CNameLookup::OnResult(int id, int error, quint32 address) {
    if (id != m_running)
        return;
    m_running = -1;
    emit Finished(id, error, address);
}
