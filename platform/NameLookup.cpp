#include "platform/NameLookup.h"

#include "platform/SocketError.h"

#include <QHostAddress>
#include <QHostInfo>

#include <arpa/inet.h>
#include <net/if.h>

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
        NetAddress found;
        if (info.error() == QHostInfo::HostNotFound)
            error = SocketError::HostNotFound;
        else if (info.error() != QHostInfo::NoError)
            error = SocketError::NoRecovery;
        if (error == SocketError::None) {
            error = SocketError::HostNotFound;
            for (const QHostAddress& a : info.addresses()) {
                if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                    address = htonl(a.toIPv4Address());
                    found = NetAddress::FromV4(address);
                    error = SocketError::None;
                    break;
                }
            }
            for (const QHostAddress& a : info.addresses()) {
                if (error == SocketError::None)
                    break;
                if (a.protocol() == QAbstractSocket::IPv6Protocol) {
                    const Q_IPV6ADDR v6 = a.toIPv6Address();
                    found.family = NetAddress::Family::V6;
                    for (int i = 0; i < 16; ++i)
                        found.bytes[static_cast<std::size_t>(i)] = v6[i];
                    found.scopeId =
                        a.scopeId().isEmpty() ? 0 : if_nametoindex(a.scopeId().toUtf8().constData());
                    error = SocketError::None;
                }
            }
        }
        OnResult(info.lookupId(), error, address, found);
    });
    return m_running;
}

void CNameLookup::Abort(int id) {
    QHostInfo::abortHostLookup(id);
    if (id == m_running)
        m_running = -1;
}

void CNameLookup::OnResult(int id, int error, quint32 address, const NetAddress& found) {
    if (id != m_running)
        return;
    m_running = -1;
    m_address = found;
    emit Finished(id, error, address);
}
