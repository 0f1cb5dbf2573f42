#include "engine/FtpEngine.h"

#include "engine/RemoteNames.h"
#include "platform/TextCodec.h"

using namespace SocketEvent;

void CFtpEngine::OnFtpUser(SocketId s, std::uint32_t word) {
    if (EventKind(word) == Write)
        m_userAccepted = false;
    if (!CommandStep(s, word, WM_FTP_USER, EventKind(word) == Write ? "USER " + m_loginUser : std::string()))
        return;
    if (AwaitReplyProper(s, WM_FTP_USER))
        return;
    const int code = m_reply.Code();
    // A refused USER ends the attempt: the password would only go to a server that has said no.
    if (code >= 400) {
        LoginRefused(s, WM_FTP_USER);
        return;
    }
    // PASS follows whatever else USER answered: a server may want no password and still take it.
    // A 230 here is the login itself, whatever PASS then gets.
    m_userAccepted = code == 230;
    Arm(s, WM_FTP_PASS, Write | Close);
}

void CFtpEngine::OnFtpPass(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_PASS, EventKind(word) == Write ? "PASS " + m_loginPass : std::string()))
        return;
    if (AwaitReplyProper(s, WM_FTP_PASS))
        return;
    if (m_reply.Code() < 400 || m_userAccepted) {
        AfterLogin(s);
        return;
    }
    LoginRefused(s, WM_FTP_PASS);
}

bool CFtpEngine::AwaitReplyProper(SocketId s, int message) {
    if (m_reply.Code() >= 200)
        return false;
    Arm(s, message, Read | Close);
    StartReplyTimer();
    return true;
}

void CFtpEngine::LoginRefused(SocketId s, int message) {
    // 530 is "not logged in": the account itself was refused, at the step that sent it. Other
    // codes (421 too many users) say nothing about the account; the server's line says what.
    const std::string refused = message == WM_FTP_USER ? "ユーザー名" : "パスワード";
    LogFailure(m_reply.Code() == 530 ? "ログインできませんでした（" + refused + "が拒否されました）。\r\n"
                                     : std::string("ログインできませんでした。\r\n"));
    // While the question is open, a server that gives up is still noticed.
    Arm(s, WM_FTP_PASS, Close);
    std::string user = m_host.User;
    std::string pass = m_host.Pass;
    const Answer answer = m_ui.AskAccount(m_hostNumber, m_host, user, pass);
    if (!(m_ctrlSocket == s))
        return;
    if (answer == Answer::Yes) {
        m_loginUser = user;
        m_loginPass = pass;
        Arm(s, WM_FTP_USER, Write | Close);
        return;
    }
    // A login given up leaves no session that looks usable and does nothing.
    EndSession();
    m_busy = 0;
    m_ui.AppendLog("ログインを取りやめました。\r\n");
}

void CFtpEngine::LoginSucceeded() {
    m_loggedIn = true;
    // The server says itself whether its names are UTF-8 (used on 自動), whether it lists by MLSD
    // and whether it takes the extended data commands.
    EnqueueOp(Op::Features{});
    // The host's own folder where it names one; one that is gone leaves the session in the login
    // folder, with the server's refusal in the log.
    const std::string folder = ServerNameFor(DecodeStoredText(m_host.RemotePath));
    if (!folder.empty() && IsOneCommandLine("CWD " + folder))
        EnqueueOp(Op::ChangeFolder{folder});
    EnqueueOp(Op::PrintFolder{});
    if (m_listAfterLogin)
        EnqueueOp(Op::List{});
    EndOperation();
}

int CFtpEngine::ConnectFirewall() {
    m_ctrlSocket = Socket::CreateTcp();
    Arm(m_ctrlSocket.id(), WM_FTP_FIRECONNECT, SocketEvent::Connect | Close);
    ConnectTo(m_ctrlSocket.id(), m_firewall.FireAdr, static_cast<int>(m_firewall.FirePort));
    return 1;
}

void CFtpEngine::FirewallLost() {
    EndSession();
    LogFailure("ファイアウオールから切断されました。\r\n");
}

void CFtpEngine::OnFtpFireConnect(SocketId s, std::uint32_t word) {
    if (EventKind(word) == SocketEvent::Connect) {
        Disarm(s);
        if (EventError(word) == 0) {
            Arm(s, WM_FTP_FIRECONNECT, Read | Close);
            StartReplyTimer();
        } else {
            // A firewall that cannot be reached would otherwise leave the session waiting for a
            // greeting that never comes.
            LogFailure("ファイアウオールに接続できませんでした。\r\n");
            EndSession();
        }
        return;
    }
    if (!CommandStep(s, word, WM_FTP_FIRECONNECT, {}) || AwaitReplyProper(s, WM_FTP_FIRECONNECT))
        return;
    const bool account = SchemeUsesFirewallAccount(FirewallSchemeShown(m_firewall.FireType));
    Arm(s, account ? WM_FTP_FIREUSER : WM_FTP_FIREOPEN, Write | Close);
}

void CFtpEngine::OnFtpFireUser(SocketId s, std::uint32_t word) {
    const std::string command = EventKind(word) == Write ? "USER " + m_firewall.FireUser : std::string();
    if (CommandStep(s, word, WM_FTP_FIREUSER, command))
        Arm(s, WM_FTP_FIREPASS, Write | Close);
}

void CFtpEngine::OnFtpFirePass(SocketId s, std::uint32_t word) {
    const std::string command = EventKind(word) == Write ? "PASS " + m_firewall.FirePass : std::string();
    if (CommandStep(s, word, WM_FTP_FIREPASS, command))
        Arm(s, WM_FTP_FIREOPEN, Write | Close);
}

void CFtpEngine::OnFtpFireOpen(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write: {
        const std::string& host = m_host.Adr;
        switch (FirewallSchemeOf(m_firewall.FireType)) {
        case FirewallScheme::UserAtHost:
        case FirewallScheme::AccountThenUserAtHost:
            SendCommand(s, "USER " + m_loginUser + "@" + host);
            Arm(s, WM_FTP_USER, Read | Close);
            break;
        case FirewallScheme::Open:
        case FirewallScheme::AccountThenOpen:
            SendCommand(s, "OPEN " + host);
            Arm(s, WM_FTP_CONNECT, Read | Close);
            break;
        case FirewallScheme::OpenLowercase:
            SendCommand(s, "open " + host);
            Arm(s, WM_FTP_CONNECT, Read | Close);
            break;
        case FirewallScheme::AccountThenSite:
            SendCommand(s, "SITE " + host);
            Arm(s, WM_FTP_CONNECT, Read | Close);
            break;
        }
        break;
    }
    case Close:
        FirewallLost();
        break;
    default:
        break;
    }
}

void CFtpEngine::OnFtpFeat(int message, SocketId s, std::uint32_t word) {
    const bool feat = message == WM_FTP_FEAT;
    if (!CommandStep(s, word, message,
                     EventKind(word) == Write ? (feat ? "FEAT" : "OPTS UTF8 ON") : std::string()))
        return;
    if (!feat) {
        EndOperation();
        return;
    }
    // A refusal leaves no features: the session keeps to the commands every server knows.
    m_features = FtpFeatures::Parse(m_reply.LastReply());
    if (RemoteCharsetOfNumber(m_host.charset) != RemoteCharset::Auto || !m_features.Has("UTF8")) {
        EndOperation();
        return;
    }
    SetNames(NameCodec(RemoteCharset::Utf8));
    Arm(s, WM_FTP_OPTSUTF8, Write | Close);
}
