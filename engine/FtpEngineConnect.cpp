#include "engine/FtpEngine.h"

#include "engine/ConnectFailure.h"
#include "engine/FtpAddress.h"
#include "hosts/QXDoc.h"
#include "platform/SocketError.h"
#include "platform/TextCodec.h"
#include "settings/SettingNames.h"

#include <memory>

using namespace SocketEvent;

namespace {
// Receives in pieces of this size until the socket has nothing more.
constexpr std::size_t kReceivePiece = 999;
} // namespace

int CFtpEngine::Connect(int hostNumber) {
    HostRecord host;
    CQXDoc().LoadHost(hostNumber, host);
    return ConnectStored(host, hostNumber);
}

int CFtpEngine::ConnectStored(const HostRecord& host, int hostNumber) {
    using Outcome = CPasswordVault::Outcome;
    // What ConnectHost said when the store held the passwords and it ran at once; 1 while the
    // keyring is asked.
    auto result = std::make_shared<int>(1);
    // A session ended or begun anew while the keyring thinks makes its answer stale.
    const std::uint64_t serial = ++m_sessionSerial;
    m_vault.LoadStored(KeyFamily::Host, HostKeyName(hostNumber), SettingName::Pass,
                       CPasswordVault::AccountKey(host.User, host.Adr, host.Port),
                       [this, record = HostRecord(host), hostNumber, result,
                        serial](Outcome, const std::string& password) mutable {
                           if (serial != m_sessionSerial)
                               return;
                           record.Pass = password;
                           if (record.Firewall == 0) {
                               m_firePassword.reset();
                               *result = ConnectHost(record, hostNumber);
                               return;
                           }
                           const FirewallSettings firewall = FirewallSettings::Load();
                           m_vault.LoadStored(KeyFamily::Host, "", SettingName::FirePass,
                                              CPasswordVault::AccountKey(firewall.FireUser, firewall.FireAdr,
                                                                         static_cast<int>(firewall.FirePort)),
                                              [this, record, hostNumber, result,
                                               serial](Outcome, const std::string& firePassword) {
                                                  if (serial != m_sessionSerial)
                                                      return;
                                                  m_firePassword = firePassword;
                                                  *result = ConnectHost(record, hostNumber);
                                              });
                       });
    return *result;
}

int CFtpEngine::ConnectAs(const CFtpEngine& first) {
    HostRecord host = first.m_host;
    host.User = first.m_loginUser;
    host.Pass = first.m_loginPass;
    // The certificate the first session went on with, accepted once or for good, is this
    // session's too; another one is asked about as on any login.
    if (!first.m_ctrlCertificate.empty())
        host.TlsPin = first.m_ctrlCertificate;
    if (first.m_host.Firewall != 0)
        m_firePassword = first.m_firewall.FirePass;
    else
        m_firePassword.reset();
    return ConnectHost(host, first.m_hostNumber);
}

int CFtpEngine::ConnectHost(const HostRecord& host, int hostNumber) {
    m_host = host;
    m_hostNumber = hostNumber;
    SetNames(NameCodec(RemoteCharsetOfNumber(m_host.charset)));
    m_ui.AppendLog(m_host.Name + "に接続します\r\n");
    m_busy = 1;
    m_resting = false;
    m_result.clear();
    m_resultIsFailure = false;
    // The login runs before any queued operation: none of the last session's is current.
    m_curOp = 0;
    EndSession();
    m_opQueue.clear();
    m_dataConns.clear();
    m_userAccepted = false;
    if (!m_rearmTimer.isActive())
        m_rearmTimer.start();
    m_loginUser = m_host.User;
    m_loginPass = m_host.Pass;
    if (m_host.Firewall != 0) {
        // Read once: the firewall of a session does not change under it.
        m_firewall = FirewallSettings::Load();
        if (m_firePassword)
            m_firewall.FirePass = *m_firePassword;
        ConnectFirewall();
    } else {
        if (m_host.Adr.empty()) {
            LogFailure("接続アドレスが取得できませんでした。\r\n");
            return 0;
        }
        if (m_host.Security != HostSecurity::None)
            m_tlsSessions = std::make_shared<CTlsSessionCache>();
        // Only a dotted address is used as it stands; a name that begins with a digit ("1box.example")
        // is looked up like any other. An IPv6 address is used as written, with or without brackets.
        const std::optional<NetAddress> v6 = NetAddress::Parse(m_host.Adr);
        if (IsDottedIpv4(m_host.Adr)) {
            m_ctrlSocket = Socket::CreateTcp();
            Arm(m_ctrlSocket.id(), WM_FTP_CONNECT, SocketEvent::Connect | Close);
            ConnectTo(m_ctrlSocket.id(), m_host.Adr, m_host.Port);
        } else if (v6 && v6->isV6()) {
            m_ctrlSocket = Socket::CreateTcp(NetAddress::Family::V6);
            Arm(m_ctrlSocket.id(), WM_FTP_CONNECT, SocketEvent::Connect | Close);
            m_events.Connect(m_ctrlSocket.id(), *v6, static_cast<std::uint16_t>(m_host.Port));
        } else {
            m_ctrlSocket = Socket::CreateTcp();
            m_lookupId = m_lookup.Start(m_host.Adr);
        }
    }
    m_ui.SetConnectedState(true);
    StartReplyTimer();
    return 1;
}

