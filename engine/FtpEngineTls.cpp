#include "engine/FtpEngine.h"

#include "engine/DataChains.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

using namespace SocketEvent;

namespace {
bool IsPositive(int code) {
    return code >= 200 && code < 300;
}
} // namespace

std::string CFtpEngine::TlsHostName() const {
    const std::string& adr = m_host.Adr;
    if (adr.size() > 2 && adr.front() == '[' && adr.back() == ']')
        return adr.substr(1, adr.size() - 2);
    return adr;
}

void CFtpEngine::StartControlTls(SocketId s) {
    // While the handshake runs only its end and a close count; a server that stops answering in
    // the middle of it is timed like any reply.
    m_events.Select(s, WM_FTP_TLS, Close);
    if (!m_events.StartTls(s, TlsParams{TlsHostName(), m_tlsSessions})) {
        EndSession();
        LogFailure("TLS を開始できませんでした。\r\n");
        return;
    }
    StartReplyTimer();
}

void CFtpEngine::OnFtpAuth(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_AUTH, EventKind(word) == Write ? "AUTH TLS" : ""))
        return;
    if (m_reply.Code() == 234) {
        StartControlTls(s);
        return;
    }
    if (m_host.Security == HostSecurity::ExplicitIfOffered) {
        // The host asked for TLS only where the server offers it: its refusal is no failure.
        m_ui.RefusalHandled();
        m_ui.AppendLog("サーバーが TLS に対応していないため、暗号化せずにログインします。\r\n");
        Arm(s, WM_FTP_USER, Write | Close);
        return;
    }
    EndSession();
    LogFailure("サーバーが TLS を受け付けないため、切断しました。\r\n");
}

void CFtpEngine::OnFtpTls(SocketId s, std::uint32_t word) {
    switch (EventKind(word)) {
    case SocketEvent::Tls: {
        // The user may take a while over the certificate: no time-out runs for that.
        m_replyTimer.stop();
        const CTlsStream* tls = m_events.Tls(s);
        if (EventError(word) != 0 || !tls) {
            const std::string why = tls ? tls->FailureText() : std::string();
            EndSession();
            LogFailure("TLS の接続に失敗しました。" + (why.empty() ? std::string() : " (" + why + ")") +
                       "\r\n");
            return;
        }
        const TlsPeerInfo peer = tls->PeerInfo();
        m_ui.AppendLog("TLS で暗号化しました (" + peer.protocol + ", " + peer.cipher + ")\r\n");
        if (!AcceptCertificate(s, peer))
            return;
        m_ctrlTls = true;
        m_ctrlCertificate = peer.sha256Hex;
        if (m_host.Security == HostSecurity::Implicit) {
            Arm(s, WM_FTP_CONNECT, Read | Close);
            StartReplyTimer();
        } else
            Arm(s, WM_FTP_USER, Write | Close);
        break;
    }
    case Close:
        CloseSessionLost();
        break;
    default:
        break;
    }
}

bool CFtpEngine::AcceptCertificate(SocketId s, const TlsPeerInfo& peer) {
    const CertificateStanding standing = JudgeCertificate(peer, m_host.TlsPin);
    if (standing == CertificateStanding::Trusted || standing == CertificateStanding::Pinned)
        return true;
    m_ui.AppendLog(std::string(standing == CertificateStanding::Changed
                                   ? "サーバーの証明書が以前に受け入れたものと違います。"
                                   : "サーバーの証明書を検証できませんでした。") +
                   CertificateProblemText(peer) + "\r\n");
    // While the question is open, a server that gives up is still noticed.
    m_events.Select(s, WM_FTP_TLS, Close);
    const CertificateAnswer answer = m_ui.AskCertificate(m_host, peer, standing);
    if (!(m_ctrlSocket == s))
        return false;
    if (answer == CertificateAnswer::Refuse) {
        EndSession();
        LogFailure("証明書を受け入れなかったため、切断しました。\r\n");
        return false;
    }
    if (answer == CertificateAnswer::AcceptAlways)
        RememberCertificate(peer.sha256Hex);
    return true;
}

void CFtpEngine::RememberCertificate(const std::string& sha256) {
    m_host.TlsPin = sha256;
    if (m_hostNumber < 0)
        return;
    SettingsKey key;
    if (key.OpenKey(KeyFamily::Host, HostKeyName(m_hostNumber)))
        key.WriteString(SettingName::TlsPin, sha256);
}

