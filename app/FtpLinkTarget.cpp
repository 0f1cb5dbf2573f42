#include "app/FtpLinkTarget.h"

#include <QString>

namespace {

bool SameAddress(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

bool SameUser(const FtpUrl& url, const HostRecord& host) {
    if (host.anonymous != 0 && url.user == "anonymous")
        return true;
    return host.User == url.user;
}

} // namespace

FtpLinkTarget ResolveFtpLink(const FtpUrl& url, const HostList& hosts) {
    FtpLinkTarget target;
    target.path = url.path;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        const HostRecord& h = hosts[i];
        if (SameAddress(h.Adr, url.host) && h.Port == url.port && SameUser(url, h)) {
            target.host = h;
            target.hostNumber = static_cast<int>(i);
            return target;
        }
    }
    HostRecord& h = target.host;
    h.Name = url.host;
    h.Adr = url.host;
    h.Port = url.port;
    h.User = url.user;
    h.Pass = url.password;
    h.anonymous = url.hasUser ? 0 : 1;
    h.Security = url.security;
    // Passive mode reaches servers behind the same routers that most desktops sit behind.
    h.Pasv = 1;
    return target;
}

std::string ShownFtpAddress(const FtpUrl& url) {
    std::string shown = "ftp://";
    if (url.hasUser)
        shown += url.user + "@";
    shown += url.host;
    if (url.port != 21)
        shown += ":" + std::to_string(url.port);
    return shown + (url.path.empty() ? "/" : url.path);
}
