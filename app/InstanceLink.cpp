#include "app/InstanceLink.h"

#include "platform/RegistryStore.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

// An address is one line; anything longer than this is not one.
constexpr qint64 kMaxLine = 64 * 1024;
const QByteArray kTaken = "taken\n";

} // namespace

QString InstanceSocketPath() {
    const QString store = QFileInfo(RegistryStore::global().filePath()).absoluteFilePath();
    const QByteArray tag =
        QCryptographicHash::hash(store.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/lumo-") +
           QString::fromLatin1(tag);
}

bool HandToRunningInstance(const QString& address, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(InstanceSocketPath());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(address.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    while (answer.size() < kTaken.size() && socket.waitForReadyRead(timeoutMs))
        answer += socket.readAll();
    return answer == kTaken;
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent) {
    // The address may carry a password: only this user may connect.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &InstanceServer::OnNewConnection);
}

bool InstanceServer::Listen() {
    const QString path = InstanceSocketPath();
    // Listening with access options puts the socket in place by renaming, which would take the name
    // from a lumo that listens there: ask first.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(1000))
        return false;
    // A socket file nobody answers at is left over from a lumo that ended without removing it.
    QLocalServer::removeServer(path);
    return m_server.listen(path);
}

void InstanceServer::OnNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxLine)
                    socket->abort();
                return;
            }
            const QString address = QString::fromUtf8(socket->readLine(kMaxLine)).trimmed();
            socket->write(kTaken);
            socket->disconnectFromServer();
            emit AddressReceived(address);
        });
    }
}
