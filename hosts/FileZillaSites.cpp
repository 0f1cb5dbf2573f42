#include "hosts/FileZillaSites.h"

#include "hosts/HostListEditor.h"
#include "platform/TextCodec.h"
#include "settings/TransferSessions.h"

#include <QHash>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

// A site's elements as written, before they mean anything to lumo.
struct Site {
    QStringList folders;
    // The text directly inside <Server>: where older versions kept the site's name.
    QString text;
    struct Field {
        QString text;
        QString encoding;
    };
    QHash<QString, Field> fields;

    QString Text(const QString& name) const { return fields.value(name).text.trimmed(); }
};

Site ReadServer(QXmlStreamReader& r) {
    Site site;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isEndElement())
            break;
        if (r.isCharacters()) {
            site.text += r.text();
        } else if (r.isStartElement()) {
            const QString name = r.name().toString();
            const QString encoding = r.attributes().value(QStringLiteral("encoding")).toString();
            // A bookmark's own elements (its folders) are not the site's.
            const QString text = r.readElementText(QXmlStreamReader::SkipChildElements);
            if (!site.fields.contains(name))
                site.fields.insert(name, Site::Field{text, encoding});
        }
    }
    return site;
}

// The sites of a <Servers> or <Folder> element and of the folders in it; a folder's name is the text
// directly inside it.
std::vector<Site> ReadFolder(QXmlStreamReader& r, bool named) {
    QString name;
    std::vector<Site> sites;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isEndElement())
            break;
        if (r.isCharacters()) {
            name += r.text();
        } else if (r.isStartElement()) {
            if (r.name() == QStringLiteral("Folder")) {
                for (Site& site : ReadFolder(r, true))
                    sites.push_back(std::move(site));
            } else if (r.name() == QStringLiteral("Server")) {
                sites.push_back(ReadServer(r));
            } else {
                r.skipCurrentElement();
            }
        }
    }
    name = name.trimmed();
    if (named && !name.isEmpty()) {
        for (Site& site : sites)
            site.folders.prepend(name);
    }
    return sites;
}

// FileZilla keeps a remote folder as "type prefix-length [prefix] (length segment)...", lengths in
// characters: "1 0 4 home 4 user" is /home/user on a Unix server. Empty when the form is not one of
// a folder of "/" separators.
QString DecodeRemoteDir(const QString& safe) {
    // Server types whose folders are separated by "/": default, Unix, VxWorks, z/VM, Cygwin, DOS
    // with forward slashes.
    static const QList<int> slashTypes = {0, 1, 5, 6, 9, 10};
    qsizetype pos = 0;
    auto number = [&safe, &pos](int& value) {
        const qsizetype space = safe.indexOf(u' ', pos);
        bool ok = false;
        value = safe.mid(pos, space < 0 ? -1 : space - pos).toInt(&ok);
        pos = space < 0 ? safe.size() : space + 1;
        return ok && value >= 0;
    };
    int type = 0;
    int prefix = 0;
    if (!number(type) || !number(prefix) || prefix != 0 || !slashTypes.contains(type))
        return {};
    QString path;
    while (pos < safe.size()) {
        int length = 0;
        if (!number(length) || length == 0 || pos + length > safe.size())
            return {};
        path += u'/';
        path += safe.mid(pos, length);
        pos += length + 1;
    }
    return path.isEmpty() ? QStringLiteral("/") : path;
}

// Custom character sets lumo knows under names FileZilla users give them, besides lumo's own.
bool CharsetOf(const QString& name, RemoteCharset& set) {
    const QString lower = name.trimmed().toLower();
    if (lower == QStringLiteral("windows-31j") || lower == QStringLiteral("ms932") ||
        lower == QStringLiteral("x-sjis")) {
        set = RemoteCharset::ShiftJis;
        return true;
    }
    return RemoteCharsetFromName(lower.toStdString(), set);
}

QString ProtocolName(int protocol) {
    switch (protocol) {
    case 1:
        return QStringLiteral("SFTP");
    case 2:
        return QStringLiteral("HTTP");
    case 5:
        return QStringLiteral("HTTPS");
    case 7:
        return QStringLiteral("S3");
    default:
        return QStringLiteral("プロトコル番号 %1").arg(protocol);
    }
}

// Logontype values.
enum Logon { Anonymous = 0, Normal = 1, Ask = 2, Interactive = 3, Account = 4 };

