#include "engine/ConnectFailure.h"

#include "platform/SocketError.h"

std::string ConnectFailureReason(int socketError) {
    switch (socketError) {
    case SocketError::ConnectionRefused:
        return "接続を拒否されました";
    case SocketError::TimedOut:
        return "応答がありません";
    case SocketError::HostNotFound:
        return "ホストが見つかりません";
    case SocketError::TryAgain:
    case SocketError::NoRecovery:
        return "ホスト名を調べられません";
    case SocketError::NetworkDown:
    case SocketError::NetworkUnreachable:
        return "ネットワークに到達できません";
    case SocketError::HostUnreachable:
        return "ホストに到達できません";
    case SocketError::AddressNotAvailable:
        return "このアドレスには接続できません";
    case SocketError::ConnectionReset:
    case SocketError::ConnectionAborted:
        return "接続が切断されました";
    case SocketError::AccessDenied:
        return "アクセスが拒否されました";
    default:
        return "エラー番号 " + std::to_string(socketError);
    }
}

std::string ConnectFailureLine(int socketError) {
    return "接続エラーです（" + ConnectFailureReason(socketError) + "）\r\n";
}