void CFtpEngine::AfterLogin(SocketId s) {
    if (m_ctrlTls)
        Arm(s, WM_FTP_PBSZ, Write | Close);
    else
        LoginSucceeded();
}

void CFtpEngine::OnFtpPbsz(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_PBSZ, EventKind(word) == Write ? "PBSZ 0" : ""))
        return;
    if (IsPositive(m_reply.Code())) {
        Arm(s, WM_FTP_PROT, Write | Close);
        return;
    }
    EndSession();
    LogFailure("サーバーがデータ接続の保護を受け付けないため、切断しました。\r\n");
}

void CFtpEngine::OnFtpProt(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_PROT, EventKind(word) == Write ? "PROT P" : ""))
        return;
    if (IsPositive(m_reply.Code())) {
        m_protP = true;
        LoginSucceeded();
        return;
    }
    // Files would go in clear while the user asked for encryption.
    EndSession();
    LogFailure("サーバーがデータ接続の保護を受け付けないため、切断しました。\r\n");
}

bool CFtpEngine::DataMayFlow(const DataChain& chain, DataConn& conn) {
    if (!m_protP || conn.tls == DataConn::Tls::Done)
        return true;
    // The handshake waits for the transfer command: a server may close a data connection on
    // which something arrives before it knows what the connection is for.
    if (conn.tls == DataConn::Tls::None && conn.sock.valid() && conn.commandSent) {
        conn.tls = DataConn::Tls::Handshake;
        m_events.Select(conn.sock.id(), chain.data, Close);
        if (!m_events.StartTls(conn.sock.id(), TlsParams{TlsHostName(), m_tlsSessions}))
            FailDataSide(chain, conn, "データ接続の TLS を開始できませんでした。\r\n");
    }
    return false;
}

void CFtpEngine::DataTlsDone(const DataChain& chain, DataConn& conn, std::uint32_t word) {
    const CTlsStream* tls = m_events.Tls(conn.sock.id());
    if (EventError(word) != 0 || !tls) {
        const std::string why = tls ? tls->FailureText() : std::string();
        FailDataSide(chain, conn,
                     "データ接続の TLS に失敗しました。" + (why.empty() ? std::string() : " (" + why + ")") +
                         "\r\n");
        return;
    }
    // Whoever answers the data connection must hold the certificate the control connection showed.
    if (tls->PeerInfo().sha256Hex != m_ctrlCertificate) {
        FailDataSide(chain, conn, "データ接続の証明書が制御接続の証明書と違います。\r\n");
        return;
    }
    conn.tls = DataConn::Tls::Done;
    ArmDataFlow(chain, conn);
}

void CFtpEngine::ArmDataFlow(const DataChain& chain, DataConn& conn) {
    if (!chain.IsUpload())
        Arm(conn.sock.id(), chain.data, Read | Close);
    else if (conn.commandSent)
        Arm(conn.sock.id(), chain.data, Write);
}

bool CFtpEngine::ControlIsV6(SocketId ctrl) {
    NetAddress peer;
    std::uint16_t unused = 0;
    return PeerAddress(ctrl, peer, unused) && peer.isV6();
}

bool CFtpEngine::UseExtendedDataCommand(SocketId ctrl, bool passive) const {
    // PASV and PORT carry IPv4 addresses only.
    if (ControlIsV6(ctrl))
        return true;
    return !m_extendedRefused && m_features.Has(passive ? "EPSV" : "EPRT");
}

std::string CFtpEngine::MakeExtendedPortCommand(SocketId ctrl, Socket& listening) {
    NetAddress local;
    std::uint16_t unused = 0;
    if (!LocalAddress(ctrl, local, unused))
        return {};
    listening = ListenTcp(local, 0, 1);
    NetAddress bound;
    std::uint16_t port = 0;
    if (!listening.valid() || !LocalAddress(listening.id(), bound, port)) {
        listening.close();
        return {};
    }
    return ::MakeEprtCommand(local, port);
}

bool CFtpEngine::ConnectDataToPeer(const DataChain& chain, SocketId ctrl, DataConn& conn, int port) {
    NetAddress server;
    std::uint16_t unused = 0;
    if (port <= 0 || port > 65535 || !PeerAddress(ctrl, server, unused))
        return false;
    conn.waiting = Socket::CreateTcp(server.family);
    Arm(conn.waiting.id(), chain.data, SocketEvent::Connect);
    m_events.Connect(conn.waiting.id(), server, static_cast<std::uint16_t>(port));
    return true;
}
