#include "app/DisplayCheck.h"

#include <QByteArray>
#include <QtGlobal>

std::string MissingDisplayMessage() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    // offscreen, vnc, eglfs and the like need no display server.
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return {};
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    return "lumo: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
           "start it from a desktop session, or under a virtual display with: xvfb-run -a lumo";
#else
    return {};
#endif
}
