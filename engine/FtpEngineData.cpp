#include "engine/FtpEngine.h"

#include "engine/RemoteNames.h"
#include "views/LogText.h"

#include <cstdio>
#include <cstdlib>

using namespace SocketEvent;

namespace {
// A listing is read in pieces of this size until the socket has nothing more.
constexpr std::size_t kListPiece = 64 * 1024;

// The fields of "h1,h2,h3,h4,p1,p2" as they stand, split at commas; missing ones are empty.
std::vector<std::string> SplitFields(const std::string& text, std::size_t count) {
    std::vector<std::string> fields(count);
    std::size_t start = 0;
    for (std::size_t i = 0; i < count && start <= text.size(); ++i) {
        const std::size_t comma = text.find(',', start);
        fields[i] = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return fields;
}
} // namespace

bool CFtpEngine::ParsePasvReply(const std::string& line, std::string& address, int& port) {
    const std::size_t close = line.find(')');
    const std::size_t open = line.find('(');
    if (close == std::string::npos || open == std::string::npos)
        return false;
    const std::string inner = close > open ? line.substr(open + 1, close - open - 1) : std::string();
    const std::vector<std::string> f = SplitFields(inner, 6);
    address = f[0] + "." + f[1] + "." + f[2] + "." + f[3];
    port = std::atoi(f[4].c_str()) * 256 + std::atoi(f[5].c_str());
    return true;
}

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
    std::uint32_t from = 0;
    Socket accepted = m_events.Accept(listening.id(), &from);
    if (!accepted.valid())
        return accepted;
    std::uint32_t server = 0;
    std::uint16_t unused = 0;
    if (!PeerAddress(m_ctrlSocket.id(), server, unused) || from != server) {
        accepted.close();
        return accepted;
    }
    listening.close();
    return accepted;
}

void CFtpEngine::DrainToListData(SocketId s) {
    char buffer[kListPiece];
    for (;;) {
        const long n = m_events.Receive(s, buffer, sizeof buffer);
        if (n < 1)
            break;
        m_listData.append(buffer, static_cast<std::size_t>(n));
    }
}

void CFtpEngine::OnDataStep(SocketId s, std::uint32_t word, int stateMsg, int dataMsg, int nextMsg) {
    Disarm(s);
    const bool passive = m_host.Pasv != 0;
    switch (EventKind(word)) {
    case Write:
        m_stepSocket.close();
        if (passive) {
            SendCommand(s, "PASV");
        } else {
            const std::string port = MakePortCommand(s, m_stepSocket);
            SendCommand(s, port);
            if (m_stepSocket.valid())
                Arm(m_stepSocket.id(), dataMsg, Accept);
        }
        Arm(s, stateMsg, Read | Close);
        break;
    case Read: {
        if (!ReadReply(s)) {
            Arm(s, stateMsg, Read | Close);
            break;
        }
        const int code = m_ui.Log().GetReplyCode();
        if (passive && code == 227) {
            m_stepSocket = Socket::CreateTcp();
            Arm(s, nextMsg, Write | Close);
            std::string address;
            int port = 0;
            std::uint32_t server = 0;
            std::uint16_t unused = 0;
            // Only the port is taken from the reply; a reply without one leaves the data side
            // unconnected and the server's answer to the next command ends the operation.
            if (ParsePasvReply(m_ui.Log().GetLastReplyLine(), address, port) && port > 0 && port <= 0xFFFF &&
                PeerAddress(s, server, unused)) {
                Arm(m_stepSocket.id(), dataMsg, SocketEvent::Connect);
                ConnectTo(m_stepSocket.id(), DottedAddress(server), port);
            }
        } else if (!passive && code == 200) {
            Arm(s, nextMsg, Write | Close);
        } else {
            EndDataOperation();
        }
        break;
    }
    case Close:
        CloseSessionLost();
        break;
    default:
        break;
    }
}

bool CFtpEngine::OnListingData(SocketId s, std::uint32_t word, int dataMsg, int opCode) {
    if (!(m_stepSocket == s))
        return false;
    const bool current = m_busy == 1 && m_curOp == opCode;
    switch (EventKind(word)) {
    case Accept: {
        Socket accepted = AcceptData(m_stepSocket);
        if (accepted.valid()) {
            m_stepSocket = std::move(accepted);
            Arm(m_stepSocket.id(), dataMsg, Read | Close);
        }
        break;
    }
    case SocketEvent::Connect:
        Arm(s, dataMsg, Read | Close);
        break;
    case Read:
        DrainToListData(s);
        break;
    case Close:
        CloseDataConn(m_stepSocket.release());
        return current && SecondOfTwoEvents();
    default:
        break;
    }
    return false;
}

void CFtpEngine::EndDataOperation() {
    m_stepSocket.close();
    if (m_downloadFile) {
        for (auto it = m_dataConns.begin(); it != m_dataConns.end(); ++it) {
            if (it->file.get() == m_downloadFile) {
                it->sock.shutdownAndClose();
                m_dataConns.erase(it);
                break;
            }
        }
        m_downloadFile = nullptr;
    }
    if (m_uploadFile) {
        std::erase_if(m_dataConns, [this](const DataConn& c) { return c.file.get() == m_uploadFile; });
        m_uploadFile = nullptr;
    }
    EndOperation();
}

void CFtpEngine::DropDataStep() {
    m_stepSocket.close();
    m_downloadFile = nullptr;
    m_uploadFile = nullptr;
}

std::int64_t CFtpEngine::ResumeOffset(std::int64_t done, std::int64_t whole, const std::string& name) {
    if (done > whole) {
        // REST beyond the end would send nothing and still end in success, with the files unequal.
        LogFailure("ファイル「" + ShownName(name) +
                   "」は転送先の方が大きいため、続きから転送できませんでした。\r\n");
        return -1;
    }
    if (m_ui.IsAsciiMode()) {
        // Line ends change length on the way, so a byte count on one side is no offset on the other.
        m_ui.Log().AppendLog("ASCII モードでは続きから転送できないため、最初から転送します。\r\n");
        return 0;
    }
    return done;
}