int CFtpEngine::ConnectTo(SocketId s, const std::string& address, int port) {
    if (address.empty())
        return 0;
    m_events.Connect(s, InetAddr(address), static_cast<std::uint16_t>(port));
    return 1;
}

void CFtpEngine::OnFtpHostFound(int lookupId, std::uint32_t word) {
    if (lookupId != m_lookupId)
        return;
    m_lookupId = -1;
    if (EventError(word) != 0) {
        EndSession();
        LogFailure(ConnectFailureLine(EventError(word)));
        return;
    }
    // The socket made for the session is IPv4; a name with IPv6 addresses alone needs the other kind.
    if (m_lookedUpAddress.isV6())
        m_ctrlSocket = Socket::CreateTcp(NetAddress::Family::V6);
    Arm(m_ctrlSocket.id(), WM_FTP_CONNECT, SocketEvent::Connect | Close);
    m_events.Connect(m_ctrlSocket.id(), m_lookedUpAddress, static_cast<std::uint16_t>(m_host.Port));
}

void CFtpEngine::OnFtpConnect(SocketId s, std::uint32_t word) {
    if (EventKind(word) == SocketEvent::Connect) {
        Disarm(s);
        if (EventError(word) == 0) {
            m_ui.AppendLog("接続しました\r\n");
            // Implicit TLS speaks TLS from the first byte: the greeting comes encrypted.
            if (m_host.Security == HostSecurity::Implicit && m_host.Firewall == 0) {
                StartControlTls(s);
            } else {
                Arm(s, WM_FTP_CONNECT, Read | Close);
                StartReplyTimer();
            }
        } else {
            // The session ends first, so that the failure is what the status bar is left with.
            EndSession();
            LogFailure(EventError(word) == SocketError::AccessDenied
                           ? std::string("アクセスが拒否されました\r\n")
                           : ConnectFailureLine(EventError(word)));
        }
        return;
    }
    // The greeting, or a firewall's answer to the command that named the host.
    if (!CommandStep(s, word, WM_FTP_CONNECT, {}) || AwaitReplyProper(s, WM_FTP_CONNECT))
        return;
    if (m_reply.Code() >= 400) {
        EndSession();
        LogFailure("サーバーが接続を受け付けませんでした。\r\n");
        return;
    }
    const bool explicitTls =
        m_host.Security == HostSecurity::Explicit || m_host.Security == HostSecurity::ExplicitIfOffered;
    Arm(s, explicitTls && !m_ctrlTls ? WM_FTP_AUTH : WM_FTP_USER, Write | Close);
}

int CFtpEngine::SendCommand(SocketId s, const std::string& line) {
    StartReplyTimer();
    // A password never reaches the log, the firewall's no more than the host's.
    const bool password = line.rfind("PASS ", 0) == 0;
    m_ui.AppendLog((password ? std::string("PASS") : line) + "\r\n");
    return m_events.Send(s, line + "\r\n") ? 1 : 0;
}

void CFtpEngine::LogFailure(const std::string& text) {
    m_ui.AppendLog(text);
    m_ui.OperationFailed(m_curOp, text);
    NoteResult(text, true);
}

void CFtpEngine::NoteResult(const std::string& line, bool failure) {
    // A failure is what the run came to, however many files went well after it.
    if (m_resultIsFailure && !failure)
        return;
    m_result = line.substr(0, line.find_first_of("\r\n"));
    m_resultIsFailure = failure;
    if (!m_ctrlSocket.valid())
        ShowResult();
}

void CFtpEngine::ShowResult() {
    m_resting = true;
    SetStatusText(m_result);
}

int CFtpEngine::ReadReply(SocketId s) {
    std::string text;
    char buffer[kReceivePiece];
    // One event drains what has arrived, but never more than a reply may hold: a flood of text
    // must not grow without bound before the reply is looked at.
    while (text.size() <= kMaxPendingReply) {
        const long n = m_events.Receive(s, buffer, sizeof buffer);
        if (n < 1)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (m_reply.Feed(text)) {
        m_replyTimer.stop();
        // Shown whole, once it is whole: the log holds replies, not pieces of them.
        m_ui.AppendLog(m_reply.LastReply());
        // A server from before FEAT refuses it, one that has UTF-8 names on anyway may refuse OPTS:
        // nothing asked of the user failed.
        if (m_reply.Code() >= 400 && m_curOp != WM_FTP_FEAT)
            m_ui.ReplyRefused(m_curOp, m_reply.LastLine());
        return 1;
    }
    if (m_reply.PendingSize() > kMaxPendingReply) {
        m_reply.DiscardPending();
        EndSession();
        LogFailure("サーバーの応答が長すぎるため切断しました。\r\n");
        return 0;
    }
    // The time-out counts for the reply as a whole: a server that sends one line now and then
    // does not keep the session waiting for ever.
    if (!m_replyTimer.isActive())
        StartReplyTimer();
    return 0;
}
