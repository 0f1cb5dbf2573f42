#include "app/DisplayCheck.h"
#include "app/InstanceLink.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CQXApp.h"
#include "app/gui/FtpLinkOpener.h"
#include "engine/FtpAddress.h"
#include "platform/MemoryPages.h"

#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

// The first argument that is an address (`lumo ftp://...`, as a browser or file manager passes it).
std::optional<QString> LinkArgument(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (LooksLikeUrl(argv[i]))
            return QString::fromLocal8Bit(argv[i]);
    }
    return std::nullopt;
}

void BringToFront(CMainFrame& frame) {
    if (frame.isMinimized())
        frame.showNormal();
    frame.raise();
    frame.activateWindow();
}

} // namespace

int main(int argc, char** argv) {
    KeepFreedMemoryForReuse();
    const std::optional<QString> link = LinkArgument(argc, argv);
    const bool linkIsBad = link && !ParseFtpUrl(link->toStdString());
    // Said where the address was typed; the window that opens it logs it as well.
    if (linkIsBad)
        std::fprintf(stderr,
                     "lumo: '%s' is not an ftp://[user[:password]@]host[:port][/path] address (or "
                     "ftpes://, ftps://)\n",
                     AddressWithoutPassword(link->toStdString()).c_str());
    // A lumo that runs already opens the link in its window; this one has nothing more to do.
    if (link && HandToRunningInstance(*link))
        return linkIsBad ? 2 : 0;
    const std::string missing = MissingDisplayMessage();
    if (!missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return 1;
    }
    CQXApp app(argc, argv);
    CQXApp::setApplicationVersion(QStringLiteral(LUMO_VERSION));
    // Wayland desktops match the window to its launcher entry by this name.
    CQXApp::setDesktopFileName(QStringLiteral(LUMO_APP_ID));
    if (!app.InitInstance())
        return 1;
    CMainFrame& frame = *app.MainFrame();
    FtpLinkOpener& opener = frame.LinkOpener();
    InstanceServer server;
    QObject::connect(&server, &InstanceServer::AddressReceived, &opener, [&](const QString& address) {
        BringToFront(frame);
        opener.Open(address);
    });
    server.Listen();
    if (link)
        QTimer::singleShot(0, &opener, [&] { opener.Open(*link); });
    return app.ExitInstance(app.exec());
}
