#include "engine/FtpEngine.h"

#include "engine/RemoteNames.h"

#include <cstdio>

std::string CFtpEngine::MakePortCommand(SocketId ctrl, Socket& listening) {
    std::uint32_t local = 0;
    std::uint16_t unused = 0;
    if (!LocalAddress(ctrl, local, unused))
        return {};
    listening = ListenTcp(local, 0, 1);
    std::uint32_t bound = 0;
    std::uint16_t port = 0;
    if (!listening.valid() || !LocalAddress(listening.id(), bound, port)) {
        listening.close();
        return {};
    }
    const auto* b = reinterpret_cast<const unsigned char*>(&local);
    char line[64];
    std::snprintf(line, sizeof line, "PORT %d,%d,%d,%d,%d,%d", b[0], b[1], b[2], b[3], port >> 8,
                  port & 0xFF);
    return line;
}

Socket CFtpEngine::AcceptData(Socket& listening) {
    NetAddress from;
    Socket accepted = m_events.Accept(listening.id(), &from);
    if (!accepted.valid())
        return accepted;
    NetAddress server;
    std::uint16_t unused = 0;
    if (!PeerAddress(m_ctrlSocket.id(), server, unused) || from != server) {
        // Whoever else connects could feed the download or take the upload.
        m_ui.AppendLog("サーバー以外のアドレス (" + from.text() + ") からのデータ接続を拒否しました。\r\n");
        accepted.close();
        return accepted;
    }
    listening.close();
    return accepted;
}

std::int64_t CFtpEngine::ResumeOffset(std::int64_t done, std::int64_t whole, const std::string& name) {
    if (whole >= 0 && done > whole) {
        // REST beyond the end would send nothing and still end in success, with the files unequal.
        LogFailure("ファイル「" + ShownName(name) +
                   "」は転送先の方が大きいため、続きから転送できませんでした。\r\n");
        return -1;
    }
    if (m_ui.IsAsciiMode()) {
        // Line ends change length on the way, so a byte count on one side is no offset on the other.
        m_ui.AppendLog("ASCII モードでは続きから転送できないため、最初から転送します。\r\n");
        return 0;
    }
    return done;
}