void MapPassword(const Site& site, ImportEntry& entry) {
    const Site::Field pass = site.fields.value(QStringLiteral("Pass"));
    if (pass.encoding == QStringLiteral("base64")) {
        const auto decoded = QByteArray::fromBase64Encoding(pass.text.trimmed().toLatin1(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (decoded)
            entry.host.Pass = decoded.decoded.toStdString();
        else
            entry.notes.push_back("パスワードを読み取れなかったため取り込んでいません");
    } else if (pass.encoding == QStringLiteral("crypt")) {
        entry.notes.push_back(
            "パスワードは FileZilla のマスターパスワードで暗号化されているため取り込んでいません");
    } else if (pass.encoding.isEmpty()) {
        entry.host.Pass = pass.text.toStdString();
    } else {
        entry.notes.push_back("パスワードを読み取れなかったため取り込んでいません");
    }
}

ImportEntry MapSite(const Site& site) {
    ImportEntry entry;
    QString name = site.Text(QStringLiteral("Name"));
    if (name.isEmpty())
        name = site.text.trimmed();
    if (name.isEmpty())
        name = site.Text(QStringLiteral("Host"));
    entry.name = (QStringList(site.folders) << name).join(u'/').toStdString();
    entry.host = HostListEditor::NewHost(entry.name);
    HostRecord& host = entry.host;

    bool ok = true;
    const QString protocolText = site.Text(QStringLiteral("Protocol"));
    const int protocol = protocolText.isEmpty() ? 0 : protocolText.toInt(&ok);
    switch (ok ? protocol : -1) {
    case 0:
        host.Security = HostSecurity::ExplicitIfOffered;
        break;
    case 3:
        host.Security = HostSecurity::Implicit;
        break;
    case 4:
        host.Security = HostSecurity::Explicit;
        break;
    case 6:
        host.Security = HostSecurity::None;
        break;
    default:
        entry.skipReason = QStringLiteral("%1 のサイトです。lumo は FTP だけを扱います")
                               .arg(ProtocolName(protocol))
                               .toStdString();
        return entry;
    }

    host.Adr = site.Text(QStringLiteral("Host")).toStdString();
    const QString port = site.Text(QStringLiteral("Port"));
    host.Port = host.Security == HostSecurity::Implicit ? HostSecurity::ImplicitPort : 21;
    if (!port.isEmpty() && port != QStringLiteral("0")) {
        host.Port = port.toInt(&ok);
        if (!ok || host.Port < 1 || host.Port > 65535) {
            entry.skipReason = "ポート番号「" + port.toStdString() + "」が正しくありません";
            return entry;
        }
    }

    const int logon = site.Text(QStringLiteral("Logontype")).toInt();
    if (logon == Anonymous) {
        host.anonymous = 1;
    } else {
        host.User = site.Text(QStringLiteral("User")).toStdString();
        if (logon == Normal || logon == Account)
            MapPassword(site, entry);
        else if (logon == Ask || logon == Interactive)
            entry.notes.push_back(
                "FileZilla で接続のたびにパスワードを尋ねる設定のため、パスワードはありません");
        else
            entry.notes.push_back("FileZilla のログオンの種類 " + std::to_string(logon) +
                                  " は lumo にないため、パスワードはありません");
        if (logon == Account && !site.Text(QStringLiteral("Account")).isEmpty())
            entry.notes.push_back("アカウント（ACCT）は取り込んでいません。接続するときに尋ねます");
    }

    host.Pasv = site.Text(QStringLiteral("PasvMode")) == QStringLiteral("MODE_ACTIVE") ? 0 : 1;
    // The site's own limit of its connections; 0 leaves it to FileZilla's settings, here to the options.
    const int connections = site.Text(QStringLiteral("MaximumMultipleConnections")).toInt();
    host.Sessions = connections > 0 ? std::min(connections, TransferSessions::Max) : 0;

    const QString encoding = site.Text(QStringLiteral("EncodingType"));
    RemoteCharset set = RemoteCharset::Auto;
    if (encoding == QStringLiteral("UTF-8")) {
        set = RemoteCharset::Utf8;
    } else if (encoding == QStringLiteral("Custom")) {
        const QString custom = site.Text(QStringLiteral("CustomEncoding"));
        if (!CharsetOf(custom, set))
            entry.notes.push_back("文字コード「" + custom.toStdString() +
                                  "」は lumo にないため「自動」にしました");
    }
    host.charset = static_cast<int>(set);

    const QString stored = site.Text(QStringLiteral("RemoteDir"));
    const QString decoded = DecodeRemoteDir(stored);
    host.RemotePath = (decoded.isEmpty() ? stored : decoded).toStdString();
    host.UpPath = site.Text(QStringLiteral("LocalDir")).toStdString();
    return entry;
}

} // namespace

ImportSource ReadFileZillaSites(const QByteArray& xml) {
    ImportSource out;
    QXmlStreamReader r(xml);
    std::vector<Site> sites;
    if (r.readNextStartElement()) {
        if (r.name() != QStringLiteral("FileZilla3")) {
            out.problem = "FileZilla のサイトマネージャーのファイルではありません（一番外の要素が " +
                          r.name().toString().toStdString() + " です）";
            return out;
        }
        while (r.readNextStartElement()) {
            if (r.name() == QStringLiteral("Servers")) {
                for (Site& site : ReadFolder(r, false))
                    sites.push_back(std::move(site));
            } else {
                r.skipCurrentElement();
            }
        }
        // Whatever follows must be well-formed too.
        while (!r.atEnd())
            r.readNext();
    }
    if (r.hasError()) {
        out.problem = QStringLiteral("XML として読めません（%1 行目: %2）")
                          .arg(r.lineNumber())
                          .arg(r.errorString())
                          .toStdString();
        return out;
    }
    for (const Site& site : sites)
        out.entries.push_back(MapSite(site));
    out.read = true;
    return out;
}
