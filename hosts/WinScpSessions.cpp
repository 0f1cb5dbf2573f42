#include "hosts/WinScpSessions.h"

#include "hosts/HostListEditor.h"
#include "hosts/IniFile.h"
#include "platform/TextCodec.h"

#include <optional>

namespace {

const QString kSessionsPrefix = QStringLiteral("Sessions\\");

// WinSCP's FSProtocol numbers; a session without one is SFTP, WinSCP's default.
constexpr int kFtp = 5;
constexpr int kSftpDefault = 1;

// Ftps: 0 none, 1 implicit, 2 explicit SSL (old), 3 explicit TLS.
constexpr int kFtpsImplicit = 1;

// WinSCP escapes names and texts as PuTTY does ("%20" for a blank); a text that is not ASCII is
// UTF-8 with a byte order mark in front, older ones the system's code page (CP932 in Japan).
std::string Unmunge(const QString& munged) {
    const QByteArray bytes = QByteArray::fromPercentEncoding(munged.toLatin1());
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes.mid(3).toStdString();
    return DecodeStoredText(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))
        .toStdString();
}

bool IsOne(const QString& value) {
    return value == QStringLiteral("1");
}

QString ProtocolName(int protocol) {
    switch (protocol) {
    case 0:
        return QStringLiteral("SCP");
    case 1:
    case 2:
        return QStringLiteral("SFTP");
    case 6:
        return QStringLiteral("WebDAV");
    case 7:
        return QStringLiteral("S3");
    default:
        return QStringLiteral("プロトコル番号 %1").arg(protocol);
    }
}

// A password as WinSCP keeps it without a master password: a reversible scramble, each byte as two
// hex digits of its complement XOR 0xA3. The first byte is the length, or 0xFF for the newer form:
// a second byte (1 when a master password encrypted the rest), the length, and the password comes
// after the user and host names. A shift of random bytes stands before it.
struct Unscrambled {
    bool masterPassword = false;
    std::optional<std::string> password;
};

Unscrambled Unscramble(const QString& hex, const std::string& key) {
    Unscrambled out;
    const QByteArray digits = hex.toLatin1();
    if (digits.size() % 2 != 0)
        return out;
    std::string bytes;
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        bool ok = false;
        const int value = digits.mid(i, 2).toInt(&ok, 16);
        if (!ok)
            return out;
        bytes.push_back(static_cast<char>(~value ^ 0xA3));
    }
    auto at = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() < 2)
        return out;
    const bool keyed = at(0) == 0xFF;
    if (keyed && at(1) == 0x01) {
        out.masterPassword = true;
        return out;
    }
    size_t pos = keyed ? 2 : 1;
    if (bytes.size() < pos + 2)
        return out;
    const size_t length = keyed ? at(pos++) : at(0);
    pos += 1 + at(pos);
    if (pos + length > bytes.size())
        return out;
    std::string password = bytes.substr(pos, length);
    if (keyed) {
        if (password.compare(0, key.size(), key) != 0)
            return out;
        password.erase(0, key.size());
    }
    out.password = std::move(password);
    return out;
}

ImportEntry MapSession(const IniSection& section, bool masterPassword) {
    ImportEntry entry;
    entry.name = Unmunge(section.name.mid(kSessionsPrefix.size()));
    entry.host = HostListEditor::NewHost(entry.name);
    if (IsOne(section.Value(QStringLiteral("IsWorkspace")))) {
        entry.skipReason = "WinSCP のワークスペースの項目です";
        return entry;
    }
    bool ok = false;
    const int protocol =
        section.Value(QStringLiteral("FSProtocol"), QString::number(kSftpDefault)).toInt(&ok);
    if (!ok || protocol != kFtp) {
        entry.skipReason = QStringLiteral("%1 のセッションです。lumo は FTP だけを扱います")
                               .arg(ProtocolName(protocol))
                               .toStdString();
        return entry;
    }
    HostRecord& host = entry.host;
    host.Adr = Unmunge(section.Value(QStringLiteral("HostName")));
    host.User = Unmunge(section.Value(QStringLiteral("UserName")));
    const int ftps = section.Value(QStringLiteral("Ftps"), QStringLiteral("0")).toInt();
    host.Security = ftps == 0               ? HostSecurity::None
                    : ftps == kFtpsImplicit ? HostSecurity::Implicit
                                            : HostSecurity::Explicit;
    const QString port = section.Value(QStringLiteral("PortNumber"));
    host.Port = ftps == kFtpsImplicit ? HostSecurity::ImplicitPort : 21;
    if (!port.isEmpty()) {
        host.Port = port.toInt(&ok);
        if (!ok || host.Port < 1 || host.Port > 65535) {
            entry.skipReason = "ポート番号「" + port.toStdString() + "」が正しくありません";
            return entry;
        }
    }
    host.Pasv = section.Value(QStringLiteral("FtpPasvMode")) == QStringLiteral("0") ? 0 : 1;
    host.UpPath = Unmunge(section.Value(QStringLiteral("LocalDirectory")));
    host.RemotePath = Unmunge(section.Value(QStringLiteral("RemoteDirectory")));

    if (section.Has(QStringLiteral("PasswordPlain"))) {
        host.Pass = Unmunge(section.Value(QStringLiteral("PasswordPlain")));
    } else if (section.Has(QStringLiteral("Password"))) {
        const Unscrambled password =
            Unscramble(section.Value(QStringLiteral("Password")), host.User + host.Adr);
        if (masterPassword || password.masterPassword)
            entry.notes.push_back(
                "パスワードは WinSCP のマスターパスワードで暗号化されているため取り込んでいません");
        else if (!password.password)
            entry.notes.push_back("パスワードを読み取れなかったため取り込んでいません");
        else
            host.Pass = *password.password;
    }
    return entry;
}

} // namespace

ImportSource ReadWinScpSessions(const QByteArray& ini) {
    ImportSource out;
    std::vector<IniSection> sections;
    if (!ParseIni(ini, sections, out.problem))
        return out;
    bool masterPassword = false;
    bool winscp = false;
    for (const IniSection& section : sections) {
        if (section.name.compare(QStringLiteral("Configuration\\Security"), Qt::CaseInsensitive) == 0)
            masterPassword = IsOne(section.Value(QStringLiteral("UseMasterPassword")));
        winscp = winscp || section.name.startsWith(kSessionsPrefix, Qt::CaseInsensitive) ||
                 section.name.startsWith(QStringLiteral("Configuration"), Qt::CaseInsensitive);
    }
    if (!winscp) {
        out.problem = "WinSCP の設定ファイル（[Sessions\\…] のある WinSCP.ini）ではありません";
        return out;
    }
    for (const IniSection& section : sections) {
        // "Default Settings" is what new sessions start from, not a host.
        if (!section.name.startsWith(kSessionsPrefix, Qt::CaseInsensitive) ||
            section.name.mid(kSessionsPrefix.size()) == QStringLiteral("Default%20Settings"))
            continue;
        out.entries.push_back(MapSession(section, masterPassword));
    }
    out.read = true;
    return out;
}
